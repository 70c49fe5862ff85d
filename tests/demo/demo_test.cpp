// The demo scene on the fake platform: only what a screenshot cannot show
// exactly (per-frame sequences, matrix layouts, the colour conversion, the
// frame cut short). The scene itself is checked whole in scene.sh.
#include "../../demo/demo.h"
#include "../../input/input_state.h"
#include "shader/shader_test.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using graphics_test::Dev;

class DemoTest : public shader_test::ShaderTest {
  protected:
    void SetUp() override {
        ShaderTest::SetUp();
        Fill(); // both paths have something to write to
    }
    void TearDown() override {
        std::memset(inputState.KeyState, 0, sizeof inputState.KeyState);
        ShaderTest::TearDown();
    }
    static void Hold(std::initializer_list<BYTE> keys) {
        std::memset(inputState.KeyState, 0, sizeof inputState.KeyState);
        for (BYTE key : keys) {
            inputState.KeyState[key] = 0x80;
        }
    }
};

std::vector<float> Floats(const float *data, size_t count) {
    return std::vector<float>(data, data + count);
}
std::vector<float> Floats(const std::vector<unsigned char> &bytes) {
    std::vector<float> floats(bytes.size() / sizeof(float));
    std::memcpy(floats.data(), bytes.data(), floats.size() * sizeof(float));
    return floats;
}
// Registers first to first + count - 1 of a constant file, as one float list.
std::vector<float> Registers(const std::map<UINT, std::array<float, 4>> &file, UINT first,
                             UINT count) {
    std::vector<float> floats;
    for (UINT reg = first; reg < first + count; ++reg) {
        const auto found = file.find(reg);
        if (found == file.end()) {
            return {};
        }
        floats.insert(floats.end(), found->second.begin(), found->second.end());
    }
    return floats;
}

struct HeldCase {
    const char *name;
    std::initializer_list<BYTE> keys;
    float pushX; // per-frame push of a held direction on each axis
    float pushZ;
};

TEST_F(DemoTest, HeldDirectionsApproachOneUnitPerFrameAndMoveFromTheNextFrame) {
    const HeldCase cases[] = {
        {"up", {DIK_UP}, 0, 1},
        {"down", {DIK_DOWN}, 0, -1},
        {"left", {DIK_LEFT}, -1, 0},
        {"right", {DIK_RIGHT}, 1, 0},
        {"up and down cancel", {DIK_UP, DIK_DOWN}, 0, 0},
        {"left and right cancel", {DIK_LEFT, DIK_RIGHT}, 0, 0},
    };
    for (const HeldCase &c : cases) {
        SCOPED_TRACE(c.name);
        angle = 0;
        position = D3DXVECTOR3(0, 0, 0);
        velocity = {0, 0};
        Hold(c.keys);
        double x = 0;
        double z = 0;
        for (int n = 1; n <= 6; ++n) {
            const double speed = 1.0 - std::pow(0.9, n - 1); // before this frame's push
            x += c.pushX * speed;
            z += c.pushZ * speed;
            UpdateDemo();
            const double reached = 1.0 - std::pow(0.9, n); // 0.1, 0.19, 0.271, ...
            EXPECT_NEAR(velocity.x, c.pushX * reached, 1e-5) << "frame " << n;
            EXPECT_NEAR(velocity.z, c.pushZ * reached, 1e-5) << "frame " << n;
            EXPECT_NEAR(position.x, x, 1e-5) << "frame " << n;
            EXPECT_NEAR(position.z, z, 1e-5) << "frame " << n;
            EXPECT_EQ(position.y, 0.0f);
            EXPECT_NEAR(angle, 0.01 * n, 1e-5);
        }
    }
}

TEST_F(DemoTest, VelocityDecaysOnceTheDirectionIsLetGo) {
    Hold({DIK_RIGHT});
    UpdateDemo(); // velocity 0.1
    Hold({});
    UpdateDemo();
    EXPECT_NEAR(velocity.x, 0.09, 1e-6);
    EXPECT_NEAR(position.x, 0.1, 1e-6);
}

