// Device loss on the fake platform: the lost-device timing, the fatal rows
// and resets started at every phase of a frame. (The real reset is a real
// test: Wine refuses it while a default-pool object is alive.)
#include "fake/d3dx_resources.h"
#include "fake/d3dx_shader.h"
#include "graphics_test.h"
#include <fw/app/window.h>
#include <fw/graphics/target.h>
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/texture.h>
#include <fw/shader/shader.h>

#include <cstring>
#include <functional>

namespace graphics_test {
namespace {

// A program's notification pair: each call is logged with the pair's name,
// answers `result`, and may run `also` (to register or remove from inside).
struct Program {
    explicit Program(const char *name_, HRESULT reset_ = S_OK, HRESULT lost_ = S_OK)
        : name(name_), reset(reset_), lost(lost_) {}
    const char *name;
    HRESULT reset; // what its reset function answers
    HRESULT lost;  // and its lost function
    std::function<void()> also;
};

HRESULT ProgramLost(void *context) {
    auto *program = static_cast<Program *>(context);
    fake::Record("lost(%s)", program->name);
    if (program->also) {
        program->also();
    }
    return program->lost;
}

HRESULT ProgramReset(void *context) {
    auto *program = static_cast<Program *>(context);
    fake::Record("reset(%s)", program->name);
    return program->reset;
}

// Registrations are the process's: each test takes out what it put in.
std::vector<Program *> registered;

void Register(Program *program) {
    ASSERT_EQ(AddDeviceNotification(ProgramLost, ProgramReset, program), S_OK);
    registered.push_back(program);
}

class DeviceLoss : public GraphicsTest {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        fake::ResetD3DXResources();
    }
    void TearDown() override {
        for (Program *program : registered) {
            RemoveDeviceNotification(ProgramLost, ProgramReset, program);
        }
        registered.clear();
        fake::KeepEffectStateBlocks(false);
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
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnRestore\n", E_OUTOFMEMORY},
        FatalRow{"CreateResource",
                 [] { fake::Fail("IDirect3DDevice9::CreateTexture", E_OUTOFMEMORY); },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnRestore\n", E_OUTOFMEMORY},
        FatalRow{"ResetNotification",
                 [] {
                     static Program failing{"failing", D3DERR_OUTOFVIDEOMEMORY};
                     Register(&failing);
                 },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnRestore\n",
                 D3DERR_OUTOFVIDEOMEMORY},
        FatalRow{"LostNotification",
                 [] {
                     static Program failing{"failing", S_OK, E_FAIL};
                     Register(&failing);
                 },
                 D3DERR_DEVICENOTRESET, "HandlePresentParam : Failed : OnLost\n", E_FAIL}),
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
    if (phase >= 3) {
        // Kept in system memory, drawn into and not ended.
        ASSERT_EQ(
            CreateRenderTarget(0, 64, 64, D3DFMT_UNKNOWN, RENDER_TARGET_DEPTH | RENDER_TARGET_KEEP),
            S_OK);
        ASSERT_EQ(BeginRenderTarget(0, TRUE, 0xFFFFFFFF), S_OK);
    }

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0)
        << ::testing::PrintToString(fake::Messages());
    EXPECT_EQ(fake::CountOf(Dev("Reset")), 1);
}

INSTANTIATE_TEST_SUITE_P(, ResetMidFrame,
                         ::testing::Values(std::make_pair("AfterClear", 0),
                                           std::make_pair("InsideAScene", 1),
                                           std::make_pair("AfterEndScene", 2),
                                           std::make_pair("InsideARenderTarget", 3)),
                         [](const auto &info) { return std::string(info.param.first); });

// The program's lost functions run newest first before fw lets go of its
// own objects; after the reset and fw's restore, with the preset word on the
// device again, its reset functions run oldest first.
TEST_F(DeviceLoss, ProgramNotificationsRunAroundFwsOwn) {
    StartWithResources();
    Program first{"first"}, second{"second"};
    Register(&first);
    Register(&second);
    SetRenderStateFlags(RSF_FOG | RSF_ZBUFFER);
    fake::ClearCalls();

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0);

