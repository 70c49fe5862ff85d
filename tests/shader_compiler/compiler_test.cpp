// HLSL and effects compiled through Wine's D3DX, drawn on Wine's device and
// read back. Under Wine 8 they rely on the shader-compiler stand-in
// (tools/d3dcompiler) that the test scripts put beside every program.
#include <fw/app/framework.h>
#include <fw/graphics/graphics.h>
#include "real/pixels.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

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

    // The text of a compiler's message buffer, which it releases.
    static std::string Text(ID3DXBuffer *buffer) {
        std::string text;
        if (buffer != nullptr) {
            text = static_cast<const char *>(buffer->GetBufferPointer());
            buffer->Release();
        }
        return text;
    }

    // Compiles `source` for `profile` into `code`; the compiler's messages
    // go to `messages`.
    static HRESULT Compile(const std::string &source, const char *entry, const char *profile,
                           ID3DXBuffer **code, std::string *messages) {
        ID3DXBuffer *errors = nullptr;
        const HRESULT hr =
            D3DXCompileShader(source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr,
                              entry, profile, 0, code, &errors, nullptr);
        *messages = Text(errors);
        return hr;
    }

    HRESULT CreateEffect(const std::string &source, ID3DXEffect **effect, std::string *messages) {
        ID3DXBuffer *errors = nullptr;
        const HRESULT hr =
            D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr,
                             nullptr, 0, nullptr, effect, &errors);
        *messages = Text(errors);
        return hr;
    }

    // A 4 x 4 texture of one colour; null on failure.
    IDirect3DTexture9 *FlatTexture(D3DCOLOR color) {
        IDirect3DTexture9 *texture = nullptr;
        D3DLOCKED_RECT locked;
        if (FAILED(D3DXCreateTexture(device_, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &texture)) ||
            FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
            ADD_FAILURE() << "no texture";
            return texture;
        }
        for (int y = 0; y < 4; ++y) {
            auto *row =
                reinterpret_cast<D3DCOLOR *>(static_cast<char *>(locked.pBits) + y * locked.Pitch);
            std::fill(row, row + 4, color);
        }
        texture->UnlockRect(0);
        return texture;
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
    IDirect3DTexture9 *texture = FlatTexture(0xFF336699);
    ASSERT_NE(texture, nullptr);
    const float c[4] = {0.5f, 0.25f, 2.0f, -0.75f};
    DWORD compiling = 0;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.intrinsic);
        const std::string source = std::string("sampler2D s; float4 c;\n"
                                               "float4 main(float2 uv : TEXCOORD0) : COLOR0 {\n"
                                               "    return float4(") +
                                   test.rgb + ", 1);\n}\n";
        ID3DXBuffer *code = nullptr;
        std::string messages;
        const DWORD start = GetTickCount();
        ASSERT_EQ(Compile(source, "main", "ps_2_0", &code, &messages), D3D_OK) << messages;
        compiling += GetTickCount() - start;
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
    std::printf("an HLSL compile took %lu ms on average\n",
                compiling / static_cast<DWORD>(std::size(cases)));
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(ShaderCompiler, MatrixPackingFlagDecidesTheRegisterLayout) {
    const std::string source =
        "float4x4 m;\n"
        "float4 main(float4 p : POSITION) : POSITION { return mul(p, m); }\n";
    const struct {
        DWORD flags;
        D3DXPARAMETER_CLASS expected;
    } cases[] = {{0, D3DXPC_MATRIX_COLUMNS}, {D3DXSHADER_PACKMATRIX_ROWMAJOR, D3DXPC_MATRIX_ROWS}};
    for (const auto &test : cases) {
        ID3DXBuffer *code = nullptr, *errors = nullptr;
        ID3DXConstantTable *constants = nullptr;
        ASSERT_EQ(D3DXCompileShader(source.c_str(), static_cast<UINT>(source.size()), nullptr,
                                    nullptr, "main", "vs_2_0", test.flags, &code, &errors,
                                    &constants),
                  D3D_OK)
            << Text(errors);
        D3DXCONSTANT_DESC desc;
        UINT count = 1;
        EXPECT_EQ(
            constants->GetConstantDesc(constants->GetConstantByName(nullptr, "m"), &desc, &count),
            D3D_OK);
        EXPECT_EQ(desc.Class, test.expected) << "flags " << test.flags;
        constants->Release();
        code->Release();
        Text(errors);
    }
}

