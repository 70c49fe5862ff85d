// The frame loop against a bare Direct3D 9 loop, and screen rectangles drawn
// four ways: the quad batch, one raw DrawPrimitiveUP, ID3DXSprite and one
// DrawRect each.
#include "benches.h"
#include "measure.h"

#include <fw/app/framework.h>
#include <fw/graphics/graphics.h>
#include <fw/graphics/quad.h>
#include <fw/graphics/renderstate.h>
#include <fw/input/input.h>
#include <fw/resources/quad_batch.h>

#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace bench {

namespace {

constexpr D3DCOLOR kClearColour = 0xFF203040;
constexpr int kFrameLoopRounds = 7;
constexpr int kFramesPerRound = 60;
constexpr int kQuadRounds = 5;
// The scissored rows are cheap and their ratios close to 1: more rounds.
constexpr int kClippedQuadRounds = 15;
constexpr float kQuadSize = 8.0f;
constexpr D3DCOLOR kQuadColour = 0xC0FFFFFF;

double TimeFrames(void (*frame)()) {
    const double start = Now();
    for (int i = 0; i < kFramesPerRound; ++i) {
        frame();
    }
    return (Now() - start) / kFramesPerRound;
}

// What the four ways of drawing share: the texture, the positions, the
// prepared vertices of the raw draw, and the query that waits for the GPU.
struct QuadScene {
    IDirect3DTexture9 *texture = nullptr;
    ID3DXSprite *sprite = nullptr;
    IDirect3DQuery9 *query = nullptr;
    UINT maxPrimitives = 0;
    IDirect3DVertexBuffer9 *buffer = nullptr; // dynamic, kBufferVertices long
    UINT bufferUsed = 0;                      // vertices written since the last DISCARD
    std::vector<ScreenVertex> vertices;       // six a rectangle
    std::vector<ScreenVertex> corners;        // four a rectangle
    std::vector<WORD> indices;                // the fixed pattern of kIndexedQuads rectangles
    std::vector<ScreenVertex> written;        // what the writing raw draw fills each frame
    std::vector<ScreenVertex> shapes;         // the batch's vertices of the shape rows
    std::vector<D3DXVECTOR3> positions;
    int count = 0;
} scene;

// Rectangles one 16-bit indexed draw can take (four vertices each).
constexpr UINT kIndexedQuads = 16383;
constexpr UINT kBufferVertices = 6 * 4096;

bool CreateQuadScene() {
    IDirect3DDevice9 *device = GetDevice();
    if (FAILED(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &scene.texture,
                                     nullptr))) {
        return false;
    }
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(scene.texture->LockRect(0, &locked, nullptr, 0))) {
        for (int y = 0; y < 8; ++y) {
            auto *row =
                reinterpret_cast<DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch);
            for (int x = 0; x < 8; ++x) {
                row[x] = ((x ^ y) & 1) ? 0xFFFF8040 : 0xFF4080FF;
            }
        }
        scene.texture->UnlockRect(0);
    }
    D3DCAPS9 caps;
    device->GetDeviceCaps(&caps);
    scene.maxPrimitives = caps.MaxPrimitiveCount ? caps.MaxPrimitiveCount : 0xFFFFFFFFu;
    for (UINT q = 0; q < kIndexedQuads; ++q) {
        const WORD b = static_cast<WORD>(4 * q);
        scene.indices.insert(scene.indices.end(),
                             {b, WORD(b + 1), WORD(b + 2), WORD(b + 1), WORD(b + 3), WORD(b + 2)});
    }
    if (FAILED(device->CreateVertexBuffer(kBufferVertices * sizeof(ScreenVertex),
                                          D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, SCREEN_VERTEX_FVF,
                                          D3DPOOL_DEFAULT, &scene.buffer, nullptr))) {
        return false;
    }
    return SUCCEEDED(D3DXCreateSprite(device, &scene.sprite)) &&
           SUCCEEDED(device->CreateQuery(D3DQUERYTYPE_EVENT, &scene.query));
}

void ReleaseQuadScene() {
    for (IUnknown *object : std::initializer_list<IUnknown *>{scene.texture, scene.sprite,
                                                              scene.query, scene.buffer}) {
        if (object) {
            object->Release();
        }
    }
    scene = QuadScene();
}

