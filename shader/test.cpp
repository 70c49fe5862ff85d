#include "shader/shader.h"

#include <cstdint>
#include <cstdio>

namespace {

// The embedded texts, each line padded with blanks to a fixed width. The HLSL
// lines follow each other with no line break; the assembly lines end in one.
#define FW_TEST_HLSL_PROGRAM                                                                       \
    "  float4x4 mWorldViewProj;                             "                                      \
    "  float4   ColorDiffuse;                               "                                      \
    "                                                       "                                      \
    "  struct vs_out {                                      "                                      \
    "    float4 pos : POSITION;                             "                                      \
    "    float4 col : COLOR0;                               "                                      \
    "  };                                                   "                                      \
    "                                                       "                                      \
    "  struct ps_out {                                      "                                      \
    "    float4 col : COLOR0;                               "                                      \
    "  };                                                   "                                      \
    "                                                       "                                      \
    "  vs_out basic_vs(float4 pos : POSITION) {             "                                      \
    "    vs_out ret;                                        "                                      \
    "                                                       "                                      \
    "    ret.pos = mul(pos, mWorldViewProj);                "                                      \
    "                                                       "                                      \
    "    ret.col.rgb = ColorDiffuse;                        "                                      \
    "    ret.col.a   = 1.0f;                                "                                      \
    "                                                       "                                      \
    "    return ret;                                        "                                      \
    "  }                                                    "                                      \
    "                                                       "                                      \
    "  ps_out basic_ps(vs_out input) {                      "                                      \
    "    ps_out ret = (ps_out)0;                            "                                      \
    "                                                       "                                      \
    "    ret.col.rgb = input.col;                           "                                      \
    "                                                       "                                      \
    "    return ret;                                        "                                      \
    "  }                                                    "                                      \
    "                                                       "

// 31 lines of 55 characters.
constexpr char kHlslProgram[] = FW_TEST_HLSL_PROGRAM;

// The HLSL program and a technique: 39 lines of 55 characters.
constexpr char kEffect[] =
    FW_TEST_HLSL_PROGRAM "technique test_effect                                  "
                         "{                                                      "
                         "  pass P0                                              "
                         "  {                                                    "
                         "    VertexShader = compile vs_2_0 basic_vs();          "
                         "    PixelShader  = compile ps_2_0 basic_ps();          "
                         "  }                                                    "
                         "}                                                      ";

#undef FW_TEST_HLSL_PROGRAM

// 5 lines of 36 characters and a line feed.
constexpr char kVertexAssembly[] = "vs_1_1                              \n"
                                   "dcl_position    v0                  \n"
                                   "dcl_color       v1                  \n"
                                   "m4x4            oPos,   v0,     c0  \n"
                                   "add             oD0 ,   v1,     c4  \n";

// 6 lines of 46 characters and a line feed.
constexpr char kPixelAssembly[] = "ps_1_1                                        \n"
                                  "def   c0, 0.2989f, 0.5866f, 0.1145f, 0.0f     \n"
                                  "tex   t0                                      \n"
                                  "dp3   r0, t0, c0                              \n"
                                  "mov   r1, r0.a                                \n"
                                  "lrp   r0, c1, t0, r1                          \n";

static_assert(sizeof kHlslProgram == 1705 + 1, "HLSL program layout");
static_assert(sizeof kEffect == 2145 + 1, "effect layout");
static_assert(sizeof kVertexAssembly == 185 + 1, "vertex assembly layout");
static_assert(sizeof kPixelAssembly == 282 + 1, "pixel assembly layout");

// A 32-bit value for a report: 0 exactly when the member is NULL. In a 32-bit
// program that is the pointer itself. The low 32 bits of a 64-bit pointer may
// all be zero, so the high ones stand in then.
unsigned int Reported(const void *member) {
    const uint64_t value = reinterpret_cast<uintptr_t>(member);
    const auto low = static_cast<unsigned int>(value);
    if (sizeof member == 4) {
        return low;
    }
    return low != 0 ? low : static_cast<unsigned int>(value >> 32);
}

struct Step {
    const char *statusLine;
    HRESULT (*run)(Shader &object);
};

// NOTE: step 2 prints step 1's status line; readers of the output expect it.
constexpr Step kSteps[] = {
    {"CreateEffectFromFile : %x\n",
     [](Shader &object) { return object.CreateEffectFromFile("etest.fx"); }},
    {"CreateEffectFromFile : %x\n",
     [](Shader &object) { return object.CreateEffectFromCode(kEffect, sizeof kEffect); }},
    {"AssembleFromFile : %x\n",
     [](Shader &object) { return object.AssembleFromFile("vs_test.vsh", "ps_test.psh"); }},
    {"AssembleFromCode : %x\n",
     [](Shader &object) {
         return object.AssembleFromCode(kVertexAssembly, sizeof kVertexAssembly, kPixelAssembly,
                                        sizeof kPixelAssembly);
     }},
    {"CompileFromFile : %x\n",
     [](Shader &object) { return object.CompileFromFile("test.fx", "basic_vs", "basic_ps"); }},
    {"CompileFromCode : %x\n",
     [](Shader &object) {
         return object.CompileFromCode(kHlslProgram, 0, "basic_vs", "basic_ps");
     }},
};

} // namespace

HRESULT TestShader() {
    Shader object;
    // Once a step has failed, every later status line shows failure bits.
    unsigned int status = 0;
    for (const Step &step : kSteps) {
        status |= static_cast<unsigned int>(step.run(object));
        std::printf(step.statusLine, status);
        std::printf("eft : %08X\n", Reported(object.lpEffect));
        std::printf("vsh : %08X\n", Reported(object.lpVertexShader));
        std::printf("psh : %08X\n", Reported(object.lpPixelShader));
        object.Release();
    }
    std::printf("Please check Test result.\n");
    object.Release();
    return 0;
}