// Two techniques, the first with shader parameters; the second adds an
// initialised colour in a second pass.
// The vertex shader maps the unit square onto the screen through the matrix;
// the texture is a flat 0x808080, so the colour is drawn as it is set.
const char kEffect[] = R"(
#pragma warning(disable : 3206)
float4x4 mWorldViewProj;
float4 Color;
float4 Added = {0.25, 0.5, 0.25, 0};
half Scale = 0.5;
float3 Offsets[2] = {1, 2, 3, float3(4, 5, 6)};
float2x3 Rows = {1, 2, 3, 4, 5, 6};
bool2 Flags = {true, false};
int Count = -3;
string Label < string Purpose = "test"; int Version = 2; > = "fw";
texture Tex;
sampler2D s = sampler_state { Texture = <Tex>; MinFilter = Point; MagFilter = Point; };
struct vs_out { float4 pos : POSITION; float2 uv : TEXCOORD0; };
vs_out vs(float4 pos : POSITION) {
    vs_out o; o.pos = mul(pos, mWorldViewProj); o.uv = pos.xy; return o;
}
float4 ps_color(float2 uv : TEXCOORD0) : COLOR0 { return Color * tex2D(s, uv) * 2; }
float4 ps_added() : COLOR0 { return Added * Scale * 2; }
VertexShader VsShader = compile vs_2_0 vs();
PixelShader PsColor = compile ps_2_0 ps_color();
technique first {
    pass p0 {
        VertexShader = (VsShader); PixelShader = <PsColor>;
        CullMode = None; ZEnable = false; AlphaBlendEnable = false;
    }
}
technique second {
    pass p0 {
        VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps_color();
        CullMode = None; ZEnable = false; AlphaBlendEnable = false;
    }
    pass p1 {
        VertexShader = compile vs_3_0 vs(); PixelShader = compile ps_3_0 ps_added();
        AlphaBlendEnable = true; SrcBlend = One; DestBlend = One;
    }
}
)";

TEST_F(ShaderCompiler, EffectDrawsItsTechniquesWithParametersSetByName) {
    IDirect3DTexture9 *texture = FlatTexture(0xFF808080);
    ASSERT_NE(texture, nullptr);
    // Row vectors: scale by 2, then move by -1.
    const D3DXMATRIX toScreen(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -1, -1, 0, 1);
    const D3DXVECTOR4 color(0.5f, 0.25f, 0, 1);
    const D3DXVECTOR3 square[] = {{0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f}, {1, 1, 0.5f}};
    const struct {
        const char *technique;
        UINT passes;
        D3DCOLOR expected;
    } cases[] = {{"first", 1, 0x804000}, {"second", 2, 0xBFBF40}};
    for (const auto &test : cases) {
        SCOPED_TRACE(test.technique);
        ID3DXEffect *effect = nullptr;
        std::string messages;
        const DWORD start = GetTickCount();
        ASSERT_EQ(CreateEffect(kEffect, &effect, &messages), D3D_OK) << messages;
        std::printf("effect with 2 techniques, 3 passes created in %lu ms\n",
                    GetTickCount() - start);
        EXPECT_EQ(effect->SetTexture("Tex", texture), D3D_OK);
        EXPECT_EQ(effect->SetMatrix("mWorldViewProj", &toScreen), D3D_OK);
        EXPECT_EQ(effect->SetVector("Color", &color), D3D_OK);
        EXPECT_EQ(effect->SetTechnique(test.technique), D3D_OK);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        UINT passes = 0;
        EXPECT_EQ(effect->Begin(&passes, 0), D3D_OK);
        EXPECT_EQ(passes, test.passes);
        for (UINT pass = 0; pass < passes; ++pass) {
            EXPECT_EQ(effect->BeginPass(pass), D3D_OK);
            device_->SetFVF(D3DFVF_XYZ);
            EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof square[0]),
                      D3D_OK);
            effect->EndPass();
        }
        effect->End();
        device_->EndScene();
        effect->Release();
        EXPECT_TRUE(ScreenIs(test.expected));
    }
    texture->Release();
}