// Rectangle i of a grid of 8x8 cells filling the screen row by row, again
// and again.
void PlaceQuads(int count) {
    scene.count = count;
    scene.positions.clear();
    scene.vertices.clear();
    scene.corners.clear();
    const int columns = 800 / 8;
    const int rows = 600 / 8;
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(i % columns) * kQuadSize;
        const float y = static_cast<float>((i / columns) % rows) * kQuadSize;
        scene.positions.push_back(D3DXVECTOR3(x, y, 0.0f));
        ScreenVertex six[6];
        RectVertices(six, x, y, x + kQuadSize, y + kQuadSize, kQuadColour, 0.0f, 0.0f, 1.0f, 1.0f);
        scene.vertices.insert(scene.vertices.end(), six, six + 6);
        scene.corners.insert(scene.corners.end(), {six[0], six[1], six[2], six[4]});
    }
}

// NOTE: only the first poll flushes; flushing on every poll floods Wine's
// command stream with flushes while the GPU thread is busy.
void WaitForGpu() {
    scene.query->Issue(D3DISSUE_END);
    if (scene.query->GetData(nullptr, 0, D3DGETDATA_FLUSH) != S_FALSE) {
        return;
    }
    while (scene.query->GetData(nullptr, 0, 0) == S_FALSE) {
        Sleep(0);
    }
}

void DrawNothing() {}

void DrawBatch() {
    for (const D3DXVECTOR3 &p : scene.positions) {
        AddQuad(p.x, p.y, p.x + kQuadSize, p.y + kQuadSize, kQuadColour);
    }
    FlushQuads();
}

// One raw DrawPrimitiveUP of the given vertices (more where the device's
// primitive limit says so).
void DrawVertices(const std::vector<ScreenVertex> &all) {
    IDirect3DDevice9 *device = GetDevice();
    device->SetFVF(SCREEN_VERTEX_FVF);
    UINT left = static_cast<UINT>(all.size()) / 3;
    const ScreenVertex *vertices = all.data();
    while (left > 0) {
        const UINT triangles = std::min(left, scene.maxPrimitives);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, vertices, sizeof(ScreenVertex));
        vertices += triangles * 3;
        left -= triangles;
    }
}

void DrawRaw() { DrawVertices(scene.vertices); }

// The same draw, its vertices written each frame from the positions, as a
// program whose rectangles move must.
void DrawRawWritten() {
    scene.written.resize(scene.positions.size() * 6);
    ScreenVertex *out = scene.written.data();
    for (const D3DXVECTOR3 &p : scene.positions) {
        RectVertices(out, p.x, p.y, p.x + kQuadSize, p.y + kQuadSize, kQuadColour, 0.0f, 0.0f, 1.0f,
                     1.0f);
        out += 6;
    }
    DrawVertices(scene.written);
}

// Four prepared vertices a rectangle and a fixed index pattern.
void DrawRawIndexed() {
    IDirect3DDevice9 *device = GetDevice();
    device->SetFVF(SCREEN_VERTEX_FVF);
    UINT left = static_cast<UINT>(scene.corners.size()) / 4;
    const ScreenVertex *vertices = scene.corners.data();
    const UINT chunk = std::min(kIndexedQuads, scene.maxPrimitives / 2);
    while (left > 0) {
        const UINT quads = std::min(left, chunk);
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4 * quads, 2 * quads,
                                       scene.indices.data(), D3DFMT_INDEX16, vertices,
                                       sizeof(ScreenVertex));
        vertices += 4 * quads;
        left -= quads;
    }
}

// The prepared vertices copied into a dynamic vertex buffer, appended with
// NOOVERWRITE until it is full, then begun again with DISCARD.
void DrawRawBuffer() {
    IDirect3DDevice9 *device = GetDevice();
    device->SetFVF(SCREEN_VERTEX_FVF);
    device->SetStreamSource(0, scene.buffer, 0, sizeof(ScreenVertex));
    UINT left = static_cast<UINT>(scene.vertices.size());
    const ScreenVertex *vertices = scene.vertices.data();
    while (left > 0) {
        if (scene.bufferUsed == kBufferVertices) {
            scene.bufferUsed = 0;
        }
        const UINT count = std::min(left, kBufferVertices - scene.bufferUsed);
        void *data = nullptr;
        if (FAILED(scene.buffer->Lock(
                scene.bufferUsed * sizeof(ScreenVertex), count * sizeof(ScreenVertex), &data,
                scene.bufferUsed == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE))) {
            return;
        }
        std::memcpy(data, vertices, count * sizeof(ScreenVertex));
        scene.buffer->Unlock();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, scene.bufferUsed, count / 3);
        scene.bufferUsed += count;
        vertices += count;
        left -= count;
    }
    device->SetStreamSource(0, nullptr, 0, 0);
}

void DrawSprites() {
    scene.sprite->Begin(D3DXSPRITE_ALPHABLEND);
    for (const D3DXVECTOR3 &p : scene.positions) {
        scene.sprite->Draw(scene.texture, nullptr, nullptr, &p, kQuadColour);
    }
    scene.sprite->End();
}

