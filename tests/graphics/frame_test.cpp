// Render targets and the frame cycle: CreateResource, Clear, Flip and the
// target, flag and colour functions.
#include "graphics_test.h"

namespace graphics_test {
namespace {

std::string Level(const void *texture) {
    return "IDirect3DTexture9::GetSurfaceLevel(" + fake::Label(texture) + ", 0)";
}

const std::string kCreateTarget = Dev("CreateTexture(800, 600, 1, 0x1, 22, 0)");

// ---- CreateResource -----------------------------------------------------------

using RenderTargets = GraphicsTest;

TEST_F(RenderTargets, CreateResourceMakesTheTargetsInOrderAndEndsOnTheBackBuffer) {
    ASSERT_EQ(InitDirectX(), 0);

    Calls expected = {Dev("GetRenderTarget(0)"), Dev("GetDepthStencilSurface"), kCreateTarget,
                      Level(var.lpEffectTexture)};
    for (int i = 0; i < 2; ++i) {
        expected = expected +
                   Calls{kCreateTarget,
                         Level(var.lpFlipTexture[i]),
                         "IDirect3DSurface9::GetDesc(" + fake::Label(var.lpFlipSurface[i]) + ")",
                         Dev("CreateDepthStencilSurface(800, 600, 80, 0, 0, 0)"),
                         SetTarget(var.lpFlipSurface[i]),
                         SetDepth(var.lpFlipZBuffer[i]),
                         ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0)};
    }
    expected = expected + Calls{SetTarget(var.lpBackSurface), SetDepth(var.lpBackZBuffer),
                                ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0)};
    const Calls calls = Direct3DCalls();
    ASSERT_GT(calls.size(), 4u);
    EXPECT_EQ(Calls(calls.begin() + 4, calls.end()), expected);

    EXPECT_EQ(fake::Label(var.lpBackSurface), "backbuffer1") << "render target 0 of the device";
    EXPECT_EQ(fake::Label(var.lpBackZBuffer), "autodepth1");
    EXPECT_EQ(fake::Label(var.lpEffectSurface), fake::Label(var.lpEffectTexture) + ".level0");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(fake::Label(var.lpFlipSurface[i]), fake::Label(var.lpFlipTexture[i]) + ".level0");
        EXPECT_NE(var.lpFlipZBuffer[i], nullptr);
    }
    EXPECT_NE(var.lpFlipTexture[0], var.lpFlipTexture[1]);
    EXPECT_NE(var.lpFlipZBuffer[0], var.lpFlipZBuffer[1]);
    EXPECT_EQ(fake::Device().renderTarget, var.lpBackSurface);
    EXPECT_EQ(fake::Device().depthStencil, var.lpBackZBuffer);
}

TEST_F(RenderTargets, TargetsTakeTheBackBufferSizeAndFormat) {
    windowState.width = 320;
    windowState.height = 200;
    fake::Adapter().displayMode.Format = D3DFMT_R5G6B5;

    ASSERT_EQ(InitDirectX(), 0);

    EXPECT_EQ(fake::CallsOf(Dev("CreateTexture")),
              Calls(3, Dev("CreateTexture(320, 200, 1, 0x1, 23, 0)")));
    EXPECT_EQ(fake::CallsOf(Dev("CreateDepthStencilSurface")),
              Calls(2, Dev("CreateDepthStencilSurface(320, 200, 80, 0, 0, 0)")));
}

// The back buffer has 4 samples; a texture level reports its own type, which
// the flip depth buffers must take.
TEST_F(RenderTargets, FlipDepthBuffersTakeTheFlipSurfaceMultisampling) {
    fake::Adapter().textureMultiSample = D3DMULTISAMPLE_2_SAMPLES;
    fake::Adapter().textureMultiSampleQuality = 3;

    ASSERT_EQ(InitDirectX(), 0);

    EXPECT_EQ(fake::CallsOf(Dev("CreateDepthStencilSurface")),
              Calls(2, Dev("CreateDepthStencilSurface(800, 600, 80, 2, 3, 0)")));
}

