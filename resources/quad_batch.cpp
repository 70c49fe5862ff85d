#include "resources/quad_batch.h"

#include "graphics/graphics.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

constexpr UINT kVerticesPerTriangle = 3;
// Moves a pixel edge onto the pixel's centre, where Direct3D 9 samples.
constexpr float kHalfPixel = 0.5f;

} // namespace

std::vector<ScreenVertex> quadBatch;

namespace {

// The primitive limit of the device last asked. GetDeviceCaps costs tens of
// microseconds under Wine and a device's limit never changes, so each device
// is asked once.
// NOTE: a device released and another created at the same address keep the
// first one's limit; the framework creates every device on the same adapter
// in the same way.
IDirect3DDevice9 *limitDevice = nullptr;
UINT limitTriangles = 0; // 0: the device does not say

// The most triangles one draw call may take; the whole batch when the device
// does not say.
UINT MaxTrianglesPerDraw(IDirect3DDevice9 *device, UINT triangles) {
    if (device != limitDevice) {
        D3DCAPS9 caps;
        if (FAILED(device->GetDeviceCaps(&caps))) {
            return triangles; // asked again at the next flush
        }
        limitDevice = device;
        limitTriangles = caps.MaxPrimitiveCount;
    }
    return limitTriangles == 0 ? triangles : std::min(triangles, limitTriangles);
}

HRESULT DrawBatch(IDirect3DDevice9 *device) {
    device->SetFVF(SCREEN_VERTEX_FVF);
    UINT left = static_cast<UINT>(quadBatch.size()) / kVerticesPerTriangle;
    const UINT chunk = MaxTrianglesPerDraw(device, left);
    const ScreenVertex *vertices = quadBatch.data();
    HRESULT result = E_FAIL;
    while (left > 0) {
        const UINT triangles = std::min(left, chunk);
        result =
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, vertices, sizeof(ScreenVertex));
        if (FAILED(result)) {
            break;
        }
        vertices += triangles * kVerticesPerTriangle;
        left -= triangles;
    }
    return result;
}

// The framework lets no exception out: a batch that cannot grow stays as it
// was (insert gives the strong guarantee for these trivial vertices).
HRESULT Append(const ScreenVertex *vertices, size_t count) {
    try {
        quadBatch.insert(quadBatch.end(), vertices, vertices + count);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

struct Point {
    float x, y;
};

// A corner given in pixels, shifted by half a pixel as every screen vertex.
ScreenVertex Vertex(Point p, D3DCOLOR color, float u, float v) {
    return {p.x - kHalfPixel, p.y - kHalfPixel, 0.5f, 1.0f, color, u, v};
}

// The six vertices of the quad of corners top left, top right, bottom left,
// bottom right (as the texture rectangle's), in RectVertices' order.
void CornerVertices(ScreenVertex vertices[6], const Point corners[4], D3DCOLOR color, float tu1,
                    float tv1, float tu2, float tv2) {
    vertices[0] = Vertex(corners[0], color, tu1, tv1);
    vertices[1] = Vertex(corners[1], color, tu2, tv1);
    vertices[2] = Vertex(corners[2], color, tu1, tv2);
    vertices[3] = vertices[1];
    vertices[4] = Vertex(corners[3], color, tu2, tv2);
    vertices[5] = vertices[2];
}

} // namespace

HRESULT AddQuad(float x1, float y1, float x2, float y2, D3DCOLOR color) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    ScreenVertex vertices[6];
    RectVertices(vertices, x1, y1, x2, y2, color, 0.0f, 0.0f, 1.0f, 1.0f);
    return Append(vertices, 6);
}

HRESULT AddQuadCentered(float cx, float cy, float hw, float hh, D3DCOLOR color) {
    return AddQuad(cx - hw, cy - hh, cx + hw, cy + hh, color);
}

HRESULT AddSprite(float cx, float cy, float width, float height, float angle, D3DCOLOR color,
                  float tu1, float tv1, float tu2, float tv2) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    // The corners' offsets from the centre, turned: (dx, dy) goes to
    // (dx cos - dy sin, dx sin + dy cos), clockwise with y down. Unturned the
    // sums are exactly AddQuadCentered's.
    const float c = std::cos(angle), s = std::sin(angle);
    const float hw = width * 0.5f, hh = height * 0.5f;
    // Along the top edge (x) and down the left edge (y), half a side each.
    const float ax = hw * c, ay = hw * s, bx = -hh * s, by = hh * c;
    const Point corners[4] = {{cx - ax - bx, cy - ay - by},
                              {cx + ax - bx, cy + ay - by},
                              {cx - ax + bx, cy - ay + by},
                              {cx + ax + bx, cy + ay + by}};
    ScreenVertex vertices[6];
    CornerVertices(vertices, corners, color, tu1, tv1, tu2, tv2);
    return Append(vertices, 6);
}

HRESULT AddTriangle(float x1, float y1, float x2, float y2, float x3, float y3, D3DCOLOR color) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    const ScreenVertex vertices[3] = {Vertex({x1, y1}, color, 0.0f, 0.0f),
                                      Vertex({x2, y2}, color, 1.0f, 0.0f),
                                      Vertex({x3, y3}, color, 0.0f, 1.0f)};
    return Append(vertices, 3);
}

HRESULT AddLine(float x1, float y1, float x2, float y2, float width, D3DCOLOR color) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    // Half the width along the line (dx, dy) and across it (-dy, dx).
    float dx = x2 - x1, dy = y2 - y1;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float half = width * 0.5f;
    if (length > 0.0f) {
        dx *= half / length;
        dy *= half / length;
    } else {
        dx = half;
        dy = 0.0f;
    }
    // A pixel's centre is half a pixel from its corner: the half-pixel shift
    // of the vertices cancels it, so pixel (x, y) is vertex position (x, y).
    x1 += kHalfPixel - dx;
    y1 += kHalfPixel - dy;
    x2 += kHalfPixel + dx;
    y2 += kHalfPixel + dy;
    const Point corners[4] = {
        {x1 + dy, y1 - dx}, {x2 + dy, y2 - dx}, {x1 - dy, y1 + dx}, {x2 - dy, y2 + dx}};
    ScreenVertex vertices[6];
    CornerVertices(vertices, corners, color, 0.0f, 0.0f, 1.0f, 1.0f);
    return Append(vertices, 6);
}

HRESULT FlushQuads() {
    IDirect3DDevice9 *device = GetDevice();
    HRESULT result = E_FAIL;
    if (device != nullptr && !quadBatch.empty()) {
        result = DrawBatch(device);
    }
    quadBatch.clear();
    return result;
}
