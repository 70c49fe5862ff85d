// Shaders on the real Direct3D 9 and D3DX of Wine (under Xvfb): every build
// route, the pixels a shader pair and an effect draw, a real reset, and the
// self-test's console output.
#include <fw/app/framework.h>
#include <fw/graphics/graphics.h>
#include <fw/graphics/renderstate.h>
#include "real/boxes.h"
#include "real/pixels.h"
#include "shader/selftest_output.h"
#include <fw/shader/shader.h>

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr LONG kMargin = 16;
constexpr D3DCOLOR kClear = 0xFF000000;

std::string ReadFile(const char *name) {
    std::ifstream file(name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Effects from source: Wine 8's D3DX cannot compile them.
bool HasEffectCompiler() {
    static const bool has = [] {
        const char probe[] = "float4 c; float4 ps() : COLOR { return c; }"
                             "technique t { pass p { PixelShader = compile ps_2_0 ps(); } }";
        ID3DXEffect *effect = nullptr;
        const HRESULT hr = D3DXCreateEffect(GetDevice(), probe, sizeof probe - 1, nullptr, nullptr,
                                            0, nullptr, &effect, nullptr);
        if (effect != nullptr) {
            effect->Release();
        }
        return SUCCEEDED(hr);
    }();
    return has;
}

// The whole of HLSL: Wine 8's compiler knows no tex2D nor sin (and turns
// some intrinsics it lacks into broken code while reporting success).
bool HasFullHlsl() {
    static const bool has = [] {
        const char probe[] = "sampler s; float4 main(float2 t : TEXCOORD0) : COLOR"
                             "{ return tex2D(s, t) * sin(t.x); }";
        ID3DXBuffer *code = nullptr;
        const HRESULT hr = D3DXCompileShader(probe, sizeof probe - 1, nullptr, nullptr, "main",
                                             "ps_2_0", 0, &code, nullptr, nullptr);
        if (code != nullptr) {
            code->Release();
        }
        return SUCCEEDED(hr);
    }();
    return has;
}

struct Vertex {
    float x, y, z;
    D3DCOLOR diffuse;
};

class RealShader : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
        static bool printed = false;
        if (!printed) {
            printed = true;
            std::printf("adapter: %s; profiles %s %s; effects from source: %s; full HLSL: %s\n",
                        GetAdapterDescription(), D3DXGetVertexShaderProfile(GetDevice()),
                        D3DXGetPixelShaderProfile(GetDevice()), HasEffectCompiler() ? "yes" : "no",
                        HasFullHlsl() ? "yes" : "no");
        }
    }
    void TearDown() override {
        ReleaseShader();
        ExitFramework();
    }

    // Draws a quad over the whole target through whatever is bound, with
    // depth test and culling off, and reads the back buffer.
    static pixels::Image DrawQuad(IDirect3DBaseTexture9 *texture) {
        IDirect3DDevice9 *device = GetDevice();
        pixels::Image image;
        EXPECT_EQ(ClearAndBeginScene(kClear, 0), 0);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetTexture(0, texture);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        const Vertex quad[] = {{-1, -1, 0.5f, 0xFF000000},
                               {-1, 1, 0.5f, 0xFF000000},
                               {1, -1, 0.5f, 0xFF000000},
                               {1, 1, 0.5f, 0xFF000000}};
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
        EXPECT_EQ(EndScene(), 0);
        device->SetTexture(0, nullptr);
        EXPECT_TRUE(pixels::Read(device, var.lpBackSurface, &image));
        return image;
    }

    // The left half and the right half of the image.
    static RECT Left(const pixels::Image &image) {
        RECT area = pixels::Inner(image, kMargin);
        area.right = static_cast<LONG>(image.width / 2) - kMargin;
        return area;
    }
    static RECT Right(const pixels::Image &image) {
        RECT area = pixels::Inner(image, kMargin);
        area.left = static_cast<LONG>(image.width / 2) + kMargin;
        return area;
    }

    // Draws with the assembled pair of "vs_test.vsh" and "ps_test.psh": the
    // vertex constants squeeze the quad into the left half, the pixel
    // constant c1 takes red from the texture, green from its luminance and
    // blue half and half.
    static pixels::Image DrawWithTestPair() {
        IDirect3DTexture9 *texture = nullptr;
        D3DLOCKED_RECT texel;
        if (D3DXCreateTexture(GetDevice(), 1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                              &texture) != D3D_OK ||
            texture->LockRect(0, &texel, nullptr, 0) != D3D_OK) {
            ADD_FAILURE() << "no texture";
            return {};
        }
        *static_cast<D3DCOLOR *>(texel.pBits) = kTexel;
        texture->UnlockRect(0);

        // Rows of the transposed matrix x' = 0.5 x - 0.5.
        const float squeeze[4][4] = {{0.5f, 0, 0, -0.5f}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        const float blend[4] = {1.0f, 0.0f, 0.5f, 1.0f};
        EXPECT_EQ(ApplyVertexShader(), D3D_OK);
        EXPECT_EQ(ApplyPixelShader(), D3D_OK);
        EXPECT_EQ(SetVertexShaderConstant(0, squeeze[0], 4), D3D_OK);
        EXPECT_EQ(SetPixelShaderConstant(1, blend, 1), D3D_OK);
        const pixels::Image image = DrawQuad(texture);
        GetDevice()->SetVertexShader(nullptr);
        GetDevice()->SetPixelShader(nullptr);
        texture->Release();
        return image;
    }

    static constexpr D3DCOLOR kTexel = 0xFFCC6633;
    // Red 0.8, luminance 0.2989 * 0.8 + 0.5866 * 0.4 + 0.1145 * 0.2 = 0.497,
    // blue (0.2 + 0.497) / 2 = 0.348.
    static constexpr D3DCOLOR kBlended = 0xFFCC7F59;
};

// ---- Build routes -----------------------------------------------------------

TEST_F(RealShader, EveryBuildRouteMakesBothDeviceShaders) {
    const std::string vs = ReadFile("vs_test.vsh"), ps = ReadFile("ps_test.psh");
    const std::string hlsl = ReadFile("test.fx");
    ASSERT_FALSE(vs.empty() || ps.empty() || hlsl.empty());
    const struct {
        const char *name;
        bool hlsl;
        std::function<HRESULT()> build;
    } routes[] = {
        {"AssembleFromFile", false,
         [] { return AssembleShaderFromFile("vs_test.vsh", "ps_test.psh"); }},
        {"AssembleFromCode", false,
         [&] { return AssembleShaderFromCode(vs.c_str(), 0, ps.c_str(), ps.size() + 1); }},
        {"CompileFromFile", true,
         [] { return CompileShaderFromFile("test.fx", "basic_vs", "basic_ps"); }},
        {"CompileFromCode", true,
         [&] { return CompileShaderFromCode(hlsl.c_str(), 0, "basic_vs", "basic_ps"); }},
    };
    boxes::Answerer answerer;
    for (const auto &route : routes) {
        if (route.hlsl && !HasFullHlsl()) {
            GTEST_SKIP() << "the HLSL routes: this D3DX's HLSL compiler lacks tex2D and sin, and "
                            "its pixel code for test.fx is refused by the device (Wine 8)";
        }
        ReleaseShader();
        EXPECT_EQ(route.build(), S_OK) << route.name;
        EXPECT_NE(shader.lpVertexShader, nullptr) << route.name;
        EXPECT_NE(shader.lpPixelShader, nullptr) << route.name;
    }
    EXPECT_EQ(answerer.Texts(), std::vector<std::string>());
}

// ---- Drawing ----------------------------------------------------------------

TEST_F(RealShader, ShaderPairDrawsTheColourItsConstantsSay) {
    ASSERT_EQ(AssembleShaderFromFile("vs_test.vsh", "ps_test.psh"), S_OK);
    const pixels::Image image = DrawWithTestPair();
    EXPECT_TRUE(pixels::AreaIs(image, Left(image), kBlended, 3));
    EXPECT_TRUE(pixels::AreaIs(image, Right(image), kClear, 0));
}

TEST_F(RealShader, EffectFromTextDrawsWithAParameterSetByName) {
    if (!HasEffectCompiler()) {
        GTEST_SKIP() << "effects from source are not supported by this D3DX (Wine 8)";
    }
    const std::string effect = ReadFile("etest.fx");
    ASSERT_EQ(CreateEffectFromCode(effect.c_str(), 0), S_OK);

    D3DXMATRIX scale, move, squeeze;
    D3DXMatrixScaling(&scale, 0.5f, 1.0f, 1.0f);
    D3DXMatrixTranslation(&move, -0.5f, 0.0f, 0.0f);
    D3DXMatrixMultiply(&squeeze, &scale, &move);
    const float colour[4] = {0.25f, 0.5f, 1.0f, 1.0f};
    ASSERT_EQ(SetTechnique("test_effect"), S_OK);
    ASSERT_EQ(SetEffectMatrix("mWorldViewProj", &squeeze), S_OK);
    ASSERT_EQ(SetEffectValue("ColorDiffuse", colour, sizeof colour), S_OK);
    UINT passes = 0;
    ASSERT_EQ(BeginEffect(&passes), S_OK);
    ASSERT_EQ(passes, 1u);
    ASSERT_EQ(BeginPass(0), S_OK);
    const pixels::Image image = DrawQuad(nullptr);
    EXPECT_EQ(EndPass(), S_OK);
    EXPECT_EQ(EndEffect(), S_OK);

    EXPECT_TRUE(pixels::AreaIs(image, Left(image), 0xFF4080FF, 2));
    EXPECT_TRUE(pixels::AreaIs(image, Right(image), kClear, 0));
}

// ---- Device reset -----------------------------------------------------------

TEST_F(RealShader, LostAndRestoreAroundARealResetLeaveAWorkingPair) {
    ASSERT_EQ(AssembleShaderFromFile("vs_test.vsh", "ps_test.psh"), S_OK);
    ReleaseResource();
    ASSERT_EQ(ShaderOnLost(), S_OK);
    ASSERT_EQ(shader.lpVertexShader, nullptr);
    ASSERT_EQ(GetDevice()->Reset(&var.d3dpp), D3D_OK);
    ASSERT_EQ(CreateResource(), 0);
    ASSERT_EQ(ShaderOnRestore(), S_OK);

    const pixels::Image image = DrawWithTestPair();
    EXPECT_TRUE(pixels::AreaIs(image, Left(image), kBlended, 3));
    EXPECT_TRUE(pixels::AreaIs(image, Right(image), kClear, 0));
}

// ---- Self-test --------------------------------------------------------------

// TestShader's output lines; `shown` receives the boxes it showed.
std::vector<std::string> RunTestShader(std::vector<std::string> *shown) {
    boxes::Answerer answerer;
    const std::vector<std::string> lines = selftest_output::Run();
    *shown = answerer.Texts();
    return lines;
}

TEST_F(RealShader, SelfTestReportsEveryStepMadeWhatItShould) {
    if (!HasEffectCompiler() || !HasFullHlsl()) {
        GTEST_SKIP() << "needs effects from source and full HLSL, which Wine 8's D3DX lacks";
    }
    std::vector<std::string> shown;
    const std::vector<std::string> lines = RunTestShader(&shown);
    ASSERT_EQ(lines.size(), 25u) << ::testing::PrintToString(lines);
    const char *statuses[] = {"CreateEffectFromFile : 0", "CreateEffectFromFile : 0",
                              "AssembleFromFile : 0",     "AssembleFromCode : 0",
                              "CompileFromFile : 0",      "CompileFromCode : 0"};
    for (int step = 1; step <= 6; ++step) {
        EXPECT_EQ(selftest_output::Status(lines, step), statuses[step - 1]);
        EXPECT_EQ(selftest_output::Made(lines, step), step <= 2 ? "100" : "011") << step;
    }
    EXPECT_EQ(lines.back(), "Please check Test result.");
    EXPECT_EQ(shown, std::vector<std::string>());
    EXPECT_EQ(shader.lpEffect, nullptr) << "the global shader is not touched";
}

TEST_F(RealShader, SelfTestWithoutTheVertexAssemblyFileCarriesTheFailureOn) {
    // The four files but "vs_test.vsh", in a folder of their own.
    char temp[MAX_PATH], cwd[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, cwd), 0u);
    const std::string dir =
        std::string(temp) + "fw_selftest_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    for (const char *name : {"etest.fx", "test.fx", "ps_test.psh"}) {
        ASSERT_TRUE(CopyFileA(name, (dir + "\\" + name).c_str(), FALSE)) << name;
    }
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    std::vector<std::string> shown;
    const std::vector<std::string> lines = RunTestShader(&shown);
    SetCurrentDirectoryA(cwd);
    for (const char *name : {"etest.fx", "test.fx", "ps_test.psh"}) {
        DeleteFileA((dir + "\\" + name).c_str());
    }
    RemoveDirectoryA(dir.c_str());

    ASSERT_EQ(lines.size(), 25u) << ::testing::PrintToString(lines);
    const std::string vsBox = "Shader::AssembleFromFile : D3DXAssembleShader VertexShader \n";
    EXPECT_EQ(std::count(shown.begin(), shown.end(), vsBox), 1) << ::testing::PrintToString(shown);
    if (HasEffectCompiler() && HasFullHlsl()) {
        EXPECT_EQ(shown, std::vector<std::string>{vsBox}) << "no other step fails";
    }
    EXPECT_EQ(selftest_output::Made(lines, 3), "000");
    const unsigned long failed = selftest_output::StatusValue(lines, 3);
    EXPECT_NE(failed, 0u);
    // Later steps succeed, yet their lines keep the failure bits.
    for (int step = 4; step <= 6; ++step) {
        EXPECT_EQ(selftest_output::StatusValue(lines, step) & failed, failed) << step;
        if (step == 4 || HasFullHlsl()) {
            EXPECT_EQ(selftest_output::Made(lines, step), "011") << "step " << step;
        }
    }
    EXPECT_EQ(lines.back(), "Please check Test result.");
}

} // namespace