    const Calls program = fake::CallsOf("lost(");
    EXPECT_EQ(program, (Calls{"lost(second)", "lost(first)"}));
    EXPECT_EQ(fake::CallsOf("reset("), (Calls{"reset(first)", "reset(second)"}));
    EXPECT_LT(IndexOf("lost(first)"), IndexOf("ID3DXFont::OnLostDevice(font1)"));
    EXPECT_LT(IndexOf("ID3DXFont::OnResetDevice(font1)"), IndexOf("reset(first)"));
    const Calls fog = fake::CallsOf(RenderState(D3DRS_FOGENABLE, TRUE));
    ASSERT_EQ(fog.size(), 1u) << "the stored word, put back";
    EXPECT_GT(IndexOf(fog[0]), IndexOf(Dev("Reset")));
    EXPECT_LT(IndexOf(fog[0]), IndexOf("reset(first)"));
    EXPECT_EQ(GetRenderStateFlags(), static_cast<DWORD>(RSF_FOG | RSF_ZBUFFER));
}

// A pair added inside a notification first runs at the next reset; a pair
// removed inside one runs no more, in that pass already.
TEST_F(DeviceLoss, RegisteringAndRemovingInsideANotificationIsSafe) {
    Start();
    Program added{"added"}, removed{"removed"}, changer{"changer"};
    Register(&removed);
    changer.also = [&] {
        RemoveDeviceNotification(ProgramLost, ProgramReset, &removed);
        Register(&added);
        changer.also = nullptr;
    };
    Register(&changer);

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0);
    EXPECT_EQ(fake::CallsOf("lost("), (Calls{"lost(changer)"}));
    EXPECT_EQ(fake::CallsOf("reset("), (Calls{"reset(changer)"}));

    fake::ClearCalls();
    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0);
    EXPECT_EQ(fake::CallsOf("lost("), (Calls{"lost(added)", "lost(changer)"}));
    EXPECT_EQ(fake::CallsOf("reset("), (Calls{"reset(changer)", "reset(added)"}));
    EXPECT_EQ(RemoveDeviceNotification(ProgramLost, ProgramReset, &removed), E_FAIL);
}

// Every Shader's effect, the global one's and a program's own, keeps its
// pointer on a D3DX that frees its state block in OnLostDevice, and is
// replaced by its clone (values and technique kept) on one that keeps it;
// either way nothing holds the reset up.
class EffectAcrossReset : public DeviceLoss, public ::testing::WithParamInterface<bool> {};

TEST_P(EffectAcrossReset, KeepsItsPointerUnlessTheD3DXKeepsItsStateBlock) {
    const bool keeps = GetParam();
    Start();
    fake::KeepEffectStateBlocks(keeps);
    Shader own;
    ASSERT_EQ(CreateEffectFromFile("etest.fx"), S_OK);
    ASSERT_EQ(own.CreateEffectFromFile("etest.fx"), S_OK);
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    ASSERT_EQ(SetTechnique("test_effect"), S_OK);
    ASSERT_EQ(SetEffectValue("ColorDiffuse", colour, sizeof colour), S_OK);
    for (ID3DXEffect *effect : {shader.lpEffect, own.lpEffect}) {
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), S_OK); // saves the state in a state block
        effect->End();
    }
    ID3DXEffect *const before[] = {shader.lpEffect, own.lpEffect};
    fake::ClearCalls();

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), 0)
        << ::testing::PrintToString(fake::Messages());

    EXPECT_EQ(WereEffectsCloned(), keeps ? TRUE : FALSE);
    EXPECT_EQ(shader.lpEffect == before[0], !keeps);
    EXPECT_EQ(own.lpEffect == before[1], !keeps);
    if (keeps) {
        EXPECT_EQ(fake::CountOf("ID3DXEffect::SetTechnique"), 1) << "the global one had one";
        float kept[4] = {};
        EXPECT_EQ(shader.lpEffect->GetValue("ColorDiffuse", kept, sizeof kept), S_OK);
        EXPECT_EQ(std::memcmp(kept, colour, sizeof kept), 0);
    }
    own.Release();
}

INSTANTIATE_TEST_SUITE_P(, EffectAcrossReset, ::testing::Bool(), [](const auto &info) {
    return std::string(info.param ? "WhereTheD3DXKeepsTheStateBlock"
                                  : "WhereTheD3DXFreesTheStateBlock");
});

