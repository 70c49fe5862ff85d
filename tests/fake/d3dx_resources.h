// Fake D3DX resources: X-file meshes, textures from image files, fonts and
// sprites, as pure fakes on the fake Direct3D device.
//
// Log entries:
//   "D3DXLoadMeshFromXA(name, 0x220)" (options), "ID3DXMesh::DrawSubset(mesh1, 0, texture2)"
//       (the subset and stage 0's texture at the time), "ID3DXMesh::Release(mesh1)";
//   "D3DXGetImageInfoFromFileA(name)",
//   "D3DXCreateTextureFromFileExA(name, 0, 0, 1, 0x0, 0, 1, 0x1, 0x1, 0xff000000)"
//       (width, height, levels, usage, format, pool, filter, mip filter, colour key);
//   "D3DXCreateSprite", "ID3DXSprite::Begin(sprite1, 0x10)", "ID3DXSprite::End(sprite1)",
//   "ID3DXSprite::OnLostDevice(sprite1)", "ID3DXSprite::OnResetDevice(sprite1)",
//   "ID3DXSprite::Release(sprite1)";
//   "D3DXCreateFontIndirectA(face, 24, 0, 400, 1, 0, 1, 8, 2, 0)" (the description in
//       its order), "ID3DXFont::DrawTextA(font1, sprite1, -1, 10, 20, 0x100, 0xff000000)"
//       (count, rectangle's left and top, format, colour; the text: DrawnTexts()),
//   "ID3DXFont::OnLostDevice(font1)", "ID3DXFont::OnResetDevice(font1)",
//   "ID3DXFont::Release(font1)".
// Other methods are recorded by name alone and answer S_OK or E_NOTIMPL.
//
// Scripts (fake::Fail) with any of these names make the call fail; a
// creating call then creates nothing. Textures come from the device's
// CreateTexture, so they are the fake Direct3D's textures.
#pragma once

#include <windows.h>
#include <d3dx9.h>

#include <string>
#include <vector>

namespace fake {

// One material of the X file that every D3DXLoadMeshFromXA loads.
struct XMaterial {
    D3DMATERIAL9 material;
    std::string texture; // empty: no texture file named
};
// Default: a white material naming "white.png" and a red one without texture.
// A test may change it, down to no material at all.
std::vector<XMaterial> &XFileMaterials();

// The size D3DXGetImageInfoFromFileA reports for every image: 64 x 32.
SIZE &ImageSize();

// The texts of every ID3DXFont::DrawTextA, in order.
const std::vector<std::string> &DrawnTexts();

// Back to the defaults; called by ResetDirect3D's users through fake::Test.
void ResetD3DXResources();

} // namespace fake
