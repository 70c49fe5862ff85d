// A real-platform test with the framework started on Wine's Direct3D: the
// window of the given size, windowed, and the device; the first test of a
// run prints the adapter and the shader profiles. Pixels are read back with
// Read (pixels.h).
#pragma once

#include <fw/app/framework.h>
#include <fw/graphics/graphics.h>
#include "real/pixels.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace real {

// A margin that keeps the compared areas away from edges and corners.
constexpr LONG kMargin = 16;

// Stage 0 passes the vertex colour through, whatever texture is bound.
inline void DiffuseOnly() {
    GetDevice()->SetTexture(0, nullptr);
    GetDevice()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    GetDevice()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    GetDevice()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    GetDevice()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
}

// Whether the device is DXVK's (Direct3D 9 on Vulkan, tools/dxvk.sh): only
// its IDirect3D9 hands out DXVK's Vulkan interop interface.
inline bool OnDxvk() {
    static const GUID kDxvkInterop = {
        0x3461a81b, 0xce41, 0x485b, {0xb6, 0xb5, 0xfc, 0xf0, 0x8b, 0xa6, 0xa6, 0xbd}};
    IUnknown *interop = nullptr;
    if (var.lpD3D == nullptr ||
        FAILED(var.lpD3D->QueryInterface(kDxvkInterop, reinterpret_cast<void **>(&interop)))) {
        return false;
    }
    interop->Release();
    return true;
}

// Wine's version ("8.0", "10.0"; empty on Windows).
inline std::string WineVersion() {
    using Get = const char *(CDECL *)();
    const auto get = reinterpret_cast<Get>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return get != nullptr ? get() : "";
}

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(800, 600); }
    void TearDown() override {
        ExitFramework();
        EXPECT_EQ(GetDevice(), nullptr);
    }

    static void Start(int width, int height) {
        ASSERT_EQ(InitFramework("fw", width, height, 1), 0);
        ASSERT_NE(GetDevice(), nullptr);
        static bool printed = false;
        if (!printed) {
            printed = true;
            const D3DADAPTER_IDENTIFIER9 &id = var.AdapterIdentifier;
            std::printf("adapter: %s (%s), vendor 0x%04lx, device 0x%04lx\n",
                        GetAdapterDescription(), GetAdapterDriver(), id.VendorId, id.DeviceId);
            std::printf("profiles: %s %s; back buffer format %d, multisample type %d\n",
                        D3DXGetVertexShaderProfile(GetDevice()),
                        D3DXGetPixelShaderProfile(GetDevice()), var.d3dpp.BackBufferFormat,
                        var.d3dpp.MultiSampleType);
        }
    }

    static pixels::Image Read(IDirect3DSurface9 *surface) {
        pixels::Image image;
        EXPECT_TRUE(pixels::Read(GetDevice(), surface, &image));
        return image;
    }
};

} // namespace real
