// The graphics device on the real Direct3D 9 (Wine's, under Xvfb): the
// framework's window and device, frames cleared and presented, and what the
// pixels show in direct and flip mode.
#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/graphics/quad.h>
#include <fw/graphics/renderstate.h>
#include <fw/graphics/target.h>
#include "real/boxes.h"
#include "real/device.h"
#include "real/pixels.h"
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/texture.h>
#include <fw/shader/shader.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace {

using real::DiffuseOnly;
using real::kMargin;

class RealGraphics : public real::DeviceTest {
  protected:
    // One whole frame of flat colour, presented.
    static void FlatFrame(D3DCOLOR color) {
        ASSERT_EQ(ClearAndBeginScene(color, 0), 0);
        ASSERT_EQ(EndScene(), 0);
        ASSERT_EQ(Flip(0xFFFFFFFF), 0);
    }
};

TEST_F(RealGraphics, TheDeviceBacksTheWindowWithTheFrameworkTargets) {
    EXPECT_EQ(var.d3dpp.BackBufferWidth, 800u);
    EXPECT_EQ(var.d3dpp.BackBufferHeight, 600u);
    EXPECT_EQ(var.d3dpp.Windowed, TRUE);
    EXPECT_EQ(var.d3dpp.BackBufferFormat, var.DisplayMode.Format);
    EXPECT_TRUE(var.d3dpp.MultiSampleType == D3DMULTISAMPLE_4_SAMPLES ||
                var.d3dpp.MultiSampleType == D3DMULTISAMPLE_NONMASKABLE);
    D3DSURFACE_DESC back;
    ASSERT_EQ(var.lpBackSurface->GetDesc(&back), D3D_OK);
    EXPECT_EQ(back.Width, 800u);
    EXPECT_EQ(back.MultiSampleType, var.d3dpp.MultiSampleType);
    for (int i = 0; i < 2; ++i) {
        D3DSURFACE_DESC flip, depth;
        ASSERT_EQ(var.lpFlipSurface[i]->GetDesc(&flip), D3D_OK);
        ASSERT_EQ(var.lpFlipZBuffer[i]->GetDesc(&depth), D3D_OK);
        EXPECT_EQ(flip.Width, 800u);
        EXPECT_EQ(flip.Height, 600u);
        EXPECT_EQ(flip.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(depth.Format, D3DFMT_D16);
        EXPECT_EQ(depth.MultiSampleType, flip.MultiSampleType);
    }
    EXPECT_NE(var.lpEffectSurface, nullptr);
}

TEST_F(RealGraphics, FramesAreClearedAndPresented) {
    for (int frame = 0; frame < 5; ++frame) {
        FlatFrame(0xFF000000 | static_cast<D3DCOLOR>(frame * 0x101010));
    }
}

TEST_F(RealGraphics, DirectModeClearShowsTheClearColour) {
    ASSERT_EQ(ClearAndBeginScene(0xFF3366CC, 0), 0);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpBackSurface);
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, kMargin), 0xFF3366CC, 0));

    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

TEST_F(RealGraphics, DirectModeFadeBlendsTheColourOverTheOldImage) {
    ASSERT_EQ(Clear(0xFF0000FF, 0), 0);
    ASSERT_EQ(Clear(0x80FF0000, 1), 0);

    // Red at alpha 0x80 (0.502) over blue.
    const pixels::Image image = Read(var.lpBackSurface);
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, kMargin), 0xFF80007F, 2));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

TEST_F(RealGraphics, FlipModeWithoutAfterimageStartsEachFrameAtTheClearColour) {
    EnableFlip();
    FlatFrame(0xFFFFFFFF);

    ASSERT_EQ(ClearAndBeginScene(0xFF204080, 0), 0);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(GetFlipSurface());
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, kMargin), 0xFF204080, 0));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

TEST_F(RealGraphics, FlipModeAfterimageKeepsHalfOfThePreviousFrame) {
    EnableFlip();
    FlatFrame(0xFFFF0000);
    SetAfterimageColor(0x80FFFFFF);

    ASSERT_EQ(ClearAndBeginScene(0xFF0000FF, 0), 0);
    ASSERT_EQ(EndScene(), 0);

    // The red frame at alpha 0x80 over the blue clear.
    const pixels::Image image = Read(GetFlipSurface());
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, kMargin), 0xFF80007F, 2));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

