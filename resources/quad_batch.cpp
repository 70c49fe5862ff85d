#include "resources/quad_batch.h"

#include "graphics/graphics.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

// Every shape is four vertices, top left, top right, bottom left, bottom
// right (a triangle repeats its last corner), drawn as the two triangles of
// a fixed index pattern: (0, 1, 2) and (1, 3, 2), the two triangles of
// RectVertices (quad.h).
constexpr UINT kVerticesPerQuad = 4;
constexpr UINT kIndicesPerQuad = 6;
// 16-bit indices reach 65 536 vertices: 16 384 quads a draw at most.
constexpr UINT kQuadsPerIndexTable = 16384;
// Moves a pixel edge onto the pixel's centre, where Direct3D 9 samples.
constexpr float kHalfPixel = 0.5f;

} // namespace

std::vector<ScreenVertex> quadBatch;

namespace {

// The index pattern of kQuadsPerIndexTable quads, made at the first flush.
WORD quadIndices[kQuadsPerIndexTable * kIndicesPerQuad];
bool indicesMade = false;

// The quads one draw of the device last asked may take. GetDeviceCaps costs
// tens of microseconds under Wine and a device's limits never change, so
// each device is asked once.
// NOTE: a device released and another created at the same address keep the
// first one's limits; the framework creates every device on the same
// adapter in the same way.
IDirect3DDevice9 *limitDevice = nullptr;
UINT limitQuads = kQuadsPerIndexTable;

UINT QuadsPerDraw(IDirect3DDevice9 *device) {
    if (device != limitDevice) {
        D3DCAPS9 caps;
        if (FAILED(device->GetDeviceCaps(&caps))) {
            return kQuadsPerIndexTable; // asked again at the next flush
        }
        limitDevice = device;
        limitQuads = kQuadsPerIndexTable;
        if (caps.MaxPrimitiveCount != 0) {
            limitQuads = std::min<UINT>(limitQuads, std::max<UINT>(1, caps.MaxPrimitiveCount / 2));
        }
        if (caps.MaxVertexIndex != 0) {
            // Vertex index 4 q - 1 is the last of q quads (in 64 bits: the
            // largest index may be 0xFFFFFFFF).
            const UINT64 reach = (UINT64{caps.MaxVertexIndex} + 1) / kVerticesPerQuad;
            limitQuads =
                static_cast<UINT>(std::min<UINT64>(limitQuads, std::max<UINT64>(1, reach)));
        }
    }
    return limitQuads;
}

void MakeIndices() {
    for (UINT quad = 0; quad < kQuadsPerIndexTable; ++quad) {
        const WORD first = static_cast<WORD>(quad * kVerticesPerQuad);
        WORD *index = quadIndices + quad * kIndicesPerQuad;
        index[0] = first;
        index[1] = static_cast<WORD>(first + 1);
        index[2] = static_cast<WORD>(first + 2);
        index[3] = static_cast<WORD>(first + 1);
        index[4] = static_cast<WORD>(first + 3);
        index[5] = static_cast<WORD>(first + 2);
    }
    indicesMade = true;
}

HRESULT DrawBatch(IDirect3DDevice9 *device) {
    if (!indicesMade) {
        MakeIndices();
    }
    device->SetFVF(SCREEN_VERTEX_FVF);
    UINT left = static_cast<UINT>(quadBatch.size()) / kVerticesPerQuad;
    const UINT chunk = QuadsPerDraw(device);
    const ScreenVertex *vertices = quadBatch.data();
    HRESULT result = E_FAIL;
    while (left > 0) {
        const UINT quads = std::min(left, chunk);
        result = device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, quads * kVerticesPerQuad,
                                                quads * 2, quadIndices, D3DFMT_INDEX16, vertices,
                                                sizeof(ScreenVertex));
        if (FAILED(result)) {
            break;
        }
        vertices += quads * kVerticesPerQuad;
        left -= quads;
    }
    return result;
}

// The framework lets no exception out: a batch that cannot grow stays as it
// was (insert gives the strong guarantee for these trivial vertices).
HRESULT Append(const ScreenVertex vertices[kVerticesPerQuad]) {
    try {
        quadBatch.insert(quadBatch.end(), vertices, vertices + kVerticesPerQuad);
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

// The quad of corners top left, top right, bottom left, bottom right (as
// the texture rectangle's).
HRESULT AppendCorners(const Point corners[4], D3DCOLOR color, float tu1, float tv1, float tu2,
                      float tv2) {
    const ScreenVertex vertices[kVerticesPerQuad] = {
        Vertex(corners[0], color, tu1, tv1), Vertex(corners[1], color, tu2, tv1),
        Vertex(corners[2], color, tu1, tv2), Vertex(corners[3], color, tu2, tv2)};
    return Append(vertices);
}

} // namespace

HRESULT AddQuad(float x1, float y1, float x2, float y2, D3DCOLOR color) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    x1 -= kHalfPixel;
    y1 -= kHalfPixel;
    x2 -= kHalfPixel;
    y2 -= kHalfPixel;
    const ScreenVertex vertices[kVerticesPerQuad] = {{x1, y1, 0.5f, 1.0f, color, 0.0f, 0.0f},
                                                     {x2, y1, 0.5f, 1.0f, color, 1.0f, 0.0f},
                                                     {x1, y2, 0.5f, 1.0f, color, 0.0f, 1.0f},
                                                     {x2, y2, 0.5f, 1.0f, color, 1.0f, 1.0f}};
    return Append(vertices);
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
    return AppendCorners(corners, color, tu1, tv1, tu2, tv2);
}

HRESULT AddTriangle(float x1, float y1, float x2, float y2, float x3, float y3, D3DCOLOR color) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    // The pattern's second triangle, (1, 3, 2), has no area: it draws nothing.
    const ScreenVertex third = Vertex({x3, y3}, color, 0.0f, 1.0f);
    const ScreenVertex vertices[kVerticesPerQuad] = {
        Vertex({x1, y1}, color, 0.0f, 0.0f), Vertex({x2, y2}, color, 1.0f, 0.0f), third, third};
    return Append(vertices);
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
    return AppendCorners(corners, color, 0.0f, 0.0f, 1.0f, 1.0f);
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
