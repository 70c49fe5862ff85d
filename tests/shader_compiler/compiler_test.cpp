// HLSL and effects compiled through Wine's D3DX, drawn on Wine's device and
// read back. Under Wine 8 they rely on the shader-compiler stand-in
// (tools/d3dcompiler) that the test scripts put beside every program.
#include "app/framework.h"
#include "graphics/graphics.h"
#include "real/pixels.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr LONG kMargin = 16;
constexpr int kTolerance = 2;

// A quad over the whole 800 x 600 target, already transformed, with texture
// coordinates.
struct ScreenVertex {
    float x, y, z, rhw, u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

class ShaderCompiler : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
        device_ = GetDevice();
        ASSERT_NE(device_, nullptr);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            device_->SetPixelShader(nullptr);
            device_->SetVertexShader(nullptr);
            device_->SetTexture(0, nullptr);
        }
        ExitFramework();
    }

    // Compiles `source` for `profile`; the byte code, or a failure with the
    // compiler's messages.
    static ::testing::AssertionResult Compile(const std::string &source, const char *entry,
                                              const char *profile, ID3DXBuffer **code) {
        ID3DXBuffer *errors = nullptr;
        const HRESULT hr =
            D3DXCompileShader(source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr,
                              entry, profile, 0, code, &errors, nullptr);
        std::string messages =
            errors != nullptr ? static_cast<const char *>(errors->GetBufferPointer()) : "";
        if (errors != nullptr) {
            errors->Release();
        }
        if (FAILED(hr)) {
            return ::testing::AssertionFailure() << "compile failed: " << messages;
        }
        return ::testing::AssertionSuccess();
    }

    void DrawScreenQuad() {
        const ScreenVertex quad[] = {{0, 0, 0.5f, 1, 0, 0},
                                     {800, 0, 0.5f, 1, 1, 0},
                                     {0, 600, 0.5f, 1, 0, 1},
                                     {800, 600, 0.5f, 1, 1, 1}};
        device_->SetFVF(kScreenFvf);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)),
                  D3D_OK);
    }

    ::testing::AssertionResult ScreenIs(D3DCOLOR expected) {
        pixels::Image image;
        ::testing::AssertionResult read = pixels::Read(device_, var.lpBackSurface, &image);
        if (!read) {
            return read;
        }
        return pixels::AreaIs(image, pixels::Inner(image, kMargin), expected, kTolerance);
    }

    IDirect3DDevice9 *device_ = nullptr;
};

TEST_F(ShaderCompiler, IntrinsicsDrawTheirValues) {
    // c holds (0.5, 0.25, 2, -0.75); the texture is 0x336699 everywhere.
    struct Case {
        const char *intrinsic;
        const char *rgb;
        D3DCOLOR expected;
    } const cases[] = {
        {"tex2D", "tex2D(s, uv).rgb", 0x336699},
        {"sin", "float3(sin(c.x), sin(c.w), 0) + float3(0, 1, 0)", 0x7A5100}, // 0.479, 0.318
        {"cos", "float3(cos(c.x), cos(c.z) + 1, 0)", 0xE09500},               // 0.878, 0.584
        {"frac", "float3(frac(c.z + c.y), frac(c.w), 0)", 0x404000},          // 0.25, 0.25
        {"exp", "float3(exp(-c.z), exp(c.w), 0)", 0x237800},                  // 0.135, 0.472
        {"dot", "float3(dot(c.xy, float2(1, 1)), dot(c.xyz, c.xyz) / 8, 0)", 0xBF8900},
        {"normalize", "normalize(float3(c.x, c.x, 0))", 0xB4B400}, // 0.707
        {"saturate", "float3(saturate(c.z), saturate(c.w), saturate(c.y))", 0xFF0040},
        {"abs", "float3(abs(c.w), abs(c.y), 0)", 0xBF4000},
        {"pow", "float3(pow(c.x, 2), pow(c.y, 0.5), pow(c.z, 3) / 16)", 0x408080},
    };
    IDirect3DTexture9 *texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y) {
        auto *row =
            reinterpret_cast<D3DCOLOR *>(static_cast<char *>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 4; ++x) {
            row[x] = 0xFF336699;
        }
    }
    texture->UnlockRect(0);
    const float c[4] = {0.5f, 0.25f, 2.0f, -0.75f};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.intrinsic);
        const std::string source = std::string("sampler2D s; float4 c;\n"
                                               "float4 main(float2 uv : TEXCOORD0) : COLOR0 {\n"
                                               "    return float4(") +
                                   test.rgb + ", 1);\n}\n";
        ID3DXBuffer *code = nullptr;
        ASSERT_TRUE(Compile(source, "main", "ps_2_0", &code));
        IDirect3DPixelShader9 *shader = nullptr;
        ASSERT_EQ(device_->CreatePixelShader(static_cast<const DWORD *>(code->GetBufferPointer()),
                                             &shader),
                  D3D_OK);
        code->Release();
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        device_->SetPixelShader(shader);
        device_->SetPixelShaderConstantF(0, c, 1);
        device_->SetTexture(0, texture);
        DrawScreenQuad();
        device_->EndScene();
        device_->SetPixelShader(nullptr);
        shader->Release();
        EXPECT_TRUE(ScreenIs(test.expected));
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

} // namespace