// Flip composes into var.lpBackSurface and presents at once, and what a
// discarding Present leaves behind cannot be read (the back buffer, the front
// buffer and the window all read black here). So for this frame the back
// buffer Flip sees is a readable target of the test's own.
TEST_F(RealGraphics, FlipModeCompositeColourScalesTheFrame) {
    IDirect3DDevice9 *device = GetDevice();
    IDirect3DSurface9 *target = nullptr;
    IDirect3DSurface9 *depth = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(800, 600, var.d3dpp.BackBufferFormat, D3DMULTISAMPLE_NONE,
                                         0, FALSE, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateDepthStencilSurface(800, 600, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                &depth, nullptr),
              D3D_OK);
    IDirect3DSurface9 *const backSurface = var.lpBackSurface;
    IDirect3DSurface9 *const backZBuffer = var.lpBackZBuffer;

    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFFFFFFFF, 0), 0);
    ASSERT_EQ(EndScene(), 0);
    var.lpBackSurface = target;
    var.lpBackZBuffer = depth;
    // The overlay states of Clear are still in force: texture times diffuse.
    const HRESULT flipped = Flip(0xFF808080);
    var.lpBackSurface = backSurface;
    var.lpBackZBuffer = backZBuffer;

    EXPECT_EQ(flipped, 0);
    const pixels::Image image = Read(target);
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, kMargin), 0xFF808080, 2));
    SetBackBufferTarget();
    target->Release();
    depth->Release();
}

TEST_F(RealGraphics, DrawRectOfOnePixelCoversExactlyThatPixel) {
    if (real::OnDxvk()) {
        GTEST_SKIP() << "DXVK: with multisampling the samples of the first pixel column and row "
                        "that lie left of and above the pixel centre are never drawn (pixel (0, 0) "
                        "comes out a quarter covered, (0, 5) and (5, 0) half)";
    }
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    SetRenderStateFlags(0);
    DiffuseOnly();
    GetDevice()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_EQ(DrawRect(0, 0, 1, 1, 0xFFFF0000), 0);
    EXPECT_EQ(DrawRect(10, 20, 14, 22, 0xFF00FF00), 0);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpBackSurface);
    EXPECT_TRUE(pixels::AreaIs(image, {0, 0, 1, 1}, 0xFFFF0000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {1, 0, 2, 2}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {0, 1, 1, 2}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {10, 20, 14, 22}, 0xFF00FF00, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {9, 19, 15, 20}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {9, 22, 15, 23}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {9, 20, 10, 22}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {14, 20, 15, 22}, 0xFF000000, 0));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

TEST_F(RealGraphics, PresetWordReachesTheDevice) {
    ASSERT_EQ(SetRenderStateFlags(0x212), 0);
    DWORD value = 0;
    GetDevice()->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
    GetDevice()->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
    GetDevice()->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));

    const D3DXVECTOR3 direction(0, 0, 10);
    ASSERT_EQ(SetDirectionalLight(1, 0xFF101010, 1, 1, 1, 1, &direction), 0);
    D3DLIGHT9 light;
    ASSERT_EQ(GetDevice()->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(light.Direction.z, 1.0f);
}

// ---- Blur -------------------------------------------------------------------

// Flip mode, the current flip buffer holding a white 100 x 100 square at
// (350, 250) on black, the scene still open.
void SquareInFlipBuffer() {
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    SetRenderStateFlags(0);
    DiffuseOnly();
    GetDevice()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(DrawRect(350, 250, 450, 350, 0xFFFFFFFF), 0);
}

// The square after DrawEffectGaussianBlur(color), which must leave the flip
// buffer as the target and the preset word as it was.
pixels::Image BlurredSquare(D3DCOLOR color) {
    SquareInFlipBuffer();
    SetRenderStateFlags(0x211);
    EXPECT_EQ(DrawEffectGaussianBlur(color), 0);
    EXPECT_EQ(GetRenderStateFlags(), 0x211u);
    IDirect3DSurface9 *target = nullptr;
    EXPECT_EQ(GetDevice()->GetRenderTarget(0, &target), D3D_OK);
    EXPECT_EQ(target, GetFlipSurface()) << "the flip buffer stays the target";
    if (target != nullptr) {
        target->Release();
    }
    EXPECT_EQ(EndScene(), 0);
    pixels::Image image;
    EXPECT_TRUE(pixels::Read(GetDevice(), GetFlipSurface(), &image));
    return image;
}