TEST_F(RenderTargets, AFailingSurfaceDescriptionIsIgnored) {
    fake::FailAlways("IDirect3DSurface9::GetDesc", D3DERR_INVALIDCALL);

    EXPECT_EQ(InitDirectX(), 0);

    EXPECT_TRUE(fake::Messages().empty());
    EXPECT_EQ(fake::CountOf(Dev("CreateDepthStencilSurface")), 2);
}

TEST_F(RenderTargets, CreateResourceWithoutAutomaticDepthClearsTheTargetOnly) {
    Start();
    ReleaseResource();
    var.d3dpp.EnableAutoDepthStencil = FALSE;
    fake::ClearCalls();

    EXPECT_EQ(CreateResource(), 0);

    const Calls clears = fake::CallsOf(Dev("Clear"));
    ASSERT_EQ(clears.size(), 3u);
    EXPECT_EQ(clears[0], ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0)) << "flip buffers";
    EXPECT_EQ(clears[1], ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0)) << "flip buffers";
    EXPECT_EQ(clears[2], ClearCall(D3DCLEAR_TARGET, 0)) << "back buffer";
}

struct TargetFailure {
    const char *name;
    const char *call;
    int occurrence;
    const char *message;
};
void PrintTo(const TargetFailure &c, std::ostream *os) { *os << c.name; }

class RenderTargetFailures : public GraphicsTest,
                             public ::testing::WithParamInterface<TargetFailure> {};

TEST_P(RenderTargetFailures, ShowTheirMessageAndReturnAtOnce) {
    const TargetFailure &c = GetParam();
    fake::Fail(c.call, D3DERR_OUTOFVIDEOMEMORY, c.occurrence);

    EXPECT_EQ(InitDirectX(), D3DERR_OUTOFVIDEOMEMORY);

    EXPECT_EQ(fake::Messages(), Calls{c.message});
    EXPECT_EQ(fake::CountOf(c.call), c.occurrence);
    EXPECT_EQ(Direct3DCalls().back().rfind(c.call, 0), 0u)
        << "nothing after the failing call: " << Direct3DCalls().back();
    // What was made before stays in var; TearDown's ReleaseDirectX must find
    // all of it, or the fake reports objects left alive.
}

