// Fake D3DX shader side: the HLSL compiler and the shader assembler (from
// text and from files), the device's best shader profiles, and effects
// (ID3DXEffect), as pure fakes that read no files.
//
// The "byte code" they hand out in an ID3DXBuffer is a short NUL-terminated
// text naming what it was built from, which the fake device's
// CreateVertexShader and CreatePixelShader record:
//   compile from a file  "test.fx:basic_vs:vs_3_0" (file, entry, profile)
//   compile from text    "text(1705):basic_vs:vs_3_0" (the length passed)
//   assemble from a file "vs_test.vsh"
//   assemble from text   "text(186)"
//
// Log entries:
//   "D3DXCompileShaderFromFileA(test.fx, basic_vs, vs_3_0, 0x0)",
//   "D3DXCompileShader(1705, basic_vs, vs_3_0, 0x0)" (length, entry, profile, flags),
//   "D3DXAssembleShaderFromFileA(vs_test.vsh, 0x0)", "D3DXAssembleShader(186, 0x0)",
//   "D3DXCreateEffectFromFileA(device1, etest.fx, 0x0)", "D3DXCreateEffect(device1, 2146, 0x0)",
//   "D3DXGetVertexShaderProfile(device1)", "D3DXGetPixelShaderProfile(device1)";
// each creating call adds " +defines", " +include", " +pool", " +errors" or
// " +table" inside the brackets for every optional argument given that is
// not NULL. The effect: "ID3DXEffect::SetTechnique(effect1, test_effect)",
// "ID3DXEffect::Begin(effect1, 0x0)", "ID3DXEffect::BeginPass(effect1, 0)",
// "ID3DXEffect::EndPass(effect1)", "ID3DXEffect::End(effect1)",
// "ID3DXEffect::SetMatrix(effect1, mWorldViewProj)",
// "ID3DXEffect::SetValue(effect1, ColorDiffuse, 16)",
// "ID3DXEffect::OnLostDevice(effect1)", "ID3DXEffect::OnResetDevice(effect1)",
// "ID3DXEffect::CloneEffect(effect1, device1)",
// "ID3DXEffect::Release(effect1)"; other methods by name alone, answering
// E_NOTIMPL (or NULL handles). GetValue gives back what SetValue or
// SetMatrix gave a parameter of that name. Techniques are handled by name: the current
// technique's handle is its name, which GetTechniqueDesc gives back.
//
// Begin without D3DXFX_DONOTSAVESTATE makes a device state block once (it
// holds the device and keeps Reset from succeeding); OnLostDevice frees it,
// as Windows' D3DX does, or, after KeepEffectStateBlocks(true), keeps it
// until the effect goes, as Wine's does. A clone has the effect's parameter
// values and technique and no state block.
//
// Scripts (fake::Fail with the function's or method's log name): a scripted
// creating call creates nothing and, when an error buffer was asked for,
// hands one back, as D3DX does. A length of 0 or a NULL text or file name
// fails with D3DERR_INVALIDCALL. Effects hold a reference to their device;
// buffers and effects count among the living objects. Begin reports one pass.
// The profiles follow the fake adapter's caps: "vs_3_0" and "ps_3_0" by
// default.
#pragma once

#include <windows.h>
#include <d3dx9.h>

#include <string>
#include <vector>

namespace fake {

// The bytes that SetValue or SetMatrix last gave `parameter` of the effect
// created last (empty when none did).
std::vector<unsigned char> EffectValue(const std::string &parameter);

// While set, effects are created at addresses whose low 32 bits are all zero
// (multiples of 4 GiB), as a 64-bit process may see them; a 32-bit process
// has no such addresses, and there it changes nothing.
void PlaceEffectsOn4GiBBoundaries(bool on);

// While set, effects keep their state block past OnLostDevice (see above).
void KeepEffectStateBlocks(bool keep);

// The effect created last, as its creator received it; null before any.
const ID3DXEffect *LastEffect();

} // namespace fake