// The glow: the half-size copy, enlarged bilinearly, spills one pixel past
// each edge of the square at a quarter of its brightness.
TEST_F(RealGraphics, BlurGivesABrightSquareAGlow) {
    const pixels::Image image = BlurredSquare(0xFFFFFFFF);
    EXPECT_TRUE(pixels::AreaIs(image, {352, 252, 448, 348}, 0xFFFFFFFF, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {349, 260, 350, 340}, 0xFF404040, 0x18)) << "left";
    EXPECT_TRUE(pixels::AreaIs(image, {450, 260, 451, 340}, 0xFF404040, 0x18)) << "right";
    EXPECT_TRUE(pixels::AreaIs(image, {360, 249, 440, 250}, 0xFF404040, 0x18)) << "top";
    EXPECT_TRUE(pixels::AreaIs(image, {360, 350, 440, 351}, 0xFF404040, 0x18)) << "bottom";
    EXPECT_TRUE(pixels::AreaIs(image, {kMargin, kMargin, 340, 584}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {460, kMargin, 784, 584}, 0xFF000000, 0));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

TEST_F(RealGraphics, BlurWithAlphaZeroAddsNothing) {
    const pixels::Image image = BlurredSquare(0x00FFFFFF);
    EXPECT_TRUE(pixels::AreaIs(image, {350, 250, 450, 350}, 0xFFFFFFFF, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {349, 250, 350, 350}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {450, 250, 451, 350}, 0xFF000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {350, 350, 450, 351}, 0xFF000000, 0));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

// A rectangle at depth `z`, drawn with the depth test of the states in force.
void DrawRectAtDepth(float x1, float y1, float x2, float y2, float z, D3DCOLOR color) {
    ScreenVertex vertices[6];
    RectVertices(vertices, x1, y1, x2, y2, color, 0, 0, 1, 1);
    for (ScreenVertex &vertex : vertices) {
        vertex.z = z;
    }
    GetDevice()->SetFVF(SCREEN_VERTEX_FVF);
    GetDevice()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof vertices[0]);
}

// Drawn into a 64 x 64 target with a depth buffer of its own while the back
// buffer is multisampled: a near green square stays in front of a far red
// one drawn after it. Ending puts back the back buffer and the program's
// viewport, and the target's texture, bound by BindTexture, is drawn texel
// for texel into the frame.
TEST_F(RealGraphics, ARenderTargetDrawsWithItsOwnDepthAndPutsTheFrameBack) {
    std::printf("back buffer multisample type %d\n", var.d3dpp.MultiSampleType);
    ASSERT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_X8R8G8B8, RENDER_TARGET_DEPTH), S_OK);
    IDirect3DDevice9 *device = GetDevice();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    const D3DVIEWPORT9 viewport = {8, 8, 400, 300, 0.0f, 1.0f};
    device->SetViewport(&viewport);

    ASSERT_EQ(BeginRenderTarget(0, TRUE, 0xFF0000FF), S_OK);
    IDirect3DSurface9 *depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC desc = {};
    depth->GetDesc(&desc);
    depth->Release();
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(desc.Width, 64u);
    SetRenderStateFlags(RSF_ZBUFFER);
    DiffuseOnly();
    DrawRectAtDepth(16, 16, 48, 48, 0.2f, 0xFF00FF00);
    DrawRectAtDepth(0, 0, 64, 64, 0.8f, 0xFFFF0000);
    ASSERT_EQ(EndRenderTarget(), S_OK);

    IDirect3DSurface9 *target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    target->Release();
    EXPECT_EQ(target, var.lpBackSurface);
    D3DVIEWPORT9 after = {};
    device->GetViewport(&after);
    EXPECT_EQ(std::make_tuple(after.X, after.Y, after.Width, after.Height),
              std::make_tuple(viewport.X, viewport.Y, viewport.Width, viewport.Height));

    SetRenderStateFlags(RSF_MODULATE | RSF_POINT);
    EXPECT_EQ(BindTexture(GetRenderTargetTexture(0)), D3D_OK);
    EXPECT_EQ(DrawRect(100, 100, 164, 164, 0xFFFFFFFF), D3D_OK);
    BindTexture(nullptr);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpBackSurface);
    EXPECT_TRUE(pixels::AreaIs(image, {102, 102, 114, 162}, 0xFFFF0000, 2)) << "far, around";
    EXPECT_TRUE(pixels::AreaIs(image, {118, 118, 146, 146}, 0xFF00FF00, 2)) << "near, in front";
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
    ReleaseRenderTarget(0);
}

