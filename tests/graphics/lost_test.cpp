// Device loss on the fake platform: the lost-device timing, the fatal rows
// and resets started at every phase of a frame. (The real reset is a real
// test: Wine refuses it while a default-pool object is alive.)
#include "fake/d3dx_resources.h"
#include "graphics_test.h"
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/texture.h>
#include <fw/shader/shader.h>

#include <cstring>
#include <functional>

namespace graphics_test {
namespace {

class DeviceLoss : public GraphicsTest {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        fake::ResetD3DXResources();
    }
    void TearDown() override {
        ReleaseShader();
        GraphicsTest::TearDown();
    }

    // Flip mode with a font and its sprite, a mesh and a cached texture.
    void StartWithResources() {
        Start();
        EnableFlip();
        ASSERT_EQ(CreateFontData(2, "Arial", 16), S_OK);
        ASSERT_EQ(LoadMesh(0, "flag.x"), 0);
        ASSERT_EQ(LoadTexture("a.png"), S_OK);
        fake::ClearCalls();
    }
};

TEST_F(DeviceLoss, WhileTheDeviceStaysLostEachFlipPausesAndReleasesNothing) {
    StartWithResources();
    fake::FailAlways("IDirect3DDevice9::Present", D3DERR_DEVICELOST);
    fake::FailAlways("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICELOST);
    fake::FailAlways("Sleep", 0); // recorded, not slept

    EXPECT_EQ(Flip(0xFFFFFFFF), E_FAIL);
    EXPECT_EQ(Flip(0xFFFFFFFF), E_FAIL);

    EXPECT_EQ(fake::CallsOf("Sleep"), (Calls{"Sleep(250)", "Sleep(250)"}));
    EXPECT_EQ(fake::CountOf("IDirect3DDevice9::TestCooperativeLevel"), 2);
    EXPECT_EQ(fake::CountOf("IDirect3DSurface9::Release"), 0);
    EXPECT_EQ(fake::CountOf("ID3DXSprite::OnLostDevice"), 0);
    EXPECT_EQ(fake::CountOf(Dev("Reset")), 0);
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(DeviceLoss, ADeviceReadyForResetIsResetWithinTheSameFlip) {
    StartWithResources();
    const D3DPRESENT_PARAMETERS params = var.d3dpp;
    ID3DXMesh *const mesh = var.MeshSlot[0].lpMesh;
    IDirect3DTexture9 *const cached = var.TextureCache[0].lpTexture;
    fake::Fail("IDirect3DDevice9::Present", D3DERR_DEVICELOST);
    fake::Fail("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICENOTRESET);

    EXPECT_EQ(Flip(0xFFFFFFFF), 0);

    ASSERT_EQ(fake::Device().resets.size(), 1u);
    EXPECT_EQ(std::memcmp(&fake::Device().resets[0], &params, sizeof params), 0);
    EXPECT_EQ(fake::CountOf("Sleep"), 0);
    // Told before the reset, and again after it; the sprite once per slot.
    const int reset = IndexOf(Dev("Reset"));
    EXPECT_LT(IndexOf("ID3DXFont::OnLostDevice(font1)"), reset);
    EXPECT_GT(IndexOf("ID3DXFont::OnResetDevice(font1)"), reset);
    EXPECT_EQ(fake::CountOf("ID3DXSprite::OnLostDevice"), FONT_SLOT_COUNT);
    EXPECT_EQ(fake::CountOf("ID3DXSprite::OnResetDevice"), FONT_SLOT_COUNT);
    EXPECT_NE(var.lpFlipSurface[1], nullptr);
    EXPECT_EQ(var.MeshSlot[0].lpMesh, mesh);
    EXPECT_EQ(var.TextureCache[0].lpTexture, cached);
    EXPECT_TRUE(fake::Messages().empty());
}

struct FatalRow {
    const char *name;
    std::function<void()> arrange;
    HRESULT present; // what Present reports
    const char *message;
    HRESULT result;
};

void PrintTo(const FatalRow &row, std::ostream *os) { *os << row.name; }

class FatalDeviceLoss : public DeviceLoss, public ::testing::WithParamInterface<FatalRow> {};

TEST_P(FatalDeviceLoss, ShowsItsMessageAndQuits) {
    const FatalRow &row = GetParam();
    StartWithResources();
    row.arrange();
    fake::Fail("IDirect3DDevice9::Present", row.present);

    EXPECT_EQ(Flip(0xFFFFFFFF), row.result);

    ASSERT_FALSE(fake::Messages().empty());
    EXPECT_EQ(fake::Messages().back(), row.message);
    EXPECT_EQ(fake::CountOf("PostQuitMessage(0)"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    , FatalDeviceLoss,
    ::testing::Values(
        FatalRow{"DriverInternalError", [] {}, D3DERR_DRIVERINTERNALERROR,
                 "HandlePresentParam : Failed : D3DERR_DRIVERINTERNALERROR\n", E_FAIL},
        FatalRow{"OnLost",
                 [] { fake::FailAlways("ID3DXSprite::OnLostDevice", D3DERR_INVALIDCALL); },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnLost\n", E_FAIL},
        FatalRow{"Reset", [] { fake::Fail("IDirect3DDevice9::Reset", D3DERR_INVALIDCALL); },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : Reset\n",
                 D3DERR_INVALIDCALL},
        FatalRow{"OnRestore",
                 [] {
                     ASSERT_EQ(AssembleShaderFromCode("vs", 0, "ps", 0), S_OK);
                     fake::Fail("IDirect3DDevice9::CreateVertexShader", E_OUTOFMEMORY);
                 },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnRestore\n",
                 E_OUTOFMEMORY}),
    [](const ::testing::TestParamInfo<FatalRow> &info) { return info.param.name; });

TEST_F(DeviceLoss, OnLostIsTriedThirtyOneTimes) {
    StartWithResources();
    fake::FailAlways("ID3DXFont::OnLostDevice", D3DERR_INVALIDCALL);

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), E_FAIL);

    EXPECT_EQ(fake::CountOf("ID3DXFont::OnLostDevice"), 31);
    EXPECT_EQ(fake::CountOf(Dev("Reset")), 0);
}

// A reset may come at any point of a frame; whatever the frame left bound,
// nothing of the default pool may be alive when Reset runs.
class ResetMidFrame : public DeviceLoss,
                      public ::testing::WithParamInterface<std::pair<const char *, int>> {};

TEST_P(ResetMidFrame, FindsNoDefaultPoolObjectAlive) {
    StartWithResources();
    ASSERT_EQ(AssembleShaderFromCode("vs", 0, "ps", 0), S_OK);
    const int phase = GetParam().second;
    Clear(0xFF000000, 0);
    if (phase >= 1) {
        BeginScene();
        DrawString(2, 0, 0, 0xFFFFFFFF, 2, "text");
        DrawMesh(0);
        DrawEffectGaussianBlur(0xFFFFFFFF);
    }
    if (phase >= 2) {
        EndScene();
    }

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0)
        << ::testing::PrintToString(fake::Messages());
    EXPECT_EQ(fake::CountOf(Dev("Reset")), 1);
}

INSTANTIATE_TEST_SUITE_P(, ResetMidFrame,
                         ::testing::Values(std::make_pair("AfterClear", 0),
                                           std::make_pair("InsideAScene", 1),
                                           std::make_pair("AfterEndScene", 2)),
                         [](const auto &info) { return std::string(info.param.first); });

} // namespace
} // namespace graphics_test