void DrawRects() {
    for (const D3DXVECTOR3 &p : scene.positions) {
        DrawRect(p.x, p.y, p.x + kQuadSize, p.y + kQuadSize, kQuadColour);
    }
}

// Seconds per frame of `draw`, from the start of the scene until the GPU has
// finished it; the clear before it is not counted. `clipped`: a scissor
// rectangle of one pixel throws almost every pixel away, which leaves the
// cost of the calls, vertices and triangles without the software
// rasteriser's fill.
double TimeQuadFrames(void (*draw)(), int frames, bool clipped) {
    IDirect3DDevice9 *device = GetDevice();
    double total = 0.0;
    for (int i = 0; i < frames; ++i) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
        WaitForGpu();
        const double start = Now();
        device->BeginScene();
        device->SetTexture(0, scene.texture);
        SetRenderStateFlags(RSF_BLEND | RSF_MODULATE | RSF_POINT);
        const RECT pixel = {0, 0, 1, 1};
        device->SetScissorRect(&pixel);
        device->SetRenderState(D3DRS_SCISSORTESTENABLE, clipped);
        draw();
        device->EndScene();
        WaitForGpu();
        total += Now() - start;
    }
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return total / frames;
}

// The shape rows: 10 000 turned sprites, triangles or lines through the
// batch against one raw DrawPrimitiveUP of the same vertices, prepared.
void AddTurnedSprites() {
    float angle = 0.0f;
    for (const D3DXVECTOR3 &p : scene.positions) {
        AddSprite(p.x + 4.0f, p.y + 4.0f, kQuadSize, kQuadSize, angle, kQuadColour, 0.0f, 0.0f,
                  0.5f, 0.5f);
        angle += 0.01f;
    }
}

void AddTriangles() {
    for (const D3DXVECTOR3 &p : scene.positions) {
        AddTriangle(p.x, p.y, p.x + kQuadSize, p.y, p.x + 4.0f, p.y + kQuadSize, kQuadColour);
    }
}

void AddLines() {
    for (const D3DXVECTOR3 &p : scene.positions) {
        AddLine(p.x, p.y, p.x + 7.0f, p.y + 5.0f, 1.5f, kQuadColour);
    }
}

void (*shapeAdd)() = AddTurnedSprites;

void DrawShapeBatch() {
    shapeAdd();
    FlushQuads();
}

void DrawShapeRaw() { DrawVertices(scene.shapes); }

void BenchShapes() {
    PlaceQuads(10000);
    const struct {
        const char *name;
        const char *call;
        void (*add)();
    } kinds[] = {{"turned sprites", "AddSprite", AddTurnedSprites},
                 {"triangles", "AddTriangle", AddTriangles},
                 {"lines", "AddLine", AddLines}};
    for (const auto &kind : kinds) {
        shapeAdd = kind.add;
        kind.add();
        scene.shapes = quadBatch;
        quadBatch.clear();
        for (const bool clipped : {false, true}) {
            Progress("%s: 10000%s, %d rounds", kind.name, clipped ? " scissored" : "",
                     clipped ? kClippedQuadRounds : kQuadRounds);
            const int frames = clipped ? 8 : 4;
            const Times times =
                Alternate(clipped ? kClippedQuadRounds : kQuadRounds,
                          {[=] { return TimeQuadFrames(DrawShapeBatch, frames, clipped); },
                           [=] { return TimeQuadFrames(DrawShapeRaw, frames, clipped); }});
            AddRatioRow(Format("%s 10000%s: %s+FlushQuads vs raw DrawPrimitiveUP", kind.name,
                               clipped ? " scissored" : "", kind.call),
                        times, 0, 1, 1e3, "ms", clipped ? 1.1 : 0.0);
        }
    }
}

} // namespace

void BareFrame() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Sleep(0);
    IDirect3DDevice9 *device = var.lpD3DDevice;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    device->BeginScene();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

void FrameworkFrame() {
    UpdateFramework();
    ClearAndBeginScene(kClearColour, 0);
    EndScene();
    Flip(0xFFFFFFFF);
}

int FrameworkFrames(double seconds) {
    int frames = 0;
    const double end = Now() + seconds;
    while (Now() < end) {
        FrameworkFrame();
        ++frames;
    }
    return frames;
}