INSTANTIATE_TEST_SUITE_P(
    , RenderTargetFailures,
    ::testing::Values(
        TargetFailure{"BackSurface", "IDirect3DDevice9::GetRenderTarget", 1,
                      "CreateResource : GetRenderTarget(BackSurface)\n"},
        TargetFailure{"BackZBuffer", "IDirect3DDevice9::GetDepthStencilSurface", 1,
                      "CreateResource : GetDepthStencilSurface(var.lpBackZBuffer)\n"},
        TargetFailure{"EffectTexture", "IDirect3DDevice9::CreateTexture", 1,
                      "CreateResource : CreateTexture(var.lpEffectTexture)\n"},
        TargetFailure{"EffectSurface", "IDirect3DTexture9::GetSurfaceLevel", 1,
                      "CreateResource : GetSurfaceLevel(var.lpEffectSurface)\n"},
        TargetFailure{"FlipTexture0", "IDirect3DDevice9::CreateTexture", 2,
                      "CreateResource : CreateTexture(var.lpFlipTexture)\n"},
        TargetFailure{"FlipTexture1", "IDirect3DDevice9::CreateTexture", 3,
                      "CreateResource : CreateTexture(var.lpFlipTexture)\n"},
        TargetFailure{"FlipSurface0", "IDirect3DTexture9::GetSurfaceLevel", 2,
                      "CreateResource : GetSurfaceLevel(var.lpFlipTexture)\n"},
        TargetFailure{"FlipSurface1", "IDirect3DTexture9::GetSurfaceLevel", 3,
                      "CreateResource : GetSurfaceLevel(var.lpFlipTexture)\n"},
        TargetFailure{"FlipZBuffer0", "IDirect3DDevice9::CreateDepthStencilSurface", 1,
                      "CreateResource : CreateDepthStencilSurface(var.lpFlipZBuffer)\n"},
        TargetFailure{"FlipZBuffer1", "IDirect3DDevice9::CreateDepthStencilSurface", 2,
                      "CreateResource : CreateDepthStencilSurface(var.lpFlipZBuffer)\n"},
        TargetFailure{"FlipTarget0", "IDirect3DDevice9::SetRenderTarget", 1,
                      "CreateResource : SetRenderTarget(var.lpFlipSurface)\n"},
        TargetFailure{"FlipTarget1", "IDirect3DDevice9::SetRenderTarget", 2,
                      "CreateResource : SetRenderTarget(var.lpFlipSurface)\n"},
        TargetFailure{"FlipDepth0", "IDirect3DDevice9::SetDepthStencilSurface", 1,
                      "CreateResource : SetDepthStencilSurface(var.lpFlipSurface)\n"},
        TargetFailure{"FlipDepth1", "IDirect3DDevice9::SetDepthStencilSurface", 2,
                      "CreateResource : SetDepthStencilSurface(var.lpFlipSurface)\n"},
        TargetFailure{"FlipClear0", "IDirect3DDevice9::Clear", 1,
                      "CreateResource : Clear(var.lpFlipSurface)\n"},
        TargetFailure{"FlipClear1", "IDirect3DDevice9::Clear", 2,
                      "CreateResource : Clear(var.lpFlipSurface)\n"}),
    [](const ::testing::TestParamInfo<TargetFailure> &info) { return info.param.name; });

TEST_F(RenderTargets, FailingBackBufferClearIsReturnedWithoutAMessage) {
    fake::Fail("IDirect3DDevice9::Clear", D3DERR_INVALIDCALL, 3);

    EXPECT_EQ(InitDirectX(), D3DERR_INVALIDCALL);

    EXPECT_TRUE(fake::Messages().empty());
}

// SetBackBufferTarget's own messages show, but CreateResource goes on to the
// final clear and returns its result.
TEST_F(RenderTargets, FailingBackBufferTargetShowsItsMessageAndIsIgnored) {
    fake::Fail("IDirect3DDevice9::SetRenderTarget", D3DERR_INVALIDCALL, 3);
    EXPECT_EQ(InitDirectX(), 0);
    EXPECT_EQ(fake::Messages(), Calls{"Flip : SetRenderTarget : Failed\n"});
    EXPECT_EQ(fake::CountOf(Dev("Clear")), 3);
}

TEST_F(RenderTargets, FailingBackDepthTargetShowsItsMessageAndIsIgnored) {
    fake::Fail("IDirect3DDevice9::SetDepthStencilSurface", D3DERR_INVALIDCALL, 3);
    EXPECT_EQ(InitDirectX(), 0);
    EXPECT_EQ(fake::Messages(), Calls{"Flip : SetDepthStencilSurface : Failed\n"});
    EXPECT_EQ(fake::CountOf(Dev("Clear")), 3);
}

// ---- Clear in direct mode -----------------------------------------------------

using DirectClear = GraphicsTest;

TEST_F(DirectClear, ClearsTargetAndDepthInOneCall) {
    Start();
    EXPECT_EQ(Clear(0xFF102030, 0), 0);
    EXPECT_EQ(Direct3DCalls(), Calls{ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030)});
}

TEST_F(DirectClear, WithoutAutomaticDepthClearsTheTargetOnly) {
    Start();
    var.d3dpp.EnableAutoDepthStencil = FALSE;
    EXPECT_EQ(Clear(0xFF102030, 0), 0);
    EXPECT_EQ(Direct3DCalls(), Calls{ClearCall(D3DCLEAR_TARGET, 0xFF102030)});
}

