// Render-state presets, fog, transforms and the directional light.
#include "graphics_test.h"

#include <cstring>

namespace graphics_test {
namespace {

struct PresetCase {
    const char *name;
    DWORD flags;
    Calls calls;
};
void PrintTo(const PresetCase &c, std::ostream *os) { *os << c.name; }

class PresetWords : public GraphicsTest, public ::testing::WithParamInterface<PresetCase> {};

TEST_P(PresetWords, SetExactlyTheirStatesInOrder) {
    const PresetCase &c = GetParam();
    Start();

    EXPECT_EQ(SetRenderStateFlags(c.flags), 0);

    EXPECT_EQ(Direct3DCalls(), c.calls);
    EXPECT_EQ(GetRenderStateFlags(), c.flags);
    EXPECT_EQ(dwRenderStateFlags, c.flags);
}

// The tail that every word sets: depth write, depth test, culling, fog,
// light 0 and lighting.
Calls Tail(DWORD z, DWORD cull, DWORD fog, int light) {
    return {RenderState(14, z),
            RenderState(7, z),
            RenderState(22, cull),
            RenderState(28, fog),
            Dev("LightEnable(0, %d)", light),
            RenderState(137, static_cast<DWORD>(light))};
}
const Calls kBlend = {RenderState(27, 1), RenderState(19, 5), RenderState(20, 6)};
const Calls kAdd = {RenderState(27, 1), RenderState(19, 5), RenderState(20, 2)};
const Calls kModulate = {StageState(4, 4), StageState(2, 2), StageState(3, 0)};
const Calls kPoint = {SamplerState(5, 1), SamplerState(6, 1), SamplerState(7, 1)};
const Calls kLinear = {SamplerState(5, 2), SamplerState(6, 2), SamplerState(7, 2)};
const Calls kAllOff = Tail(0, 1, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    , PresetWords,
    ::testing::Values(
        // Depth, culling, fog and lighting off; blending, stage 0 and sampler 0 untouched.
        PresetCase{"Zero", 0x0, kAllOff},
        // RSF_ADD comes second, so its destination factor (one) wins.
        PresetCase{"BlendAndAdd", 0x3, kBlend + kAdd + kAllOff},
        PresetCase{"Overlay", 0x211, kBlend + kModulate + kLinear + kAllOff},
        PresetCase{"BlurReduction", 0x111, kBlend + kModulate + kPoint + kAllOff},
        PresetCase{"BlurEnlargement", 0x212, kAdd + kModulate + kLinear + kAllOff},
        // Linear comes after point and wins.
        PresetCase{"PointAndLinear", 0x300, kPoint + kLinear + kAllOff},
        PresetCase{"Lighting", 0x2000, Tail(0, 1, 0, 1)},
        PresetCase{"DepthCullFogLighting", 0x3C00, Tail(1, 3, 1, 1)},
        // Bits without meaning are stored and set nothing.
        PresetCase{"MeaninglessBits", 0xFFFF000C, kAllOff}),
    [](const ::testing::TestParamInfo<PresetCase> &info) { return info.param.name; });

TEST_F(GraphicsTest, PresetBlendingBitsLeaveTheDeviceBlendingAsTheyFoundIt) {
    Start();
    SetRenderStateFlags(RSF_ADD);
    SetRenderStateFlags(0);
    EXPECT_EQ(fake::Device().renderStates.at(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(fake::Device().renderStates.at(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
}

TEST_F(GraphicsTest, SetRenderStateFlagsReturnsTheResultOfTheLightingState) {
    Start();
    fake::Fail("IDirect3DDevice9::SetRenderState", D3DERR_INVALIDCALL, 5); // D3DRS_LIGHTING
    EXPECT_EQ(SetRenderStateFlags(0), D3DERR_INVALIDCALL);
}

TEST_F(GraphicsTest, SetRenderStateFlagsIgnoresEveryEarlierFailure) {
    Start();
    fake::Fail("IDirect3DDevice9::SetRenderState", D3DERR_INVALIDCALL, 1);
    fake::Fail("IDirect3DDevice9::SetTextureStageState", D3DERR_INVALIDCALL, 1);
    fake::Fail("IDirect3DDevice9::SetSamplerState", D3DERR_INVALIDCALL, 1);
    fake::Fail("IDirect3DDevice9::LightEnable", D3DERR_INVALIDCALL, 1);
    EXPECT_EQ(SetRenderStateFlags(0x3F13), 0);
    EXPECT_EQ(fake::CountOf(Dev("SetRenderState")), 11);
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(GraphicsTest, WithoutADeviceTheWordIsStoredAndEFailReturned) {
    EXPECT_EQ(SetRenderStateFlags(0x212), E_FAIL);
    EXPECT_EQ(GetRenderStateFlags(), 0x212u);
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(GraphicsTest, TheStoredWordOutlivesInitDirectXAndIsReappliedOnDemand) {
    SetRenderStateFlags(0x211);
    Start();
    EXPECT_EQ(GetRenderStateFlags(), 0x211u);

    EXPECT_EQ(ReapplyRenderStateFlags(), 0);

    EXPECT_EQ(Direct3DCalls(), PresetCalls(0x211));
    EXPECT_EQ(GetRenderStateFlags(), 0x211u);
}

// ---- Fog --------------------------------------------------------------------------

TEST_F(GraphicsTest, SetFogSetsLinearTableFogWithFloatBitPatterns) {
    Start();

    EXPECT_EQ(SetFog(10.5f, 100.0f, 0xFF8090A0), 0);

    EXPECT_EQ(Direct3DCalls(),
              (Calls{RenderState(140, 0), RenderState(35, 3), RenderState(36, 0x41280000), // 10.5f
                     RenderState(37, 0x42C80000),                                          // 100.0f
                     RenderState(34, 0xFF8090A0)}));
    EXPECT_EQ(fake::Device().renderStates.count(D3DRS_FOGENABLE), 0u) << "RSF_FOG enables fog";
}

TEST_F(GraphicsTest, SetFogReturnsTheResultOfTheFogColour) {
    Start();
    fake::Fail("IDirect3DDevice9::SetRenderState", D3DERR_INVALIDCALL, 5);
    EXPECT_EQ(SetFog(0.0f, 1.0f, 0), D3DERR_INVALIDCALL);
}

// ---- Transforms -------------------------------------------------------------------

// Element by element, so that -0 and 0 are the same.
bool SameMatrix(const D3DMATRIX &a, const D3DMATRIX &b) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            if (a.m[row][column] != b.m[row][column]) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(GraphicsTest, SetProjectionSetsALeftHandedPerspective) {
    Start();
    const float quarterTurn = 1.57079632679f;

    EXPECT_EQ(SetProjection(quarterTurn, 2.0f, 1.0f, 101.0f), 0);

    EXPECT_EQ(Direct3DCalls(), Calls{Dev("SetTransform(3)")});
    const D3DMATRIX &m = fake::Device().transforms.at(D3DTS_PROJECTION);
    // yScale = cot(fovy / 2) = 1, xScale = yScale / aspect.
    EXPECT_NEAR(m._11, 0.5f, 1e-5f);
    EXPECT_NEAR(m._22, 1.0f, 1e-5f);
    EXPECT_NEAR(m._33, 101.0f / 100.0f, 1e-5f);
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_NEAR(m._43, -101.0f / 100.0f, 1e-5f);
    EXPECT_EQ(m._44, 0.0f);
}

TEST_F(GraphicsTest, SetViewLooksFromTheEyeAtTheTarget) {
    Start();
    const D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 0), up(0, 1, 0);

    EXPECT_EQ(SetView(&eye, &at, &up), 0);

    EXPECT_EQ(Direct3DCalls(), Calls{Dev("SetTransform(2)")});
    const D3DMATRIX &m = fake::Device().transforms.at(D3DTS_VIEW);
    const D3DXMATRIX translation(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1);
    EXPECT_TRUE(SameMatrix(m, translation));
}

struct MatrixCase {
    const char *name;
    HRESULT (*function)(const D3DXMATRIX *);
    D3DTRANSFORMSTATETYPE state;
};
void PrintTo(const MatrixCase &c, std::ostream *os) { *os << c.name; }

class MatrixSetters : public GraphicsTest, public ::testing::WithParamInterface<MatrixCase> {};

TEST_P(MatrixSetters, PassTheMatrixToItsTransform) {
    const MatrixCase &c = GetParam();
    Start();
    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

    EXPECT_EQ(c.function(&m), 0);

    EXPECT_EQ(Direct3DCalls(), Calls{Dev("SetTransform(%d)", c.state)});
    EXPECT_TRUE(SameMatrix(fake::Device().transforms.at(c.state), m));
}

TEST_P(MatrixSetters, ReturnTheDeviceResult) {
    Start();
    fake::Fail("IDirect3DDevice9::SetTransform", D3DERR_INVALIDCALL);
    const D3DXMATRIX m(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    EXPECT_EQ(GetParam().function(&m), D3DERR_INVALIDCALL);
}

INSTANTIATE_TEST_SUITE_P(
    , MatrixSetters,
    ::testing::Values(MatrixCase{"Projection", SetProjectionMatrix, D3DTS_PROJECTION},
                      MatrixCase{"View", SetViewMatrix, D3DTS_VIEW},
                      MatrixCase{"World", SetWorldMatrix, D3DTS_WORLD}),
    [](const ::testing::TestParamInfo<MatrixCase> &info) { return info.param.name; });

// ---- Directional light ------------------------------------------------------------

TEST_F(GraphicsTest, SetDirectionalLightSetsLightZeroAndLighting) {
    Start();
    SetRenderStateFlags(0);
    fake::ClearCalls();
    const D3DXVECTOR3 direction(0, 0, 10);

    EXPECT_EQ(SetDirectionalLight(1, 0xFF202020, 0.5f, 0.25f, 1.0f, 0.75f, &direction), 0);

    EXPECT_EQ(Direct3DCalls(), (Calls{Dev("SetLight(0)"), RenderState(139, 0xFF202020),
                                      Dev("LightEnable(0, 1)"), RenderState(137, 1)}));
    D3DLIGHT9 expected = {};
    expected.Type = D3DLIGHT_DIRECTIONAL;
    expected.Diffuse = {0.5f, 0.25f, 1.0f, 0.75f};
    expected.Direction = {0.0f, 0.0f, 1.0f};
    const D3DLIGHT9 &light = fake::Device().lights.at(0);
    EXPECT_EQ(std::memcmp(&light, &expected, sizeof light), 0)
        << "direction (" << light.Direction.x << ", " << light.Direction.y << ", "
        << light.Direction.z << ")";
    EXPECT_EQ(direction, D3DXVECTOR3(0, 0, 10)) << "the caller's vector is not normalised";
    EXPECT_EQ(GetRenderStateFlags(), 0u) << "the stored word is left as it was";
}

TEST_F(GraphicsTest, SetDirectionalLightNormalisesAnyDirection) {
    Start();
    const D3DXVECTOR3 direction(3, -4, 0);
    EXPECT_EQ(SetDirectionalLight(1, 0, 1, 1, 1, 1, &direction), 0);
    const D3DVECTOR &d = fake::Device().lights.at(0).Direction;
    EXPECT_NEAR(d.x, 0.6f, 1e-6f);
    EXPECT_NEAR(d.y, -0.8f, 1e-6f);
    EXPECT_EQ(d.z, 0.0f);
}

TEST_F(GraphicsTest, SetDirectionalLightReturnsTheLightingResult) {
    Start();
    const D3DXVECTOR3 direction(0, 0, 1);
    fake::Fail("IDirect3DDevice9::SetLight", D3DERR_INVALIDCALL);
    fake::Fail("IDirect3DDevice9::SetRenderState", D3DERR_DEVICELOST, 2);
    EXPECT_EQ(SetDirectionalLight(1, 0, 1, 1, 1, 1, &direction), D3DERR_DEVICELOST);
}

// Disabling reads none of the other arguments: a null direction is fine.
TEST_F(GraphicsTest, DisablingTheLightIgnoresTheOtherArguments) {
    Start();

    EXPECT_EQ(SetDirectionalLight(0, 0xFFFFFFFF, 1, 1, 1, 1, nullptr), 0);

    EXPECT_EQ(Direct3DCalls(), (Calls{Dev("LightEnable(0, 0)"), RenderState(137, 0)}));
}

TEST_F(GraphicsTest, DisablingTheLightReturnsTheLightingResult) {
    Start();
    fake::Fail("IDirect3DDevice9::SetRenderState", D3DERR_INVALIDCALL);
    EXPECT_EQ(SetDirectionalLight(0, 0, 0, 0, 0, 0, nullptr), D3DERR_INVALIDCALL);
}

} // namespace
} // namespace graphics_test
