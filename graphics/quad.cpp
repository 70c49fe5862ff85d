#include "graphics/quad.h"

#include "graphics/graphics.h"

namespace {

// Moves a pixel edge onto the pixel's centre, where Direct3D 9 samples.
constexpr float kHalfPixel = 0.5f;

ScreenVertex Corner(float x, float y, D3DCOLOR color, float u, float v) {
    return {x - kHalfPixel, y - kHalfPixel, 0.5f, 1.0f, color, u, v};
}

} // namespace

void RectVertices(ScreenVertex vertices[6], float x1, float y1, float x2, float y2, D3DCOLOR color,
                  float tu1, float tv1, float tu2, float tv2) {
    vertices[0] = Corner(x1, y1, color, tu1, tv1);
    vertices[1] = Corner(x2, y1, color, tu2, tv1);
    vertices[2] = Corner(x1, y2, color, tu1, tv2);
    vertices[3] = Corner(x2, y1, color, tu2, tv1);
    vertices[4] = Corner(x2, y2, color, tu2, tv2);
    vertices[5] = Corner(x1, y2, color, tu1, tv2);
}

HRESULT DrawTextureRect(float x1, float y1, float x2, float y2, D3DCOLOR color, float tu1,
                        float tv1, float tu2, float tv2) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    ScreenVertex vertices[6];
    RectVertices(vertices, x1, y1, x2, y2, color, tu1, tv1, tu2, tv2);
    device->SetFVF(SCREEN_VERTEX_FVF);
    return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(ScreenVertex));
}

HRESULT DrawRect(float x1, float y1, float x2, float y2, D3DCOLOR color) {
    return DrawTextureRect(x1, y1, x2, y2, color, 0.0f, 0.0f, 1.0f, 1.0f);
}

HRESULT DrawRectCentered(float cx, float cy, float hw, float hh, D3DCOLOR color) {
    return DrawRect(cx - hw, cy - hh, cx + hw, cy + hh, color);
}