// A display mode the device refuses: the old one is made again and works.
TEST_F(DeviceLoss, AModeTheDeviceRefusesLeavesTheOldOneWorking) {
    StartWithResources();
    fake::Fail("IDirect3DDevice9::Reset", D3DERR_INVALIDCALL);

    EXPECT_EQ(ChangeDisplayMode(1280, 1024, 0), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::Messages(), (Calls{"ChangeDisplayMode : Failed : Reset\n"}));
    EXPECT_EQ(fake::CountOf("PostQuitMessage"), 0);
    ASSERT_EQ(fake::Device().resets.size(), 2u);
    EXPECT_EQ(fake::Device().resets[1].BackBufferWidth, 800u);
    EXPECT_EQ(var.d3dpp.Windowed, TRUE);
    EXPECT_EQ(GetWidth(), 800);
    EXPECT_NE(var.lpFlipSurface[1], nullptr);
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);
}

// The device lost again between TestCooperativeLevel and Reset, for the
// loss path's reset and for a switch: the program waits for the device as
// after a lost Present, with its objects released once, draws nothing
// meanwhile, and the next reset (to the mode asked for) succeeds. Then a
// switch asked for while TestCooperativeLevel says lost is made by the reset
// that brings the device back.
TEST_F(DeviceLoss, AResetThatFindsTheDeviceLostWaitsForTheNextOne) {
    const struct {
        const char *name;
        std::function<HRESULT()> start; // runs into the lost Reset
        HRESULT result;
        UINT width; // the back buffer after the next reset
    } rows[] = {
        {"loss path", [] { return HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE); }, E_FAIL, 800},
        {"switch", [] { return ChangeDisplayMode(1024, 768, 0); }, D3DERR_DEVICELOST, 1024},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        StartWithResources();
        Program program{"program"};
        Register(&program);
        fake::FailAlways("Sleep", 0);
        fake::Fail("IDirect3DDevice9::Reset", D3DERR_DEVICELOST);

        EXPECT_EQ(row.start(), row.result);
        EXPECT_EQ(var.lpFlipSurface[0], nullptr) << "released";
        EXPECT_EQ(ClearAndBeginScene(0, FALSE), E_FAIL);
        EXPECT_EQ(fake::Device().sceneDepth, 0);
        fake::Fail("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICELOST);
        EXPECT_EQ(Flip(0xFFFFFFFF), E_FAIL);
        fake::Fail("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICENOTRESET);
        EXPECT_EQ(Flip(0xFFFFFFFF), 0);

        EXPECT_EQ(fake::CountOf("IDirect3DDevice9::Present"), 0) << "nothing presented meanwhile";
        EXPECT_EQ(fake::CallsOf("lost("), (Calls{"lost(program)"}));
        EXPECT_EQ(fake::CallsOf("reset("), (Calls{"reset(program)"}));
        ASSERT_EQ(fake::Device().resets.size(), 2u);
        EXPECT_EQ(fake::Device().resets[1].BackBufferWidth, row.width);
        EXPECT_EQ(GetWidth(), static_cast<int>(row.width));
        EXPECT_NE(var.lpFlipSurface[0], nullptr);
        EXPECT_EQ(ClearAndBeginScene(0, FALSE), 0);
        EXPECT_EQ(EndScene(), 0);
        EXPECT_TRUE(fake::Messages().empty());
        EXPECT_EQ(fake::CountOf("PostQuitMessage"), 0);
        RemoveDeviceNotification(ProgramLost, ProgramReset, &program);
        registered.clear();
        ReleaseDirectX();
        fake::ResetScripts();
        windowState.width = 800;
        windowState.windowed = 1;
    }
}

TEST_F(DeviceLoss, ASwitchAskedForOnALostDeviceIsMadeWhenItComesBack) {
    StartWithResources();
    fake::FailAlways("Sleep", 0);
    fake::Fail("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICELOST);

    EXPECT_EQ(ChangeDisplayMode(640, 480, 1), D3DERR_DEVICELOST);
    EXPECT_EQ(fake::Device().resets.size(), 0u);
    EXPECT_EQ(GetWidth(), 800) << "the back buffer's size until then";

    fake::Fail("IDirect3DDevice9::Present", D3DERR_DEVICELOST);
    fake::Fail("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICENOTRESET);
    EXPECT_EQ(Flip(0xFFFFFFFF), 0);

    ASSERT_EQ(fake::Device().resets.size(), 1u);
    EXPECT_EQ(fake::Device().resets[0].BackBufferWidth, 640u);
    EXPECT_EQ(GetWidth(), 640);
    EXPECT_EQ(GetHeight(), 480);
    EXPECT_TRUE(fake::Messages().empty());
}

} // namespace
} // namespace graphics_test