TEST_F(DirectClear, ReturnsTheFailureWithoutAMessage) {
    Start();
    fake::Fail("IDirect3DDevice9::Clear", D3DERR_INVALIDCALL);
    EXPECT_EQ(Clear(0xFF102030, 0), D3DERR_INVALIDCALL);
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(DirectClear, FadeBlendsTheColourOverTheOldImageAndClearsDepthOnly) {
    Start();

    EXPECT_EQ(Clear(0x40FF0000, 1), 0);

    EXPECT_EQ(Direct3DCalls(),
              (Calls{ClearCall(D3DCLEAR_ZBUFFER, 0x40FF0000)} + PresetCalls(0x211) +
               Calls{SetTexture(nullptr), Dev("BeginScene"), Dev("SetFVF(0x144)"),
                     Dev("DrawPrimitiveUP(4, 2, 28)"), Dev("EndScene")}));
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0x40FF0000));
    EXPECT_EQ(fake::Device().draws.back().target, "backbuffer1");
    EXPECT_EQ(GetRenderStateFlags(), 0x211u);
}

TEST_F(DirectClear, FadeReturnsTheDepthClearResult) {
    Start();
    fake::Fail("IDirect3DDevice9::Clear", D3DERR_INVALIDCALL);
    EXPECT_EQ(Clear(0x40FF0000, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(fake::Device().draws.size(), 1u) << "the fade is drawn all the same";
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(DirectClear, FadeWithoutAutomaticDepthReturnsEFailAndStillDraws) {
    Start();
    var.d3dpp.EnableAutoDepthStencil = FALSE;
    EXPECT_EQ(Clear(0x40FF0000, 1), E_FAIL);
    EXPECT_EQ(fake::CountOf(Dev("Clear")), 0);
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0x40FF0000));
}

// ---- Clear in flip mode -------------------------------------------------------

using FlipClear = GraphicsTest;

// The calls of a flip-mode Clear that draws into buffer `current`.
Calls FlipClearCalls(int current, DWORD clearFlags, D3DCOLOR color) {
    return Calls{SetTarget(var.lpFlipSurface[current]), SetDepth(var.lpFlipZBuffer[current]),
                 ClearCall(clearFlags, color), Dev("BeginScene")} +
           PresetCalls(0x211) +
           Calls{SetTexture(var.lpFlipTexture[1 - current]), Dev("SetFVF(0x144)"),
                 Dev("DrawPrimitiveUP(4, 2, 28)"), Dev("EndScene"), SetTexture(nullptr)};
}

TEST_F(FlipClear, DrawsIntoTheNextFlipBufferOverlaidWithThePreviousFrame) {
    Start();
    EnableFlip();
    SetAfterimageColor(0x80FFFFFF);

    EXPECT_EQ(Clear(0xFF0000FF, 0), 0);

    EXPECT_EQ(var.dwFlipCount, 1u);
    EXPECT_EQ(Direct3DCalls(), FlipClearCalls(1, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF));
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0x80FFFFFF));
    EXPECT_EQ(fake::Device().draws.back().target, fake::Label(var.lpFlipSurface[1]));
    EXPECT_EQ(fake::Device().draws.back().texture0, fake::Label(var.lpFlipTexture[0]));
    EXPECT_EQ(fake::Device().sceneDepth, 0) << "no scene is left open";
    EXPECT_EQ(fake::Device().textures.at(0), nullptr) << "stage 0 is left empty";
    EXPECT_EQ(GetRenderStateFlags(), 0x211u);
}

TEST_F(FlipClear, TheOverlayIsDrawnEvenWithTheDefaultAfterimageColour) {
    Start();
    EnableFlip();
    EXPECT_EQ(Clear(0xFF0000FF, 0), 0);
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0x00000000));
}

