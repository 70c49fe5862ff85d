// The graphics device on the real Direct3D 9 (Wine's, under Xvfb): the
// framework's window and device, frames cleared and presented, and what the
// pixels show in direct and flip mode.
#include "app/framework.h"
#include "app/window.h"
#include "graphics/graphics.h"
#include "graphics/quad.h"
#include "graphics/renderstate.h"
#include "real/device.h"
#include "real/pixels.h"

#include <gtest/gtest.h>

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

} // namespace
