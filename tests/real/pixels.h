// Reading back what a real device drew, for real-platform tests.
//
// Read copies a render-target surface (the back buffer, which may be
// multisampled, or a flip or effect surface) into a non-multisampled render
// target of the same size and format with StretchRect, then into system
// memory with GetRenderTargetData: GetRenderTargetData refuses multisampled
// sources. Call it outside BeginScene/EndScene and before Present (the back
// buffer's contents are undefined after a discarding Present).
//
// Rasterisation differs between drivers at edges and corners: compare large
// flat areas with AreaIs, per channel and with a tolerance.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pixels {

// 32-bit pixels as 0xAARRGGBB, row by row.
struct Image {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<D3DCOLOR> data;

    D3DCOLOR At(UINT x, UINT y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// Copies `surface` of `device` into `image`. Only the 32-bit formats
// D3DFMT_X8R8G8B8 and D3DFMT_A8R8G8B8 are read; success when the result
// says so, else the step that failed and its HRESULT.
::testing::AssertionResult Read(IDirect3DDevice9 *device, IDirect3DSurface9 *surface, Image *image);

// The image less `margin` pixels on every side.
RECT Inner(const Image &image, LONG margin);

// Every pixel of `area` (right and bottom exclusive) has red, green and blue
// within `tolerance` of `expected`'s; alpha is not compared (X8 targets have
// none). On failure: how many pixels differ and the first of them.
::testing::AssertionResult AreaIs(const Image &image, const RECT &area, D3DCOLOR expected,
                                  int tolerance);

// How many pixels of `area` have red, green and blue within `tolerance` of
// `color`'s.
int Count(const Image &image, const RECT &area, D3DCOLOR color, int tolerance);

// Two images of one size agree pixel by pixel within `tolerance` per channel;
// on failure how many pixels differ and the first of them.
::testing::AssertionResult Same(const Image &actual, const Image &expected, int tolerance);

std::string ColorText(D3DCOLOR color);

} // namespace pixels