TEST_F(FlipClear, IgnoresTheFadeFlag) {
    Start();
    EnableFlip();
    EXPECT_EQ(Clear(0xFF0000FF, 1), 0);
    EXPECT_EQ(Direct3DCalls(), FlipClearCalls(1, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF));
}

TEST_F(FlipClear, WithoutAutomaticDepthClearsTheTargetOnly) {
    Start();
    EnableFlip();
    var.d3dpp.EnableAutoDepthStencil = FALSE;
    EXPECT_EQ(Clear(0xFF0000FF, 0), 0);
    EXPECT_EQ(Direct3DCalls(), FlipClearCalls(1, D3DCLEAR_TARGET, 0xFF0000FF));
}

TEST_F(FlipClear, BuffersAlternateFromFrameToFrame) {
    Start();
    EnableFlip();
    IDirect3DTexture9 *seen[4];
    IDirect3DSurface9 *surfaces[4];
    for (int frame = 0; frame < 4; ++frame) {
        ASSERT_EQ(Clear(0xFF000000, 0), 0);
        seen[frame] = GetFlipTexture();
        surfaces[frame] = GetFlipSurface();
        ASSERT_EQ(Flip(0xFFFFFFFF), 0);
    }
    EXPECT_EQ(seen[0], var.lpFlipTexture[1]);
    EXPECT_EQ(seen[1], var.lpFlipTexture[0]);
    EXPECT_EQ(seen[2], var.lpFlipTexture[1]);
    EXPECT_EQ(seen[3], var.lpFlipTexture[0]);
    EXPECT_EQ(surfaces[0], var.lpFlipSurface[1]);
    EXPECT_EQ(surfaces[1], var.lpFlipSurface[0]);
    EXPECT_EQ(var.dwFlipCount, 4u);
}

TEST_F(FlipClear, TheFlipCounterWrapsFreely) {
    Start();
    EnableFlip();
    var.dwFlipCount = 0xFFFFFFFF;
    EXPECT_EQ(Clear(0xFF000000, 0), 0);
    EXPECT_EQ(var.dwFlipCount, 0u);
    EXPECT_EQ(Direct3DCalls(), FlipClearCalls(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000));
}

TEST_F(FlipClear, DirectModeKeepsTheFlipBufferFixed) {
    Start();
    IDirect3DTexture9 *first = GetFlipTexture();
    Clear(0xFF000000, 0);
    Flip(0xFFFFFFFF);
    Clear(0xFF000000, 0);
    EXPECT_EQ(GetFlipTexture(), first);
    EXPECT_EQ(first, var.lpFlipTexture[0]);
    EXPECT_EQ(var.dwFlipCount, 0u);
}

struct FlipClearFailure {
    const char *name;
    const char *call;
    BOOL autoDepth;
    const char *message;
};
void PrintTo(const FlipClearFailure &c, std::ostream *os) { *os << c.name; }

class FlipClearFailures : public GraphicsTest,
                          public ::testing::WithParamInterface<FlipClearFailure> {};

TEST_P(FlipClearFailures, ShowTheirMessageAndReturnAtOnceWithTheCounterAdvanced) {
    const FlipClearFailure &c = GetParam();
    Start();
    EnableFlip();
    var.d3dpp.EnableAutoDepthStencil = c.autoDepth;
    fake::Fail(c.call, D3DERR_INVALIDCALL);

    EXPECT_EQ(Clear(0xFF000000, 0), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::Messages(), Calls{c.message});
    EXPECT_EQ(var.dwFlipCount, 1u);
    EXPECT_EQ(Direct3DCalls().back().rfind(c.call, 0), 0u) << Direct3DCalls().back();
}