// No shaders: the pass sets the texture, its stage and the blending.
TEST_F(ShaderCompiler, EffectPassSetsFixedFunctionStates) {
    const char source[] = R"(
texture Tex;
technique fixed {
    pass p0 {
        VertexShader = NULL; PixelShader = NULL; Texture[0] = <Tex>;
        ColorOp[0] = SelectArg1; ColorArg1[0] = Texture; AlphaOp[0] = SelectArg1;
        AlphaArg1[0] = Texture; MinFilter[0] = Point; MagFilter[0] = Point;
        CullMode = None; ZEnable = false; Lighting = false;
        AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; BlendOp = RevSubtract;
    }
}
)";
    ID3DXEffect *effect = nullptr;
    std::string messages;
    ASSERT_EQ(CreateEffect(source, &effect, &messages), D3D_OK) << messages;
    IDirect3DTexture9 *texture = FlatTexture(0xFF336699);
    EXPECT_EQ(effect->SetTexture("Tex", texture), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    UINT passes = 0;
    EXPECT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(effect->BeginPass(0), D3D_OK);
    DrawScreenQuad();
    effect->EndPass();
    effect->End();
    device_->EndScene();
    // The clear colour less the texture's.
    EXPECT_TRUE(ScreenIs(0x4D1A00));
    effect->Release();
    if (texture != nullptr) {
        texture->Release();
    }
}

