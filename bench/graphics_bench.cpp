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
#include <vector>

namespace bench {

namespace {

constexpr D3DCOLOR kClearColour = 0xFF203040;
constexpr int kFrameLoopRounds = 7;
constexpr int kFramesPerRound = 60;
constexpr int kQuadRounds = 5;
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
    std::vector<ScreenVertex> vertices;
    std::vector<D3DXVECTOR3> positions;
    int count = 0;
} scene;

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
    return SUCCEEDED(D3DXCreateSprite(device, &scene.sprite)) &&
           SUCCEEDED(device->CreateQuery(D3DQUERYTYPE_EVENT, &scene.query));
}

void ReleaseQuadScene() {
    for (IUnknown *object :
         std::initializer_list<IUnknown *>{scene.texture, scene.sprite, scene.query}) {
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
    const int columns = 800 / 8;
    const int rows = 600 / 8;
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(i % columns) * kQuadSize;
        const float y = static_cast<float>((i / columns) % rows) * kQuadSize;
        scene.positions.push_back(D3DXVECTOR3(x, y, 0.0f));
        ScreenVertex six[6];
        RectVertices(six, x, y, x + kQuadSize, y + kQuadSize, kQuadColour, 0.0f, 0.0f, 1.0f, 1.0f);
        scene.vertices.insert(scene.vertices.end(), six, six + 6);
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

void DrawRaw() {
    IDirect3DDevice9 *device = GetDevice();
    device->SetFVF(SCREEN_VERTEX_FVF);
    UINT left = static_cast<UINT>(scene.vertices.size()) / 3;
    const ScreenVertex *vertices = scene.vertices.data();
    while (left > 0) {
        const UINT triangles = std::min(left, scene.maxPrimitives);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, vertices, sizeof(ScreenVertex));
        vertices += triangles * 3;
        left -= triangles;
    }
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
                     clipped ? " scissored to one pixel" : "", kQuadRounds, size.frames);
            const int frames = clipped ? size.frames * 2 : size.frames;
            auto side = [frames, clipped](void (*draw)()) {
                return [frames, clipped, draw] { return TimeQuadFrames(draw, frames, clipped); };
            };
            const Times times =
                Alternate(kQuadRounds, {side(DrawBatch), side(DrawRaw), side(DrawSprites),
                                        side(DrawRects), side(DrawNothing)});
            const bool main = size.count == 10000;
            const std::string label = Format("quads %d%s: AddQuad+FlushQuads vs ", size.count,
                                             clipped ? " scissored" : "");
            AddRatioRow(label + "raw DrawPrimitiveUP", times, 0, 1, 1e3, "ms", main ? 1.1 : 0.0);
            AddRatioRow(label + "ID3DXSprite", times, 0, 2, 1e3, "ms", main ? 0.4 : 0.0);
            AddRatioRow(label + "DrawRect each", times, 0, 3, 1e3, "ms", main ? 0.6 : 0.0);
            if (main) {
                AddRatioRow(label + "empty scene", times, 0, 4, 1e3, "ms", 0.0);
            }
        }
    }
    ReleaseQuadScene();
}

} // namespace bench