INSTANTIATE_TEST_SUITE_P(
    , FlipClearFailures,
    ::testing::Values(FlipClearFailure{"SetRenderTarget", "IDirect3DDevice9::SetRenderTarget", TRUE,
                                       "Clear : Failed : SetRenderTarget\n"},
                      FlipClearFailure{"SetDepthStencilSurface",
                                       "IDirect3DDevice9::SetDepthStencilSurface", TRUE,
                                       "Clear : Failed : SetDepthStencilSurface\n"},
                      FlipClearFailure{"ClearWithDepth", "IDirect3DDevice9::Clear", TRUE,
                                       "Clear : Failed : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER\n"},
                      FlipClearFailure{"ClearWithoutDepth", "IDirect3DDevice9::Clear", FALSE,
                                       "Clear : Failed : D3DCLEAR_TARGET\n"},
                      FlipClearFailure{"BeginScene", "IDirect3DDevice9::BeginScene", TRUE,
                                       "Clear : Failed : BeginScene\n"}),
    [](const ::testing::TestParamInfo<FlipClearFailure> &info) { return info.param.name; });

TEST_F(FlipClear, ReturnsTheResultOfBindingThePreviousFrame) {
    Start();
    EnableFlip();
    fake::Fail("IDirect3DDevice9::SetTexture", D3DERR_INVALIDCALL);

    EXPECT_EQ(Clear(0xFF000000, 0), D3DERR_INVALIDCALL);

    EXPECT_TRUE(fake::Messages().empty());
    EXPECT_EQ(fake::Device().draws.size(), 1u) << "the overlay is drawn all the same";
    EXPECT_EQ(fake::Calls().back(), SetTexture(nullptr));
}

TEST_F(FlipClear, OverlayDrawFailureDoesNotChangeTheResult) {
    Start();
    EnableFlip();
    fake::Fail("IDirect3DDevice9::DrawPrimitiveUP", D3DERR_INVALIDCALL);
    EXPECT_EQ(Clear(0xFF000000, 0), 0);
}

// ---- ClearAndBeginScene ---------------------------------------------------------

using ClearAndBegin = GraphicsTest;

TEST_F(ClearAndBegin, ClearsThenBeginsTheScene) {
    Start();
    EXPECT_EQ(ClearAndBeginScene(0xFF203040, 0), 0);
    EXPECT_EQ(Direct3DCalls(), (Calls{ClearCall(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040),
                                      Dev("BeginScene")}));
}

TEST_F(ClearAndBegin, IgnoresAFailedClear) {
    Start();
    fake::Fail("IDirect3DDevice9::Clear", D3DERR_INVALIDCALL);
    EXPECT_EQ(ClearAndBeginScene(0xFF203040, 0), 0);
    EXPECT_EQ(fake::Calls().back(), Dev("BeginScene"));
}

TEST_F(ClearAndBegin, ReturnsTheBeginSceneResult) {
    Start();
    fake::Fail("IDirect3DDevice9::BeginScene", D3DERR_INVALIDCALL);
    EXPECT_EQ(ClearAndBeginScene(0xFF203040, 0), D3DERR_INVALIDCALL);
}

TEST_F(ClearAndBegin, InFlipModeClosesTheOverlaySceneBeforeOpeningTheFrame) {
    Start();
    EnableFlip();
    EXPECT_EQ(ClearAndBeginScene(0xFF203040, 0), 0);
    EXPECT_EQ(fake::Device().sceneDepth, 1);
    EXPECT_EQ(fake::Device().renderTarget, var.lpFlipSurface[1]);
}

// ---- Flip -----------------------------------------------------------------------

using FlipFrame = GraphicsTest;

TEST_F(FlipFrame, DirectModePresentsOnly) {
    Start();
    EXPECT_EQ(Flip(0xFF808080), 0);
    EXPECT_EQ(Direct3DCalls(), Calls{Dev("Present(NULL, NULL, NULL, NULL)")});
}