TEST_F(ShaderCompiler, EffectKeepsInitialValuesAndAnnotations) {
    ID3DXEffect *effect = nullptr;
    std::string messages;
    ASSERT_EQ(CreateEffect(kEffect, &effect, &messages), D3D_OK) << messages;
    float floats[6] = {};
    EXPECT_EQ(effect->GetFloatArray("Offsets", floats, 6), D3D_OK);
    EXPECT_EQ(std::vector<float>(floats, floats + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(effect->GetFloatArray("Rows", floats, 6), D3D_OK);
    EXPECT_EQ(std::vector<float>(floats, floats + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    FLOAT scale = 0;
    BOOL flags[2] = {};
    INT count = 0, version = 0;
    LPCSTR label = nullptr, purpose = nullptr;
    EXPECT_EQ(effect->GetFloat("Scale", &scale), D3D_OK);
    EXPECT_EQ(scale, 0.5f);
    EXPECT_EQ(effect->GetBoolArray("Flags", flags, 2), D3D_OK);
    EXPECT_EQ(flags[0], TRUE);
    EXPECT_EQ(flags[1], FALSE);
    EXPECT_EQ(effect->GetInt("Count", &count), D3D_OK);
    EXPECT_EQ(count, -3);
    ASSERT_EQ(effect->GetString("Label", &label), D3D_OK);
    EXPECT_STREQ(label, "fw");
    ASSERT_EQ(effect->GetString(effect->GetAnnotationByName("Label", "Purpose"), &purpose), D3D_OK);
    EXPECT_STREQ(purpose, "test");
    EXPECT_EQ(effect->GetInt(effect->GetAnnotationByName("Label", "Version"), &version), D3D_OK);
    EXPECT_EQ(version, 2);
    effect->Release();
}

// The effects and HLSL files of data/ that the framework's self-test and the
// demo read, with the entry points they compile.
TEST_F(ShaderCompiler, FrameworkFilesCompile) {
    const struct {
        const char *file;
        bool effect;
        const char *entries[2];
    } files[] = {{"etest.fx", true, {nullptr, nullptr}},
                 {"test.fx", false, {"basic_vs", "basic_ps"}},
                 {"etest2.fx", true, {"basic_vs_flag", "basic_ps"}}};
    const char *profiles[2] = {D3DXGetVertexShaderProfile(device_),
                               D3DXGetPixelShaderProfile(device_)};
    std::string missing;
    for (const auto &file : files) {
        SCOPED_TRACE(file.file);
        if (GetFileAttributesA(file.file) == INVALID_FILE_ATTRIBUTES) {
            missing += std::string(" ") + file.file;
            continue;
        }
        ID3DXBuffer *errors = nullptr;
        if (file.effect) {
            ID3DXEffect *effect = nullptr;
            const HRESULT hr = D3DXCreateEffectFromFileA(device_, file.file, nullptr, nullptr, 0,
                                                         nullptr, &effect, &errors);
            const std::string messages = Text(errors);
            EXPECT_EQ(hr, D3D_OK) << messages;
            if (effect != nullptr) {
                effect->Release();
            }
        }
        for (int stage = 0; stage < 2; ++stage) {
            ID3DXBuffer *code = nullptr;
            if (file.entries[stage] == nullptr) {
                continue;
            }
            const HRESULT hr =
                D3DXCompileShaderFromFileA(file.file, nullptr, nullptr, file.entries[stage],
                                           profiles[stage], 0, &code, &errors, nullptr);
            const std::string messages = Text(errors);
            EXPECT_EQ(hr, D3D_OK) << file.entries[stage] << ": " << messages;
            if (code != nullptr) {
                code->Release();
            }
        }
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "not in data/:" << missing;
    }
}

// Serves the one file "values.fxh".
class ValuesInclude : public ID3DXInclude {
  public:
    STDMETHOD(Open)
    (D3DXINCLUDE_TYPE, const char *name, const void *, const void **data, UINT *bytes) override {
        static const char kValues[] = "#define VALUE 0.25\n";
        if (std::strcmp(name, "values.fxh") != 0) {
            return E_FAIL;
        }
        *data = kValues;
        *bytes = sizeof kValues - 1;
        return S_OK;
    }
    STDMETHOD(Close)(const void *) override { return S_OK; }
};

TEST_F(ShaderCompiler, IncludesAndMacrosReachTheCompiler) {
    const char source[] = "#include \"values.fxh\"\n"
                          "float Value = VALUE * GAIN;\n"
                          "float4 ps() : COLOR0 { return Value * VALUE * GAIN; }\n";
    const D3DXMACRO macros[] = {{"GAIN", "(1 + 1)"}, {nullptr, nullptr}};
    ValuesInclude include;
    ID3DXBuffer *errors = nullptr;
    ID3DXBuffer *code = nullptr;
    ASSERT_EQ(D3DXCompileShader(source, sizeof source - 1, macros, &include, "ps", "ps_2_0", 0,
                                &code, &errors, nullptr),
              D3D_OK)
        << Text(errors);
    Text(errors);
    code->Release();
    ID3DXEffect *effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device_, source, sizeof source - 1, macros, &include, 0, nullptr,
                               &effect, &errors),
              D3D_OK)
        << Text(errors);
    Text(errors);
    FLOAT value = 0;
    EXPECT_EQ(effect->GetFloat("Value", &value), D3D_OK);
    EXPECT_EQ(value, 0.5f);
    effect->Release();
}

TEST_F(ShaderCompiler, BrokenSourceFailsWithAMessageAndNoObject) {
    const std::string valid = "float4 ps() : COLOR0 { return 1; }\n";
    const struct {
        const char *what;
        std::string source;
        const char *message;
    } cases[] = {
        {"HLSL", "float4 ps() : COLOR0 { return missing; }", "missing"},
        {"effect HLSL",
         "float4 ps() : COLOR0 { return missing; }\n"
         "technique t { pass p { PixelShader = compile ps_2_0 ps(); } }",
         "missing"},
        {"effect state", valid + "technique t { pass p { Fog = 1; } }", "'Fog' is not supported"},
        {"effect value", valid + "technique t { pass p { CullMode = Sideways; } }", "Sideways"},
        {"effect texture", valid + "sampler s = sampler_state { Texture = <nothing>; };",
         "'nothing' is not a texture parameter"},
        {"effect initialiser", "float4 c = {1, 2};\n" + valid, "needs 4 values"},
        {"effect expression", "float c = sin(1);\n" + valid, "a constant is expected"},
        {"effect arguments",
         valid + "technique t { pass p { PixelShader = compile ps_2_0 ps(1); } }",
         "arguments to compiled shaders"},
        {"effect shader kind",
         valid + "PixelShader p = compile ps_2_0 ps();\n"
                 "technique t { pass a { VertexShader = (p); } }",
         "'p' is not a shader of that kind"},
        {"fx_4 technique", valid + "technique10 t { pass p { } }", "not supported in fx_2_0"},
        {"struct global", "struct S { float a; } s;\n" + valid, "struct"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        std::string messages;
        HRESULT hr;
        if (std::strcmp(test.what, "HLSL") == 0) {
            ID3DXBuffer *code = nullptr;
            hr = Compile(test.source, "ps", "ps_2_0", &code, &messages);
            EXPECT_EQ(code, nullptr);
        } else {
            ID3DXEffect *effect = nullptr;
            hr = CreateEffect(test.source, &effect, &messages);
            EXPECT_EQ(effect, nullptr);
        }
        EXPECT_TRUE(FAILED(hr));
        EXPECT_NE(messages.find(test.message), std::string::npos) << messages;
    }
}

} // namespace