void BenchFrameLoop() {
    Progress("frame loop: fw against bare Direct3D 9, %d rounds of %d frames", kFrameLoopRounds,
             kFramesPerRound);
    FrameworkFrames(0.5); // the first frames warm the driver up
    const Times times = Alternate(kFrameLoopRounds, {[] { return TimeFrames(FrameworkFrame); },
                                                     [] { return TimeFrames(BareFrame); }});
    AddRatioRow("frame loop: fw vs bare Win32 + D3D9 (per frame)", times, 0, 1, 1e3, "ms", 1.03);
    // The same with vertical sync off: what fw adds stays as small.
    SetVerticalSync(FALSE);
    FrameworkFrames(0.5);
    const Times unsynced = Alternate(kFrameLoopRounds, {[] { return TimeFrames(FrameworkFrame); },
                                                        [] { return TimeFrames(BareFrame); }});
    SetVerticalSync(TRUE);
    AddRatioRow("frame loop, vertical sync off: fw vs bare (per frame)", unsynced, 0, 1, 1e3, "ms",
                1.03);
    // What fw's frame does beyond the bare one: the input devices' poll.
    std::vector<double> polls;
    for (int i = 0; i < 201; ++i) {
        const double start = Now();
        UpdateInput();
        polls.push_back(Now() - start);
    }
    AddRow({"frame loop: UpdateInput alone", Format("%.4g ms", Median(polls) * 1e3), "", -1.0, -1.0,
            "", -1});
}

void BenchQuads() {
    if (!CreateQuadScene()) {
        Progress("quads: the texture, sprite or event query could not be created");
        ReleaseQuadScene();
        return;
    }
    // Where the batch's time goes beside the draw itself.
    std::vector<double> caps, adds;
    for (int i = 0; i < 21; ++i) {
        D3DCAPS9 deviceCaps;
        double start = Now();
        GetDevice()->GetDeviceCaps(&deviceCaps);
        caps.push_back(Now() - start);
        PlaceQuads(10000);
        start = Now();
        for (const D3DXVECTOR3 &p : scene.positions) {
            AddQuad(p.x, p.y, p.x + kQuadSize, p.y + kQuadSize, kQuadColour);
        }
        adds.push_back(Now() - start);
        quadBatch.clear();
    }
    AddRow({"quads: one GetDeviceCaps", Format("%.4g ms", Median(caps) * 1e3), "", -1.0, -1.0, "",
            -1});
    AddRow({"quads: AddQuad x 10000, no draw", Format("%.4g ms", Median(adds) * 1e3), "", -1.0,
            -1.0, "", -1});

    struct Size {
        int count;
        int frames;
    };
    for (const Size size : {Size{1000, 20}, Size{10000, 4}, Size{100000, 1}}) {
        PlaceQuads(size.count);
        TimeQuadFrames(DrawBatch, 1, true); // the batch's array grows once
        for (const bool clipped : {false, true}) {
            Progress("quads: %d rectangles%s, %d rounds of %d frames", size.count,
                     clipped ? " scissored to one pixel" : "",
                     clipped ? kClippedQuadRounds : kQuadRounds, size.frames);
            const int frames = clipped ? size.frames * 2 : size.frames;
            auto side = [frames, clipped](void (*draw)()) {
                return [frames, clipped, draw] { return TimeQuadFrames(draw, frames, clipped); };
            };
            const Times times = Alternate(clipped ? kClippedQuadRounds : kQuadRounds,
                                          {side(DrawBatch), side(DrawRaw), side(DrawSprites),
                                           side(DrawRects), side(DrawNothing), side(DrawRawWritten),
                                           side(DrawRawIndexed), side(DrawRawBuffer)});
            const bool main = size.count == 10000;
            const std::string where =
                Format("quads %d%s: ", size.count, clipped ? " scissored" : "");
            const std::string label = where + "AddQuad+FlushQuads vs ";
            AddRatioRow(label + "raw DrawPrimitiveUP", times, 0, 1, 1e3, "ms",
                        main || clipped ? 1.1 : 0.0);
            AddRatioRow(label + "raw DrawPrimitiveUP writing its vertices", times, 0, 5, 1e3, "ms",
                        0.0);
            AddRatioRow(label + "ID3DXSprite", times, 0, 2, 1e3, "ms", main ? 0.4 : 0.0);
            AddRatioRow(label + "DrawRect each", times, 0, 3, 1e3, "ms", main ? 0.6 : 0.0);
            if (main) {
                AddRatioRow(label + "empty scene", times, 0, 4, 1e3, "ms", 0.0);
            }
            // The other ways of handing the same rectangles to the device.
            AddRatioRow(where + "raw indexed, 4 vertices a quad, vs raw DrawPrimitiveUP", times, 6,
                        1, 1e3, "ms", 0.0);
            AddRatioRow(where + "raw dynamic vertex buffer vs raw DrawPrimitiveUP", times, 7, 1,
                        1e3, "ms", 0.0);
        }
    }
    BenchShapes();
    ReleaseQuadScene();
}

} // namespace bench