class RealOddWidth : public real::DeviceTest {
  protected:
    void SetUp() override { Start(801, 600); }
};

// The reduced copy of an all-white frame is 400 x 300 in the effect target,
// whose rest stays cleared.
TEST_F(RealOddWidth, BlurReducesAWidthOf801To400) {
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFFFFFFFF, 0), 0);
    EXPECT_EQ(DrawEffectGaussianBlur(0x00FFFFFF), 0);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpEffectSurface);
    ASSERT_EQ(image.width, 801u);
    EXPECT_TRUE(pixels::AreaIs(image, {0, 0, 400, 300}, 0xFFFFFFFF, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {400, 0, 801, 600}, 0x00000000, 0));
    EXPECT_TRUE(pixels::AreaIs(image, {0, 300, 400, 600}, 0x00000000, 0));
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

// ---- Device reset -----------------------------------------------------------

constexpr char kVertexShader[] = "vs_1_1\ndcl_position v0\nmov oPos, v0\n";
constexpr char kPixelShader[] = "ps_1_1\ndef c0, 1.0, 0.0, 1.0, 1.0\nmov r0, c0\n";

// The second technique draws in the colour c.
constexpr char kEffect[] = "float4 c; float4 blue() : COLOR { return float4(0, 0, 1, 1); }"
                           "float4 ps() : COLOR { return c; }"
                           "technique first { pass p { PixelShader = compile ps_2_0 blue(); } }"
                           "technique t { pass p { PixelShader = compile ps_2_0 ps(); } }";

// Wine 8's D3DX compiles no effect from source without the compiler stand-in.
bool HasEffectCompiler() {
    ID3DXEffect *effect = nullptr;
    if (FAILED(D3DXCreateEffect(GetDevice(), kEffect, sizeof kEffect - 1, nullptr, nullptr, 0,
                                nullptr, &effect, nullptr))) {
        return false;
    }
    effect->Release();
    return true;
}

class RealReset : public RealGraphics {
  protected:
    // Flip mode with an afterimage, a font and its sprite, a mesh, a cached
    // texture and a shader pair, after a few white frames.
    void LoadEverything() {
        EnableFlip();
        SetAfterimageColor(0x80FFFFFF);
        ASSERT_EQ(CreateFontData(0, "DejaVu Sans", 48), S_OK);
        ASSERT_EQ(LoadMesh(0, "strips.x"), 0);
        ASSERT_EQ(LoadTexture("colourkey.bmp"), S_OK);
        ASSERT_EQ(AssembleShaderFromCode(kVertexShader, 0, kPixelShader, 0), S_OK);
        for (int frame = 0; frame < 3; ++frame) {
            FlatFrame(0xFFFFFFFF);
        }
    }
    void TearDown() override {
        ReleaseShader();
        RealGraphics::TearDown();
    }
};

// Strips of the mesh, the keyed texture over the left strip, a magenta
// square of the shader pair over the middle one and shadowed text over the
// right one.
void DrawEveryResource() {
    IDirect3DDevice9 *device = GetDevice();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    SetRenderStateFlags(0);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    EXPECT_EQ(DrawMesh(0), D3D_OK);

    SetRenderStateFlags(RSF_BLEND | RSF_MODULATE | RSF_POINT);
    EXPECT_EQ(SetTexture("colourkey.bmp"), D3D_OK);
    EXPECT_EQ(DrawRect(40, 40, 200, 120, 0xFFFFFFFF), D3D_OK);

    EXPECT_EQ(ApplyVertexShader(), S_OK);
    EXPECT_EQ(ApplyPixelShader(), S_OK);
    const D3DXVECTOR3 square[] = {
        {-0.2f, 0.2f, 0.5f}, {0.2f, 0.2f, 0.5f}, {-0.2f, -0.2f, 0.5f}, {0.2f, -0.2f, 0.5f}};
    device->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof square[0]), D3D_OK);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);

    EXPECT_EQ(DrawString(0, 560, 40, 0xFFFFFFFF, 2, "HIH"), S_OK);
    ASSERT_EQ(EndScene(), 0);
}

