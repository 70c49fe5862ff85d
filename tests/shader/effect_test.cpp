// Effects, the constant setters and the self-test on the fake platform: the
// failures and guards Wine cannot be made to show, and effects, which Wine 8
// cannot create from source.
#include "shader/selftest_output.h"
#include "shader/shader_test.h"

#include <cstdio>
#include <functional>

namespace {

using shader_test::ShaderTest;
using Calls = std::vector<std::string>;

const char kEffectFailed[] = "Shader::CreateEffectFromFile : D3DXCreateEffectFromFile\n";

TEST_F(ShaderTest, EffectTextLengthZeroMeansUpToItsNul) {
    const char text[] = "technique t { pass p { } }";
    ASSERT_EQ(CreateEffectFromCode(text, 0), S_OK);
    ASSERT_EQ(CreateEffectFromCode(text, sizeof text), S_OK);
    EXPECT_EQ(fake::CallsOf("D3DXCreateEffect("),
              (Calls{"D3DXCreateEffect(device1, 26, 0x0)", "D3DXCreateEffect(device1, 27, 0x0)"}));
    EXPECT_EQ(fake::CountOf("ID3DXEffect::Release(effect1)"), 1) << "the first is released";
}

TEST_F(ShaderTest, AFailedEffectShowsTheFileFormsBoxAndLeavesNoEffectBehind) {
    const struct {
        const char *name;
        const char *d3dx;
        std::function<HRESULT()> create;
    } rows[] = {
        {"file", "D3DXCreateEffectFromFileA", [] { return CreateEffectFromFile("etest.fx"); }},
        {"text", "D3DXCreateEffect", [] { return CreateEffectFromCode("technique t {}", 0); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ReleaseShader();
        Fill();
        fake::Fail(row.d3dx, D3DXERR_INVALIDDATA);

        EXPECT_EQ(row.create(), D3DXERR_INVALIDDATA);
        EXPECT_EQ(fake::Messages().back(), kEffectFailed);
        EXPECT_EQ(shader.lpEffect, nullptr);
        EXPECT_NE(shader.lpVertexShader, nullptr) << "the pair is kept";
        EXPECT_NE(shader.lpPixelShader, nullptr);

        fake::ClearCalls();
        UINT passes = 0;
        const D3DXMATRIX identity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
        EXPECT_EQ(SetTechnique("t"), E_FAIL);
        EXPECT_EQ(BeginEffect(&passes), E_FAIL);
        EXPECT_EQ(BeginPass(0), E_FAIL);
        EXPECT_EQ(EndPass(), E_FAIL);
        EXPECT_EQ(EndEffect(), E_FAIL);
        EXPECT_EQ(SetEffectMatrix("m", &identity), E_FAIL);
        EXPECT_EQ(SetEffectValue("v", &passes, sizeof passes), E_FAIL);
        EXPECT_TRUE(fake::Calls().empty()) << ::testing::PrintToString(fake::Calls());
    }
}

TEST_F(ShaderTest, EffectCallsReachTheEffectAndReturnItsResults) {
    Fill();
    const D3DXMATRIX matrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    UINT passes = 0;
    fake::Fail("ID3DXEffect::BeginPass", D3DERR_INVALIDCALL);

    EXPECT_EQ(SetTechnique("test_effect"), S_OK);
    EXPECT_EQ(SetEffectMatrix("mWorldViewProj", &matrix), S_OK);
    EXPECT_EQ(SetEffectValue("ColorDiffuse", colour, sizeof colour), S_OK);
    EXPECT_EQ(BeginEffect(&passes), S_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(EndPass(), S_OK);
    EXPECT_EQ(EndEffect(), S_OK);
    EXPECT_EQ(fake::CallsOf("ID3DXEffect::Begin("), Calls{"ID3DXEffect::Begin(effect1, 0x0)"});
    const auto bytes = [](const void *data, size_t size) {
        const auto *begin = static_cast<const unsigned char *>(data);
        return std::vector<unsigned char>(begin, begin + size);
    };
    EXPECT_EQ(fake::EffectValue("mWorldViewProj"), bytes(&matrix, sizeof matrix))
        << "the matrix goes to the effect untransposed";
    EXPECT_EQ(fake::EffectValue("ColorDiffuse"), bytes(colour, sizeof colour));
}

TEST_F(ShaderTest, StageFunctionsNeedAShaderOfTheirStageInTheGlobalShader) {
    ASSERT_EQ(AssembleShaderFromFile("vs_test.vsh", nullptr), S_OK);
    IDirect3DPixelShader9 *other = nullptr;
    const DWORD code[] = {'o', 0};
    ASSERT_EQ(GetDevice()->CreatePixelShader(code, &other), D3D_OK);
    GetDevice()->SetPixelShader(other);
    const float registers[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    fake::ClearCalls();

    EXPECT_EQ(ApplyPixelShader(), E_FAIL);
    EXPECT_EQ(SetPixelShaderConstant(0, registers, 2), E_FAIL);
    EXPECT_TRUE(fake::Calls().empty()) << "the other pixel shader stays bound, untouched";
    EXPECT_EQ(ApplyVertexShader(), S_OK);
    EXPECT_EQ(SetVertexShaderConstant(3, registers, 2), S_OK);
    EXPECT_EQ(fake::Device().vertexShader, shader.lpVertexShader);
    EXPECT_EQ(fake::Device().vertexConstants.at(4)[0], 5.0f) << "counts are of 4-float registers";
    other->Release();

    IDirect3DDevice9 *device = var.lpD3DDevice;
    var.lpD3DDevice = nullptr;
    EXPECT_EQ(ApplyVertexShader(), E_FAIL);
    EXPECT_EQ(SetVertexShaderConstant(0, registers, 1), E_FAIL);
    var.lpD3DDevice = device;
}

// Wine 8 cannot create the self-test's effects; the fake can.
TEST_F(ShaderTest, SelfTestBuildsEachWayWithTheEmbeddedTextsAndCarriesAFailureOn) {
    fake::Fail("D3DXAssembleShader", D3DXERR_INVALIDDATA, 2);
    const std::vector<std::string> lines = selftest_output::Run();

    ASSERT_EQ(lines.size(), 25u) << ::testing::PrintToString(lines);
    const char *statuses[] = {"CreateEffectFromFile : 0",   "CreateEffectFromFile : 0",
                              "AssembleFromFile : 0",       "AssembleFromCode : 88760b59",
                              "CompileFromFile : 88760b59", "CompileFromCode : 88760b59"};
    const char *made[] = {"100", "100", "011", "000", "011", "011"};
    for (int step = 1; step <= 6; ++step) {
        EXPECT_EQ(selftest_output::Status(lines, step), statuses[step - 1]);
        EXPECT_EQ(selftest_output::Made(lines, step), made[step - 1]) << "step " << step;
    }
    EXPECT_EQ(lines.back(), "Please check Test result.");
    EXPECT_EQ(fake::Messages(),
              Calls{"Shader::AssembleFromCode : D3DXAssembleShader PixelShader \n"});
    EXPECT_EQ(fake::CallsOf("D3DXCreateEffect("), Calls{"D3DXCreateEffect(device1, 2146, 0x0)"});
    EXPECT_EQ(fake::CallsOf("D3DXAssembleShader("),
              (Calls{"D3DXAssembleShader(186, 0x0)", "D3DXAssembleShader(283, 0x0)"}));
    EXPECT_EQ(fake::CallsOf("D3DXCompileShader("),
              (Calls{"D3DXCompileShader(1705, basic_vs, vs_3_0, 0x0)",
                     "D3DXCompileShader(1705, basic_ps, ps_3_0, 0x0)"}));
    EXPECT_EQ(shader.lpEffect, nullptr) << "the global shader is not touched";
}

#ifdef _WIN64
TEST_F(ShaderTest, SelfTestReportsAnObjectWhoseLow32BitsAreZeroAsMade) {
    fake::PlaceEffectsOn4GiBBoundaries(true);
    const std::vector<std::string> lines = selftest_output::Run();
    fake::PlaceEffectsOn4GiBBoundaries(false);
    EXPECT_EQ(selftest_output::Made(lines, 1), "100");
    EXPECT_EQ(selftest_output::Made(lines, 2), "100");
}
#else
TEST_F(ShaderTest, SelfTestReportsTheObjectsAddressInA32BitProgram) {
    const std::vector<std::string> lines = selftest_output::Run();
    char expected[32];
    std::snprintf(expected, sizeof expected, "eft : %08X",
                  static_cast<unsigned int>(reinterpret_cast<uintptr_t>(fake::LastEffect())));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[5], expected) << "step 2 makes the last effect";
}
#endif

TEST_F(ShaderTest, SelfTestWithoutDeviceReportsFailureAndNothingMade) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    var.lpD3DDevice = nullptr;
    const std::vector<std::string> lines = selftest_output::Run();
    var.lpD3DDevice = device;

    ASSERT_EQ(lines.size(), 25u);
    for (int step = 1; step <= 6; ++step) {
        const std::string status = selftest_output::Status(lines, step);
        EXPECT_EQ(status.substr(status.find(" : ")), " : 80004005");
        EXPECT_EQ(selftest_output::Made(lines, step), "000");
    }
    EXPECT_TRUE(fake::Messages().empty());
}

} // namespace
