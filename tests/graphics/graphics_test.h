// What the graphics behaviour tests share: the window as InitFramework leaves
// it (800 x 600, windowed), the fake adapter's defaults, and the spelling of
// the fake Direct3D's log entries.
#pragma once

#include "../../app/window_state.h"
#include "fake/d3d9.h"
#include "fake/fake.h"
#include "fake/win32.h"
#include <fw/graphics/graphics.h>
#include <fw/graphics/quad.h>
#include <fw/graphics/renderstate.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

inline bool operator==(const ScreenVertex &a, const ScreenVertex &b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.rhw == b.rhw && a.diffuse == b.diffuse &&
           a.u == b.u && a.v == b.v;
}
inline void PrintTo(const ScreenVertex &v, std::ostream *os) {
    char text[160];
    std::snprintf(text, sizeof text, "{x %g, y %g, z %g, rhw %g, 0x%08lx, u %g, v %g}",
                  static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z),
                  static_cast<double>(v.rhw), v.diffuse, static_cast<double>(v.u),
                  static_cast<double>(v.v));
    *os << text;
}

namespace graphics_test {

using Calls = std::vector<std::string>;

// "IDirect3DDevice9::" + the printf-formatted rest.
inline std::string Dev(const char *format, ...) __attribute__((format(printf, 1, 2)));
inline std::string Dev(const char *format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string("IDirect3DDevice9::") + text;
}

inline std::string RenderState(int state, unsigned long value) {
    return Dev("SetRenderState(%d, 0x%lx)", state, value);
}
inline std::string StageState(int type, unsigned long value) {
    return Dev("SetTextureStageState(0, %d, 0x%lx)", type, value);
}
inline std::string SamplerState(int type, unsigned long value) {
    return Dev("SetSamplerState(0, %d, 0x%lx)", type, value);
}
inline std::string SetTexture(const void *texture) {
    return Dev("SetTexture(0, %s)", fake::Label(texture).c_str());
}
inline std::string SetTarget(const void *surface) {
    return Dev("SetRenderTarget(0, %s)", fake::Label(surface).c_str());
}
inline std::string SetDepth(const void *surface) {
    return Dev("SetDepthStencilSurface(%s)", fake::Label(surface).c_str());
}
inline std::string ClearCall(unsigned long flags, D3DCOLOR color) {
    return Dev("Clear(0, NULL, 0x%lx, 0x%08lx, 1, 0)", flags, color);
}
inline std::string Release(const char *iface, const void *object) {
    return std::string(iface) + "::Release(" + fake::Label(object) + ")";
}

// The entries of the fake Direct3D (device, texture, surface, object) only.
inline Calls Direct3DCalls() {
    Calls result;
    for (const std::string &call : fake::Calls()) {
        if (call.compare(0, 9, "IDirect3D") == 0 || call.compare(0, 15, "Direct3DCreate9") == 0) {
            result.push_back(call);
        }
    }
    return result;
}

// Position of the first log entry that starts with `prefix`; -1 if none.
inline int IndexOf(const std::string &prefix) {
    const Calls calls = fake::Calls();
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].compare(0, prefix.size(), prefix) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Calls + more, for building expected sequences piece by piece.
inline Calls operator+(Calls calls, const Calls &more) {
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

// The calls of SetRenderStateFlags(flags), as the preset table prescribes.
inline Calls PresetCalls(DWORD flags) {
    Calls calls;
    if (flags & RSF_BLEND) {
        calls = calls + Calls{RenderState(27, 1), RenderState(19, 5), RenderState(20, 6)};
    }
    if (flags & RSF_ADD) {
        calls = calls + Calls{RenderState(27, 1), RenderState(19, 5), RenderState(20, 2)};
    }
    if (flags & RSF_MODULATE) {
        calls = calls + Calls{StageState(4, 4), StageState(2, 2), StageState(3, 0)};
    }
    if (flags & RSF_POINT) {
        calls = calls + Calls{SamplerState(5, 1), SamplerState(6, 1), SamplerState(7, 1)};
    }
    if (flags & RSF_LINEAR) {
        calls = calls + Calls{SamplerState(5, 2), SamplerState(6, 2), SamplerState(7, 2)};
    }
    const bool z = flags & RSF_ZBUFFER;
    const bool light = flags & RSF_LIGHTING;
    return calls + Calls{RenderState(14, z),
                         RenderState(7, z),
                         RenderState(22, flags & RSF_CULL ? 3 : 1),
                         RenderState(28, (flags & RSF_FOG) != 0),
                         Dev("LightEnable(0, %d)", light),
                         RenderState(137, light)};
}

// The six vertices the rectangle table prescribes for corners (x1, y1) and
// (x2, y2) as given to DrawTextureRect (before the half-pixel shift).
inline std::vector<ScreenVertex> Rect(float x1, float y1, float x2, float y2, D3DCOLOR color,
                                      float u1 = 0, float v1 = 0, float u2 = 1, float v2 = 1) {
    x1 -= 0.5f;
    y1 -= 0.5f;
    x2 -= 0.5f;
    y2 -= 0.5f;
    return {{x1, y1, 0.5f, 1.0f, color, u1, v1}, {x2, y1, 0.5f, 1.0f, color, u2, v1},
            {x1, y2, 0.5f, 1.0f, color, u1, v2}, {x2, y1, 0.5f, 1.0f, color, u2, v1},
            {x2, y2, 0.5f, 1.0f, color, u2, v2}, {x1, y2, 0.5f, 1.0f, color, u1, v2}};
}

// The vertices of the last DrawPrimitiveUP.
inline std::vector<ScreenVertex> LastDrawn() {
    const auto &draws = fake::Device().draws;
    return draws.empty() ? std::vector<ScreenVertex>() : draws.back().Vertices<ScreenVertex>();
}

class GraphicsTest : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::ResetDirect3D();
        var = {};
        dwRenderStateFlags = 0;
        windowState = {};
        windowState.hwnd = fake::FakeWindow();
        windowState.width = 800;
        windowState.height = 600;
        windowState.windowed = 1;
    }
    void TearDown() override {
        ReleaseDirectX();
        windowState = {};
        fake::Test::TearDown();
    }

    // Graphics started, with an empty log.
    void Start() {
        ASSERT_EQ(InitDirectX(), 0) << ::testing::PrintToString(fake::Messages());
        fake::ClearCalls();
    }
};

} // namespace graphics_test