TEST_F(DemoTest, ModeButtonsSwitchThePathAndXWinsOverZ) {
    struct {
        const char *name;
        int before;
        std::initializer_list<BYTE> keys;
        int after;
    } const cases[] = {
        {"Z", 0, {DIK_Z}, 1},
        {"X", 1, {DIK_X}, 0},
        {"Z and X", 0, {DIK_Z, DIK_X}, 0},
        {"Z and X", 1, {DIK_Z, DIK_X}, 0},
        {"nothing", 1, {}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EffectMode = c.before;
        Hold(c.keys);
        UpdateDemo();
        EXPECT_EQ(EffectMode, c.after);
    }
}

TEST_F(DemoTest, SetWorldTransposesForTheRegistersOnly) {
    D3DXMATRIX world;
    D3DXMATRIX spin;
    D3DXMatrixRotationYawPitchRoll(&spin, 0.3f, 0.2f, 0.1f);
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DXMatrixMultiply(&world, &spin, &world);
    const D3DXVECTOR3 eye(0, 7, -15);
    const D3DXVECTOR3 at(0, 0, 0);
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&mView, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&mProj, 0.5f, 1.25f, 0.5f, 100.0f);
    D3DXMATRIX wvp = world * mView * mProj;
    D3DXMATRIX wvpT;
    D3DXMATRIX worldT;
    D3DXMatrixTranspose(&wvpT, &wvp);
    D3DXMatrixTranspose(&worldT, &world);

    EffectMode = 0;
    SetWorld(&world);
    EXPECT_EQ(Registers(fake::Device().vertexConstants, 16, 4), Floats(wvpT, 16));
    EXPECT_EQ(Registers(fake::Device().vertexConstants, 20, 4), Floats(worldT, 16));

    EffectMode = 1;
    SetWorld(&world);
    EXPECT_EQ(Floats(fake::EffectValue("mWorldViewProj")), Floats(wvp, 16));
    EXPECT_EQ(Floats(fake::EffectValue("mWorld")), Floats(world, 16));
}

TEST_F(DemoTest, SetLightSendsTheAmbientValueAsFloatsAndTheDirectionWithZeroW) {
    const float seventeen = 17 * (1.0f / 255.0f);
    const std::vector<float> ambient = {seventeen, seventeen, seventeen, seventeen};
    const std::vector<float> direction = {0, -7, 15, 0};
    const std::vector<float> color = {0.5f, 0.25f, 0.125f, 1};
    const D3DXVECTOR3 dir(0, -7, 15);

    EffectMode = 0;
    SetLight(0x11111111, D3DXVECTOR4(0.5f, 0.25f, 0.125f, 1), &dir);
    EXPECT_EQ(Registers(fake::Device().pixelConstants, 1, 1), ambient);
    EXPECT_EQ(Registers(fake::Device().vertexConstants, 2, 1), direction);
    EXPECT_EQ(Registers(fake::Device().vertexConstants, 3, 1), color);
    EXPECT_EQ(fake::Device().vertexConstants.count(1), 0u) << "ambient reached the vertex shader";

    EffectMode = 1;
    SetLight(0x11111111, D3DXVECTOR4(0.5f, 0.25f, 0.125f, 1), &dir);
    EXPECT_EQ(Floats(fake::EffectValue("ColorAmbient")), ambient);
    EXPECT_EQ(Floats(fake::EffectValue("LightDir")), direction);
    EXPECT_EQ(Floats(fake::EffectValue("LightColor")), color);

    // Channels keep their places: ARGB 0x80402010 is r 0x40, g 0x20, b 0x10, a 0x80.
    SetLight(0x80402010, D3DXVECTOR4(0, 0, 0, 0), &dir);
    EXPECT_EQ(Floats(fake::EffectValue("ColorAmbient")),
              (std::vector<float>{64 * (1.0f / 255), 32 * (1.0f / 255), 16 * (1.0f / 255),
                                  128 * (1.0f / 255)}));
}

TEST_F(DemoTest, FailedSceneStartDrawsNothingSkipsEndSceneAndStillPresents) {
    for (int effectMode : {0, 1}) {
        SCOPED_TRACE(effectMode ? "effect path" : "shader path");
        EffectMode = effectMode;
        fake::ClearCalls();
        fake::Fail("IDirect3DDevice9::BeginScene", D3DERR_INVALIDCALL);
        EXPECT_EQ(DrawDemo(), S_OK);
        EXPECT_EQ(fake::CountOf(Dev("EndScene")), 0);
        EXPECT_EQ(fake::CountOf(Dev("Present")), 1);
        EXPECT_EQ(fake::CountOf("ID3DXEffect::SetTechnique"), 0);
        EXPECT_EQ(fake::CountOf(Dev("SetVertexShaderConstantF")), 0);
    }
}

} // namespace
