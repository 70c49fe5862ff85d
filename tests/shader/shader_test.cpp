// The Shader object on the fake platform: what the real D3DX cannot be made
// to do on demand (failing compiles, assemblies and device shaders) and the
// arguments it cannot show (lengths, profiles, the buffers not asked for).
#include "shader/shader_test.h"

#include <cstring>
#include <functional>

namespace {

using shader_test::ShaderTest;
using Calls = std::vector<std::string>;

const char kHlsl[] = "float4 basic_vs(float4 p : POSITION) : POSITION { return p; }";
const char kVsAsm[] = "vs_1_1\nmov oPos, v0\n";
const char kPsAsm[] = "ps_1_1\nmov r0, v0\n";

// One build route of the global shader, with both stages or only one.
struct Route {
    const char *name;
    std::function<HRESULT(bool vertex, bool pixel)> build;
    const char *d3dx;                // the D3DX function's log name
    Calls calls;                     // its entries for both stages
    const char *vsCode, *psCode;     // what the device shaders are made from
    const char *vsFailed, *psFailed; // the boxes of failing stages
};

const std::vector<Route> &Routes() {
    static const std::vector<Route> routes = {
        {"CompileFromFile",
         [](bool vs, bool ps) {
             return CompileShaderFromFile("test.fx", vs ? "basic_vs" : nullptr,
                                          ps ? "basic_ps" : nullptr);
         },
         "D3DXCompileShaderFromFileA",
         {"D3DXCompileShaderFromFileA(test.fx, basic_vs, vs_3_0, 0x0)",
          "D3DXCompileShaderFromFileA(test.fx, basic_ps, ps_3_0, 0x0)"},
         "test.fx:basic_vs:vs_3_0",
         "test.fx:basic_ps:ps_3_0",
         "Shader::CompileFromFile : D3DXCompileShader VertexShader \n",
         "Shader::CompileFromFile : D3DXCompileShader PixelShader \n"},
        {"CompileFromCode",
         [](bool vs, bool ps) {
             return CompileShaderFromCode(kHlsl, 0, vs ? "basic_vs" : nullptr,
                                          ps ? "basic_ps" : nullptr);
         },
         "D3DXCompileShader",
         {"D3DXCompileShader(61, basic_vs, vs_3_0, 0x0)",
          "D3DXCompileShader(61, basic_ps, ps_3_0, 0x0)"},
         "text(61):basic_vs:vs_3_0",
         "text(61):basic_ps:ps_3_0",
         "Shader::CompileFromCode : D3DXCompileShader VertexShader \n",
         "Shader::CompileFromCode : D3DXCompileShader PixelShader \n"},
        {"AssembleFromFile",
         [](bool vs, bool ps) {
             return AssembleShaderFromFile(vs ? "vs_test.vsh" : nullptr,
                                           ps ? "ps_test.psh" : nullptr);
         },
         "D3DXAssembleShaderFromFileA",
         {"D3DXAssembleShaderFromFileA(vs_test.vsh, 0x0)",
          "D3DXAssembleShaderFromFileA(ps_test.psh, 0x0)"},
         "vs_test.vsh",
         "ps_test.psh",
         "Shader::AssembleFromFile : D3DXAssembleShader VertexShader \n",
         "Shader::AssembleFromFile : D3DXAssembleShader PixelShader \n"},
        {"AssembleFromCode",
         [](bool vs, bool ps) {
             // The pixel text's length counts its NUL, as callers may.
             return AssembleShaderFromCode(vs ? kVsAsm : nullptr, 0, ps ? kPsAsm : nullptr,
                                           sizeof kPsAsm);
         },
         "D3DXAssembleShader",
         {"D3DXAssembleShader(20, 0x0)", "D3DXAssembleShader(19, 0x0)"},
         "text(20)",
         "text(19)",
         "Shader::AssembleFromCode : D3DXAssembleShader VertexShader \n",
         "Shader::AssembleFromCode : D3DXAssembleShader PixelShader \n"},
    };
    return routes;
}

Calls D3DXCalls() {
    Calls calls;
    for (const std::string &call : fake::CallsOf("D3DX")) {
        if (call.compare(0, 7, "D3DXGet") != 0) {
            calls.push_back(call);
        }
    }
    return calls;
}

std::string Made(const char *kind, const char *code) {
    return std::string("IDirect3DDevice9::Create") + kind + "Shader(" + code + ")";
}

TEST_F(ShaderTest, EveryRouteBuildsBothStagesWithTheBestProfilesAndNoExtraBuffers) {
    for (const Route &route : Routes()) {
        SCOPED_TRACE(route.name);
        fake::ClearCalls();
        ASSERT_EQ(route.build(true, true), S_OK);
        EXPECT_EQ(D3DXCalls(), route.calls);
        EXPECT_EQ(fake::CallsOf("IDirect3DDevice9::Create"),
                  (Calls{Made("Vertex", route.vsCode), Made("Pixel", route.psCode)}));
        EXPECT_NE(shader.lpVertexShader, nullptr);
        EXPECT_NE(shader.lpPixelShader, nullptr);
    }
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(ShaderTest, AFailingStageShowsItsBoxAndIsLeftWithoutCode) {
    for (const Route &route : Routes()) {
        for (const bool vertexFails : {true, false}) {
            SCOPED_TRACE(std::string(route.name) + (vertexFails ? " vertex" : " pixel"));
            ReleaseShader();
            Fill();
            const size_t boxes = fake::Messages().size();
            ID3DXBuffer *const oldPixelCode = shader.lpPixelShaderCode;
            fake::Fail(route.d3dx, D3DXERR_INVALIDDATA, vertexFails ? 1 : 2);

            EXPECT_EQ(route.build(true, true), D3DXERR_INVALIDDATA);
            ASSERT_EQ(fake::Messages().size(), boxes + 1);
            EXPECT_EQ(fake::Messages().back(), vertexFails ? route.vsFailed : route.psFailed);
            EXPECT_EQ(fake::CountOf(route.d3dx), vertexFails ? 1 : 2);
            EXPECT_EQ(fake::CountOf("IDirect3DDevice9::Create"), 0);
            EXPECT_EQ(shader.lpVertexShader, nullptr);
            EXPECT_EQ(shader.lpPixelShader, nullptr);
            EXPECT_EQ(shader.lpVertexShaderCode == nullptr, vertexFails);
            // A failing vertex stage ends the build before the pixel stage.
            EXPECT_EQ(shader.lpPixelShaderCode, vertexFails ? oldPixelCode : nullptr);
            EXPECT_NE(shader.lpEffect, nullptr);
        }
    }
}

TEST_F(ShaderTest, AFailedDeviceShaderEmptiesTheWholeObject) {
    const struct {
        const char *method;
        const char *box;
    } rows[] = {
        {"IDirect3DDevice9::CreateVertexShader", "Shader::CreateShader : CreateVertexShader \n"},
        {"IDirect3DDevice9::CreatePixelShader", "Shader::CreateShader : CreatePixelShader\n"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.method);
        Fill();
        fake::Fail(row.method, E_OUTOFMEMORY);

        EXPECT_EQ(AssembleShaderFromFile("vs_test.vsh", "ps_test.psh"), E_OUTOFMEMORY);
        EXPECT_EQ(fake::Messages().back(), row.box);
        EXPECT_EQ(shader.lpEffect, nullptr);
        EXPECT_EQ(shader.lpVertexShader, nullptr);
        EXPECT_EQ(shader.lpVertexShaderCode, nullptr);
        EXPECT_EQ(shader.lpPixelShader, nullptr);
        EXPECT_EQ(shader.lpPixelShaderCode, nullptr);
    }
}

TEST_F(ShaderTest, RebuildingOneStageRemakesTheOtherFromItsHeldCode) {
    Fill();
    ASSERT_EQ(CompileShaderFromFile("other.fx", nullptr, "basic_ps"), S_OK);
    EXPECT_EQ(D3DXCalls(), Calls{"D3DXCompileShaderFromFileA(other.fx, basic_ps, ps_3_0, 0x0)"});
    EXPECT_EQ(fake::CallsOf("IDirect3DDevice9::Create"),
              (Calls{Made("Vertex", "test.fx:basic_vs:vs_3_0"),
                     Made("Pixel", "other.fx:basic_ps:ps_3_0")}));
    EXPECT_NE(shader.lpEffect, nullptr);
}

TEST_F(ShaderTest, BuildsNamingNoStageOrWithoutDeviceChangeNothing) {
    Fill();
    const void *held[] = {shader.lpEffect, shader.lpVertexShader, shader.lpVertexShaderCode,
                          shader.lpPixelShader, shader.lpPixelShaderCode};
    for (const Route &route : Routes()) {
        EXPECT_EQ(route.build(false, false), E_FAIL) << route.name;
    }
    EXPECT_EQ(CompileShaderFromFile(nullptr, "basic_vs", "basic_ps"), E_FAIL);
    EXPECT_EQ(CompileShaderFromCode(nullptr, 0, "basic_vs", "basic_ps"), E_FAIL);

    IDirect3DDevice9 *device = var.lpD3DDevice;
    var.lpD3DDevice = nullptr;
    for (const Route &route : Routes()) {
        EXPECT_EQ(route.build(true, true), E_FAIL) << route.name;
    }
    EXPECT_EQ(CreateEffectFromFile("etest.fx"), E_FAIL);
    EXPECT_EQ(CreateEffectFromCode("technique t {}", 0), E_FAIL);
    EXPECT_EQ(ShaderOnRestore(), E_FAIL);
    var.lpD3DDevice = device;

    const void *after[] = {shader.lpEffect, shader.lpVertexShader, shader.lpVertexShaderCode,
                           shader.lpPixelShader, shader.lpPixelShaderCode};
    EXPECT_EQ(std::memcmp(held, after, sizeof held), 0);
    EXPECT_TRUE(fake::Calls().empty()) << ::testing::PrintToString(fake::Calls());
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(ShaderTest, LostAndRestoreRemakeTheDeviceShadersAndTellTheEffect) {
    Fill();
    ID3DXBuffer *const vsCode = shader.lpVertexShaderCode;
    ID3DXBuffer *const psCode = shader.lpPixelShaderCode;

    EXPECT_EQ(ShaderOnLost(), S_OK);
    EXPECT_EQ(shader.lpVertexShader, nullptr);
    EXPECT_EQ(shader.lpPixelShader, nullptr);
    EXPECT_EQ(shader.lpVertexShaderCode, vsCode);
    EXPECT_EQ(shader.lpPixelShaderCode, psCode);
    EXPECT_EQ(fake::CountOf("ID3DXEffect::OnLostDevice(effect1)"), 1);

    fake::ClearCalls();
    fake::Fail("ID3DXEffect::OnResetDevice", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(ShaderOnRestore(), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(fake::CallsOf("IDirect3DDevice9::Create"),
              (Calls{Made("Vertex", "test.fx:basic_vs:vs_3_0"),
                     Made("Pixel", "test.fx:basic_ps:ps_3_0")}));
    EXPECT_NE(shader.lpVertexShader, nullptr);
    EXPECT_NE(shader.lpPixelShader, nullptr);
}

// Wine's D3DX answers E_NOTIMPL to both; any other failure is passed on.
TEST_F(ShaderTest, AnEffectThatAnswersNotImplementedAroundAResetCountsAsTold) {
    Fill();
    fake::Fail("ID3DXEffect::OnLostDevice", E_NOTIMPL);
    EXPECT_EQ(ShaderOnLost(), S_OK);
    fake::Fail("ID3DXEffect::OnResetDevice", E_NOTIMPL);
    EXPECT_EQ(ShaderOnRestore(), S_OK);
    EXPECT_NE(shader.lpPixelShader, nullptr);

    fake::Fail("ID3DXEffect::OnLostDevice", D3DERR_INVALIDCALL);
    EXPECT_EQ(ShaderOnLost(), D3DERR_INVALIDCALL);
}

TEST_F(ShaderTest, CreateShaderOverAnExistingPairLeaksNothing) {
    Fill();
    EXPECT_EQ(shader.CreateShader(), S_OK); // the fixture's teardown counts what is left alive
    EXPECT_EQ(fake::CountOf("IDirect3DDevice9::Create"), 2);
}

TEST_F(ShaderTest, RestoreOnAnEmptyShaderDoesNothing) {
    EXPECT_EQ(ShaderOnLost(), S_OK);
    EXPECT_EQ(ShaderOnRestore(), S_OK);
    EXPECT_EQ(ReleaseShader(), S_OK);
    EXPECT_EQ(ReleaseShader(), S_OK);
    EXPECT_TRUE(fake::Calls().empty()) << ::testing::PrintToString(fake::Calls());
}

TEST_F(ShaderTest, RestoreThatCannotRemakeAShaderEmptiesTheObjectWithoutTellingTheEffect) {
    Fill();
    ShaderOnLost();
    fake::Fail("IDirect3DDevice9::CreatePixelShader", E_OUTOFMEMORY);
    EXPECT_EQ(ShaderOnRestore(), E_OUTOFMEMORY);
    EXPECT_EQ(fake::CountOf("ID3DXEffect::OnResetDevice"), 0);
    EXPECT_EQ(shader.lpEffect, nullptr);
    EXPECT_EQ(shader.lpVertexShader, nullptr);
}

} // namespace
