// Releasing the render targets and the whole graphics record.
#include "graphics_test.h"

#include <cstring>

namespace graphics_test {
namespace {

using Releasing = GraphicsTest;

// The Release calls of ReleaseResource, in its order, for the current var.
Calls ResourceReleases() {
    Calls calls = {Release("IDirect3DSurface9", var.lpEffectSurface),
                   Release("IDirect3DTexture9", var.lpEffectTexture)};
    for (int i = 0; i < 2; ++i) {
        calls = calls + Calls{Release("IDirect3DSurface9", var.lpFlipZBuffer[i]),
                              Release("IDirect3DSurface9", var.lpFlipSurface[i]),
                              Release("IDirect3DTexture9", var.lpFlipTexture[i])};
    }
    return calls + Calls{Release("IDirect3DSurface9", var.lpBackZBuffer),
                         Release("IDirect3DSurface9", var.lpBackSurface)};
}

void ExpectTargetsEmpty() {
    EXPECT_EQ(var.lpEffectSurface, nullptr);
    EXPECT_EQ(var.lpEffectTexture, nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(var.lpFlipZBuffer[i], nullptr);
        EXPECT_EQ(var.lpFlipSurface[i], nullptr);
        EXPECT_EQ(var.lpFlipTexture[i], nullptr);
    }
    EXPECT_EQ(var.lpBackZBuffer, nullptr);
    EXPECT_EQ(var.lpBackSurface, nullptr);
}

TEST_F(Releasing, ReleaseResourceReleasesTheTargetsInOrder) {
    Start();
    const Calls expected = ResourceReleases();

    EXPECT_EQ(ReleaseResource(), 0);

    EXPECT_EQ(Direct3DCalls(), expected);
    ExpectTargetsEmpty();
    EXPECT_NE(GetDevice(), nullptr) << "the device stays";
}

TEST_F(Releasing, ReleaseDirectXReleasesTargetsThenDeviceThenDirect3D) {
    Start();
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    ASSERT_EQ(EndScene(), 0);
    ASSERT_EQ(Flip(0xFFFFFFFF), 0); // leaves a flip texture bound to stage 0
    fake::ClearCalls();
    const Calls expected = ResourceReleases() + Calls{Release("IDirect3DDevice9", var.lpD3DDevice),
                                                      Release("IDirect3D9", var.lpD3D)};

    EXPECT_EQ(ReleaseDirectX(), 0);

    EXPECT_EQ(Direct3DCalls(), expected);
    EXPECT_EQ(fake::Alive(), 0) << "every reference given back";
    ExpectTargetsEmpty();
    EXPECT_EQ(var.lpD3DDevice, nullptr);
    EXPECT_EQ(var.lpD3D, nullptr);
    EXPECT_EQ(GetDevice(), nullptr);
}

TEST_F(Releasing, ReleaseDirectXKeepsTheParametersAndTheAdapterIdentity) {
    Start();
    const D3DPRESENT_PARAMETERS params = var.d3dpp;
    const D3DADAPTER_IDENTIFIER9 identity = var.AdapterIdentifier;
    const D3DDISPLAYMODE mode = var.DisplayMode;

    ReleaseDirectX();

    EXPECT_EQ(std::memcmp(&params, &var.d3dpp, sizeof params), 0);
    EXPECT_EQ(std::memcmp(&identity, &var.AdapterIdentifier, sizeof identity), 0);
    EXPECT_EQ(std::memcmp(&mode, &var.DisplayMode, sizeof mode), 0);
    EXPECT_STREQ(GetAdapterDriver(), "fake_d3d9.dll");
}

TEST_F(Releasing, ReleaseDirectXBeforeInitDirectXReleasesNothing) {
    EXPECT_EQ(ReleaseDirectX(), 0);
    EXPECT_EQ(ReleaseResource(), 0);
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(Releasing, ReleaseDirectXTwiceReleasesNothingTheSecondTime) {
    Start();
    ASSERT_EQ(ReleaseDirectX(), 0);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseDirectX(), 0);

    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(Releasing, ReleaseDirectXAfterAFailedStartReleasesWhatWasMade) {
    fake::Fail("IDirect3DDevice9::CreateDepthStencilSurface", D3DERR_OUTOFVIDEOMEMORY, 2);
    ASSERT_EQ(InitDirectX(), D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(var.lpFlipZBuffer[1], nullptr);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseDirectX(), 0);

    EXPECT_EQ(fake::Alive(), 0);
    EXPECT_EQ(fake::CountOf("IDirect3DTexture9::Release"), 3) << "effect and both flip textures";
    EXPECT_EQ(fake::Calls().back(), "IDirect3D9::Release(d3d9)");
}

TEST_F(Releasing, ReleaseDirectXAfterDeviceCreationFailedReleasesDirect3D) {
    fake::FailAlways("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE);
    ASSERT_EQ(InitDirectX(), E_FAIL);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseDirectX(), 0);

    EXPECT_EQ(fake::Calls(), Calls{"IDirect3D9::Release(d3d9)"});
}

TEST_F(Releasing, TheTargetsCanBeMadeAgainAfterReleaseResource) {
    Start();
    ReleaseResource();
    EXPECT_EQ(CreateResource(), 0);
    EXPECT_NE(var.lpFlipTexture[1], nullptr);
    EXPECT_EQ(fake::Device().renderTarget, var.lpBackSurface);
}

} // namespace
} // namespace graphics_test