// Wine's Reset refuses while any default-pool object is alive: a reset that
// succeeds shows that OnLost released them all.
TEST_F(RealReset, ADeviceResetKeepsEveryResourceWorking) {
    LoadEverything();
    const DWORD flipCount = var.dwFlipCount;
    IDirect3DTexture9 *const cached = var.TextureCache[0].lpTexture;
    boxes::Answerer answerer;

    ASSERT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0)
        << ::testing::PrintToString(answerer.Texts());

    EXPECT_TRUE(var.bFlip);
    EXPECT_EQ(var.dwFlipCount, flipCount);
    EXPECT_EQ(var.dwAfterimageColor, 0x80FFFFFFu);
    EXPECT_EQ(var.TextureCache[0].lpTexture, cached);
    for (IDirect3DSurface9 *flip : var.lpFlipSurface) {
        const pixels::Image image = Read(flip);
        EXPECT_TRUE(pixels::AreaIs(image, {0, 0, 800, 600}, 0x00000000, 0))
            << "flip buffers start transparent black";
    }

    DrawEveryResource();
    const pixels::Image image = Read(GetFlipSurface());
    EXPECT_TRUE(pixels::AreaIs(image, {kMargin, 200, 250, 584}, 0xFF00FF00, 2)) << "mesh";
    EXPECT_TRUE(pixels::AreaIs(image, {282, 400, 517, 584}, 0xFFFF0000, 2)) << "mesh";
    EXPECT_TRUE(pixels::AreaIs(image, {549, 200, 784, 584}, 0xFF00FF00, 2)) << "mesh";
    EXPECT_TRUE(pixels::AreaIs(image, {42, 42, 78, 118}, 0xFF00FF00, 2)) << "keyed texels";
    EXPECT_TRUE(pixels::AreaIs(image, {122, 42, 198, 118}, 0xFFFFFFFF, 1)) << "texture";
    EXPECT_TRUE(pixels::AreaIs(image, {325, 245, 475, 355}, 0xFFFF00FF, 1)) << "shader pair";
    const RECT text = {560, 40, 720, 110};
    // Over the green strip only the shadow makes dark pixels.
    EXPECT_GT(pixels::Count(image, text, 0xFFFFFFFF, 8), 200) << "text";
    EXPECT_GT(pixels::Count(image, text, 0xFF000000, 0x40), 100) << "shadow";
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

// A square drawn through the effect's first pass.
void DrawWithEffect() {
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    SetRenderStateFlags(0);
    UINT passes = 0;
    if (BeginEffect(&passes) == S_OK && BeginPass(0) == S_OK) {
        const D3DXVECTOR4 square[] = {
            {100, 100, 0.5f, 1}, {300, 100, 0.5f, 1}, {100, 300, 0.5f, 1}, {300, 300, 0.5f, 1}};
        GetDevice()->SetFVF(D3DFVF_XYZRHW);
        GetDevice()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof square[0]);
        EndPass();
    }
    EndEffect();
    ASSERT_EQ(EndScene(), 0);
}

// Wine's effects answer E_NOTIMPL to OnLostDevice and OnResetDevice, and
// keep the state block their Begin made. After the reset the effect draws on
// with the technique and the colour it was given before.
TEST_F(RealReset, ADeviceResetKeepsTheEffect) {
    if (!HasEffectCompiler()) {
        GTEST_SKIP() << "effects from source are not supported by this Direct3D implementation";
    }
    boxes::Answerer answerer;
    LoadEverything();
    ASSERT_EQ(CreateEffectFromCode(kEffect, 0), S_OK) << ::testing::PrintToString(answerer.Texts());
    const float orange[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    ASSERT_EQ(SetTechnique("t"), S_OK);
    ASSERT_EQ(SetEffectValue("c", orange, sizeof orange), S_OK);
    DrawWithEffect();

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0)
        << ::testing::PrintToString(answerer.Texts());

    DrawWithEffect();
    const pixels::Image image = Read(GetFlipSurface());
    EXPECT_TRUE(pixels::AreaIs(image, {110, 110, 290, 290}, 0xFFFF8000, 2)) << "effect";
    EXPECT_TRUE(pixels::AreaIs(image, {310, 110, 400, 290}, 0xFF000000, 0)) << "beside it";
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

} // namespace
