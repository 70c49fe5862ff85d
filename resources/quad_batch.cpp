#include "resources/quad_batch.h"

#include "graphics/graphics.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace {

constexpr UINT kVerticesPerTriangle = 3;

} // namespace

std::vector<ScreenVertex> quadBatch;

namespace {

// The most triangles one draw call may take; the whole batch when the device
// does not say.
UINT MaxTrianglesPerDraw(IDirect3DDevice9 *device, UINT triangles) {
    D3DCAPS9 caps;
    if (FAILED(device->GetDeviceCaps(&caps)) || caps.MaxPrimitiveCount == 0) {
        return triangles;
    }
    return std::min<UINT>(triangles, caps.MaxPrimitiveCount);
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

} // namespace

HRESULT AddQuad(float x1, float y1, float x2, float y2, D3DCOLOR color) {
    if (GetDevice() == nullptr) {
        return E_FAIL;
    }
    ScreenVertex vertices[6];
    RectVertices(vertices, x1, y1, x2, y2, color, 0.0f, 0.0f, 1.0f, 1.0f);
    // The framework lets no exception out: a batch that cannot grow stays as
    // it was (insert gives the strong guarantee for these trivial vertices).
    try {
        quadBatch.insert(quadBatch.end(), vertices, vertices + 6);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT AddQuadCentered(float cx, float cy, float hw, float hh, D3DCOLOR color) {
    return AddQuad(cx - hw, cy - hh, cx + hw, cy + hh, color);
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
