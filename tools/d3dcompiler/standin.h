// A shader compiler for Wine 8, which lacks a complete one: a d3dcompiler_47
// stand-in that Wine's own D3DX loads in place of Wine's (tools/wine-run.sh
// links it beside the program and sets the override d3dcompiler_47=n,b).
// HLSL goes to vkd3d-compiler, a Linux program in the folder "vkd3d" beside
// the DLL file (tools/deps.sh fetches it); fx_2_0 effects are taken apart
// here, their shaders compiled by vkd3d-compiler, and the effect binary that
// D3DX reads is written here. Shader assembly goes to Wine's own compiler, a
// copy of which sits beside this DLL as "wine_d3dcompiler_47.dll".
//
// Refused effect syntax fails with "effect(LINE): error: ..." in the error
// blob: fx_4 techniques, shaders compiled with arguments or from asm blocks,
// globals of struct or typedef'd types and arrays of objects, initialisers
// that are not constant expressions, states other than those of kStates
// (effect.cpp), Texture and shader states naming no parameter of their kind.
#pragma once

#include <windows.h>

#include <d3dcommon.h>

#include <string>
#include <vector>

namespace standin {

// A blob holding a copy of `size` bytes at `data`; null when out of memory.
ID3DBlob *NewBlob(const void *data, size_t size);

// The result of a compile: the byte code on success, else the failing
// HRESULT; the compiler's messages either way.
struct Output {
    HRESULT hr = S_OK;
    std::string code;
    std::string messages;
};

// What vkd3d-compiler makes of a source: the profile "E" preprocesses it,
// any other compiles `entry` for that vertex or pixel profile.
struct Target {
    std::string entry;
    std::string profile;
    bool rowMajor = false; // matrices packed by rows (D3DCOMPILE_PACK_MATRIX_ROW_MAJOR)
};

// Runs vkd3d-compiler on `source` once per target, side by side; the
// outputs in the targets' order.
std::vector<Output> RunVkd3d(const std::string &source, const std::vector<Target> &targets);

// Compiles an fx_2_0 effect from preprocessed `source` into the binary that
// D3DX's effect parser reads.
Output CompileEffect(const std::string &source, bool rowMajor);

} // namespace standin