TEST_F(FlipFrame, FlipModeCopiesTheFrameToTheBackBufferThenPresents) {
    Start();
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    ASSERT_EQ(EndScene(), 0);
    fake::ClearCalls();

    EXPECT_EQ(Flip(0xFF808080), 0);

    EXPECT_EQ(Direct3DCalls(), (Calls{Dev("BeginScene"), SetTarget(var.lpBackSurface),
                                      SetDepth(var.lpBackZBuffer), SetTexture(var.lpFlipTexture[1]),
                                      Dev("SetFVF(0x144)"), Dev("DrawPrimitiveUP(4, 2, 28)"),
                                      Dev("EndScene"), Dev("Present(NULL, NULL, NULL, NULL)")}));
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0xFF808080));
    EXPECT_EQ(fake::Device().draws.back().target, "backbuffer1");
    // The flip texture stays bound until the next Clear.
    EXPECT_EQ(fake::Device().textures.at(0), var.lpFlipTexture[1]);
    EXPECT_EQ(fake::Device().renderTarget, var.lpBackSurface);
    EXPECT_EQ(fake::Device().depthStencil, var.lpBackZBuffer);
}

TEST_F(FlipFrame, AFailedBeginSceneSkipsTheCopyButStillPresents) {
    Start();
    EnableFlip();
    fake::Fail("IDirect3DDevice9::BeginScene", D3DERR_INVALIDCALL);

    EXPECT_EQ(Flip(0xFFFFFFFF), 0);

    EXPECT_EQ(Direct3DCalls(), (Calls{Dev("BeginScene"), Dev("Present(NULL, NULL, NULL, NULL)")}));
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(FlipFrame, CopyFailuresAreIgnored) {
    Start();
    EnableFlip();
    fake::Fail("IDirect3DDevice9::SetTexture", D3DERR_INVALIDCALL);
    fake::Fail("IDirect3DDevice9::DrawPrimitiveUP", D3DERR_INVALIDCALL);
    fake::Fail("IDirect3DDevice9::EndScene", D3DERR_INVALIDCALL);

    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
    EXPECT_EQ(fake::Calls().back(), Dev("Present(NULL, NULL, NULL, NULL)"));
}

class PresentFailures : public GraphicsTest, public ::testing::WithParamInterface<HRESULT> {};

// A failed Present goes to HandlePresentParam, which fails the frame unless
// it has reset the device; none of these codes resets it.
TEST_P(PresentFailures, FailTheFrameAndLeaveTheTargetsInPlace) {
    Start();
    EnableFlip();
    fake::Fail("IDirect3DDevice9::Present", GetParam());

    EXPECT_EQ(Flip(0xFFFFFFFF), E_FAIL);

    EXPECT_EQ(fake::CountOf("IDirect3DSurface9::Release"), 0);
    EXPECT_EQ(fake::CountOf("IDirect3DTexture9::Release"), 0);
    EXPECT_EQ(fake::CountOf(Dev("Reset")), 0);
    EXPECT_NE(var.lpFlipTexture[0], nullptr);
}

INSTANTIATE_TEST_SUITE_P(, PresentFailures,
                         ::testing::Values(D3DERR_DEVICELOST, D3DERR_INVALIDCALL));

// ---- Targets, flags and colour ----------------------------------------------------

using FrameSettings = GraphicsTest;

TEST_F(FrameSettings, EnableFlipTakesEffectAtTheNextClear) {
    Start();
    EXPECT_EQ(EnableFlip(), 0);
    EXPECT_EQ(var.bFlip, 1);
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(FrameSettings, DisableFlipTargetsTheBackBufferAtOnce) {
    Start();
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    fake::ClearCalls();

    EXPECT_EQ(DisableFlip(), 0);

    EXPECT_EQ(var.bFlip, 0);
    EXPECT_EQ(Direct3DCalls(), (Calls{SetTarget(var.lpBackSurface), SetDepth(var.lpBackZBuffer)}));
    EXPECT_EQ(fake::Device().renderTarget, var.lpBackSurface);
}

TEST_F(FrameSettings, DisableFlipReturnsZeroWhenTheTargetCannotBeSet) {
    Start();
    fake::Fail("IDirect3DDevice9::SetRenderTarget", D3DERR_INVALIDCALL);
    EXPECT_EQ(DisableFlip(), 0);
    EXPECT_EQ(fake::Messages(), Calls{"Flip : SetRenderTarget : Failed\n"});
}

TEST_F(FrameSettings, SetAfterimageColorIsUsedByTheNextFlipClear) {
    Start();
    EnableFlip();
    EXPECT_EQ(SetAfterimageColor(0x20FF8000), 0);
    EXPECT_EQ(var.dwAfterimageColor, 0x20FF8000u);
    EXPECT_EQ(Clear(0xFF000000, 0), 0);
    EXPECT_EQ(LastDrawn(), Rect(0, 0, 800, 600, 0x20FF8000));
}

TEST_F(FrameSettings, SetFlipRenderTargetAndDepthStencilUseTheCurrentBuffer) {
    Start();
    var.dwFlipCount = 3;
    EXPECT_EQ(SetFlipRenderTarget(), 0);
    EXPECT_EQ(SetFlipDepthStencil(), 0);
    EXPECT_EQ(Direct3DCalls(),
              (Calls{SetTarget(var.lpFlipSurface[1]), SetDepth(var.lpFlipZBuffer[1])}));
}

struct TargetSetterFailure {
    const char *name;
    HRESULT (*function)();
    const char *call;
    const char *message;
};
void PrintTo(const TargetSetterFailure &c, std::ostream *os) { *os << c.name; }

class TargetSetterFailures : public GraphicsTest,
                             public ::testing::WithParamInterface<TargetSetterFailure> {};

TEST_P(TargetSetterFailures, ShowTheirMessageAndReturnTheFailure) {
    const TargetSetterFailure &c = GetParam();
    Start();
    fake::Fail(c.call, D3DERR_INVALIDCALL);

    EXPECT_EQ(c.function(), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::Messages(), Calls{c.message});
    EXPECT_EQ(Direct3DCalls().back().rfind(c.call, 0), 0u) << "nothing after the failing call";
}

INSTANTIATE_TEST_SUITE_P(
    , TargetSetterFailures,
    ::testing::Values(TargetSetterFailure{"FlipRenderTarget", SetFlipRenderTarget,
                                          "IDirect3DDevice9::SetRenderTarget",
                                          "CreateResource : SetRenderTarget(var.lpFlipSurface)\n"},
                      TargetSetterFailure{
                          "FlipDepthStencil", SetFlipDepthStencil,
                          "IDirect3DDevice9::SetDepthStencilSurface",
                          "SetDepthStencilSurface : SetDepthStencilSurface(var.lpFlipZBuffer)\n"},
                      TargetSetterFailure{"BackBufferTarget", SetBackBufferTarget,
                                          "IDirect3DDevice9::SetRenderTarget",
                                          "Flip : SetRenderTarget : Failed\n"},
                      TargetSetterFailure{"BackBufferDepth", SetBackBufferTarget,
                                          "IDirect3DDevice9::SetDepthStencilSurface",
                                          "Flip : SetDepthStencilSurface : Failed\n"}),
    [](const ::testing::TestParamInfo<TargetSetterFailure> &info) { return info.param.name; });

TEST_F(FrameSettings, BeginSceneAndEndScenePassTheDeviceResults) {
    Start();
    fake::Fail("IDirect3DDevice9::BeginScene", D3DERR_INVALIDCALL);
    fake::Fail("IDirect3DDevice9::EndScene", D3DERR_DEVICELOST);
    EXPECT_EQ(BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(EndScene(), D3DERR_DEVICELOST);
    EXPECT_EQ(BeginScene(), 0);
    EXPECT_EQ(EndScene(), 0);
    EXPECT_EQ(Direct3DCalls(),
              (Calls{Dev("BeginScene"), Dev("EndScene"), Dev("BeginScene"), Dev("EndScene")}));
}

} // namespace
} // namespace graphics_test
