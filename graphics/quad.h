/// \file
/// Screen quads: axis-aligned rectangles in screen pixels, drawn with
/// pre-transformed vertices as two triangles of a user-pointer triangle list.
///
/// The rectangle functions set the vertex format and nothing else: the caller
/// binds the texture of stage 0 (or NULL), chooses the render states (usually
/// with SetRenderStateFlags) and draws inside a scene. Each returns the
/// result of the draw call, or E_FAIL without a device.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <cstddef>

/// A pre-transformed vertex of a screen rectangle (SCREEN_VERTEX_FVF).
struct ScreenVertex {
    float x;          ///< screen pixels from the left
    float y;          ///< screen pixels from the top
    float z;          ///< depth, 0 to 1
    float rhw;        ///< reciprocal of w; 1 for screen rectangles
    D3DCOLOR diffuse; ///< the vertex colour
    float u;          ///< texture coordinate, 0 to 1 across
    float v;          ///< texture coordinate, 0 to 1 down
};
static_assert(sizeof(ScreenVertex) == 28, "ScreenVertex is drawn with a stride of 28 bytes");
static_assert(offsetof(ScreenVertex, x) == 0 && offsetof(ScreenVertex, y) == 4 &&
                  offsetof(ScreenVertex, z) == 8 && offsetof(ScreenVertex, rhw) == 12 &&
                  offsetof(ScreenVertex, diffuse) == 16 && offsetof(ScreenVertex, u) == 20 &&
                  offsetof(ScreenVertex, v) == 24,
              "ScreenVertex matches vertex format 0x144");

/// The flexible vertex format of ScreenVertex.
constexpr DWORD SCREEN_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; ///< 0x144

/// The six vertices of a rectangle, two clockwise triangles of a triangle
/// list: top left, top right, bottom left; top right, bottom right, bottom
/// left. Every corner is shifted by -0.5 pixel, so that a rectangle of a
/// texture's size maps it one texel to one pixel.
void RectVertices(ScreenVertex vertices[6], float x1, float y1, float x2, float y2, D3DCOLOR color,
                  float tu1, float tv1, float tu2, float tv2);

/// Corner (x1, y1) takes texture coordinate (tu1, tv1) and (x2, y2) takes
/// (tu2, tv2).
HRESULT DrawTextureRect(float x1, float y1, float x2, float y2, D3DCOLOR color, float tu1,
                        float tv1, float tu2, float tv2);
/// The same with the whole texture, (0, 0)-(1, 1).
HRESULT DrawRect(float x1, float y1, float x2, float y2, D3DCOLOR color);
/// The rectangle of half-width hw and half-height hh around (cx, cy).
HRESULT DrawRectCentered(float cx, float cy, float hw, float hh, D3DCOLOR color);
