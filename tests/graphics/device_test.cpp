// Device creation: InitDirectX, the presentation parameters and the three
// CreateDevice attempts, the adapter accessors.
#include "graphics_test.h"

#include <cstdint>
#include <cstring>
#include <functional>

namespace graphics_test {
namespace {

using DeviceCreation = GraphicsTest;

TEST_F(DeviceCreation, InitDirectXCreatesTheDeviceOnTheDefaultAdapterAndItsTargets) {
    ASSERT_EQ(InitDirectX(), 0);

    const Calls calls = Direct3DCalls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[0], "Direct3DCreate9(32)");
    EXPECT_EQ(calls[1], "IDirect3D9::GetAdapterIdentifier(0, 0x0)");
    EXPECT_EQ(calls[2], "IDirect3D9::GetAdapterDisplayMode(0)");
    char createDevice[80];
    std::snprintf(createDevice, sizeof createDevice, "IDirect3D9::CreateDevice(0, 1, 0x%llx, 0x40)",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(fake::FakeWindow())));
    EXPECT_EQ(calls[3], createDevice);
    EXPECT_EQ(calls[4], Dev("GetRenderTarget(0)")) << "CreateResource follows the device";

    ASSERT_EQ(fake::CreateDeviceCalls().size(), 1u);
    const fake::CreateDeviceCall &call = fake::CreateDeviceCalls()[0];
    EXPECT_EQ(call.adapter, 0u);
    EXPECT_EQ(call.deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(call.focusWindow, fake::FakeWindow());
    EXPECT_EQ(call.behavior, static_cast<DWORD>(D3DCREATE_HARDWARE_VERTEXPROCESSING));

    EXPECT_NE(GetDevice(), nullptr);
    EXPECT_EQ(GetDevice(), var.lpD3DDevice);
    EXPECT_NE(var.lpD3D, nullptr);
    EXPECT_EQ(var.bFlip, 0);
    EXPECT_EQ(var.dwFlipCount, 0u);
    EXPECT_EQ(var.dwAfterimageColor, 0u);
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(DeviceCreation, InitDirectXRecordsTheAdapterIdentityAndDisplayMode) {
    std::strcpy(fake::Adapter().identifier.Driver, "nv4_disp.dll");
    std::strcpy(fake::Adapter().identifier.Description, "Some Adapter 9000");
    fake::Adapter().identifier.VendorId = 0x10DE;
    fake::Adapter().displayMode = {1280, 1024, 75, D3DFMT_R5G6B5};

    ASSERT_EQ(InitDirectX(), 0);

    EXPECT_STREQ(GetAdapterDriver(), "nv4_disp.dll");
    EXPECT_STREQ(GetAdapterDescription(), "Some Adapter 9000");
    EXPECT_EQ(GetAdapterDriver(), var.AdapterIdentifier.Driver);
    EXPECT_EQ(GetAdapterDescription(), var.AdapterIdentifier.Description);
    EXPECT_EQ(var.AdapterIdentifier.VendorId, 0x10DEu);
    EXPECT_EQ(var.DisplayMode.Width, 1280u);
    EXPECT_EQ(var.DisplayMode.RefreshRate, 75u);
    EXPECT_EQ(var.DisplayMode.Format, D3DFMT_R5G6B5);
}

// Every member of the presentation parameters, for a window other than the
// default one so that nothing can come from elsewhere.
TEST_F(DeviceCreation, PresentationParametersComeFromTheWindowAndTheDisplayMode) {
    windowState.width = 640;
    windowState.height = 480;
    windowState.windowed = 0;
    fake::Adapter().displayMode = {1024, 768, 60, D3DFMT_R5G6B5};

    ASSERT_EQ(InitDirectX(), 0);

    ASSERT_EQ(fake::CreateDeviceCalls().size(), 1u);
    const D3DPRESENT_PARAMETERS &pp = fake::CreateDeviceCalls()[0].params;
    EXPECT_EQ(pp.BackBufferWidth, 640u);
    EXPECT_EQ(pp.BackBufferHeight, 480u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(pp.BackBufferCount, 1u);
    EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    EXPECT_EQ(pp.MultiSampleQuality, 0u);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(pp.hDeviceWindow, nullptr);
    EXPECT_EQ(pp.Windowed, 0);
    EXPECT_EQ(pp.EnableAutoDepthStencil, TRUE);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(pp.Flags, 0u);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(pp.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_DEFAULT));
    EXPECT_EQ(std::memcmp(&pp, &var.d3dpp, sizeof pp), 0) << "d3dpp keeps what CreateDevice got";
}

TEST_F(DeviceCreation, WindowedFlagReachesThePresentationParameters) {
    ASSERT_EQ(InitDirectX(), 0);
    EXPECT_EQ(fake::CreateDeviceCalls()[0].params.Windowed, 1);
    EXPECT_EQ(fake::CreateDeviceCalls()[0].params.BackBufferWidth, 800u);
    EXPECT_EQ(fake::CreateDeviceCalls()[0].params.BackBufferHeight, 600u);
}

struct Attempt {
    DWORD behavior;
    D3DMULTISAMPLE_TYPE multiSample;
};

struct FallbackCase {
    const char *name;
    bool fourSamples;
    bool hardwareVertexProcessing;
    std::vector<Attempt> attempts;
};
void PrintTo(const FallbackCase &c, std::ostream *os) { *os << c.name; }

class DeviceFallbacks : public GraphicsTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(DeviceFallbacks, StopAtTheFirstAttemptThatSucceeds) {
    const FallbackCase &c = GetParam();
    fake::Adapter().fourSamples = c.fourSamples;
    fake::Adapter().hardwareVertexProcessing = c.hardwareVertexProcessing;

    ASSERT_EQ(InitDirectX(), 0);

    const std::vector<fake::CreateDeviceCall> &calls = fake::CreateDeviceCalls();
    ASSERT_EQ(calls.size(), c.attempts.size());
    // Every member as the presentation table gives it; all others zero.
    D3DPRESENT_PARAMETERS expected = {};
    expected.BackBufferWidth = 800;
    expected.BackBufferHeight = 600;
    expected.BackBufferFormat = D3DFMT_X8R8G8B8;
    expected.BackBufferCount = 1;
    expected.SwapEffect = D3DSWAPEFFECT_DISCARD;
    expected.Windowed = TRUE;
    expected.EnableAutoDepthStencil = TRUE;
    expected.AutoDepthStencilFormat = D3DFMT_D16;
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("attempt " + std::to_string(i + 1));
        EXPECT_EQ(calls[i].adapter, 0u);
        EXPECT_EQ(calls[i].deviceType, D3DDEVTYPE_HAL);
        EXPECT_EQ(calls[i].focusWindow, fake::FakeWindow());
        EXPECT_EQ(calls[i].behavior, c.attempts[i].behavior);
        EXPECT_EQ(calls[i].params.MultiSampleType, c.attempts[i].multiSample);
        expected.MultiSampleType = c.attempts[i].multiSample;
        EXPECT_EQ(std::memcmp(&calls[i].params, &expected, sizeof expected), 0);
    }
    EXPECT_EQ(var.d3dpp.MultiSampleType, c.attempts.back().multiSample);
    EXPECT_EQ(var.d3dpp.MultiSampleQuality, 0u);
    EXPECT_NE(GetDevice(), nullptr);
    EXPECT_TRUE(fake::Messages().empty());
}

constexpr DWORD kHardware = D3DCREATE_HARDWARE_VERTEXPROCESSING;
constexpr DWORD kSoftware = D3DCREATE_SOFTWARE_VERTEXPROCESSING;

INSTANTIATE_TEST_SUITE_P(
    , DeviceFallbacks,
    ::testing::Values(
        FallbackCase{"FourSamplesInHardware", true, true, {{kHardware, D3DMULTISAMPLE_4_SAMPLES}}},
        FallbackCase{
            "NoFourSamples",
            false,
            true,
            {{kHardware, D3DMULTISAMPLE_4_SAMPLES}, {kHardware, D3DMULTISAMPLE_NONMASKABLE}}},
        FallbackCase{"NoHardwareVertexProcessing",
                     true,
                     false,
                     {{kHardware, D3DMULTISAMPLE_4_SAMPLES},
                      {kHardware, D3DMULTISAMPLE_NONMASKABLE},
                      {kSoftware, D3DMULTISAMPLE_NONMASKABLE}}}),
    [](const ::testing::TestParamInfo<FallbackCase> &info) { return info.param.name; });

TEST_F(DeviceCreation, AllThreeAttemptsFailingShowsTheMessageAndReturnsEFail) {
    fake::FailAlways("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE);

    EXPECT_EQ(InitDirectX(), E_FAIL);

    EXPECT_EQ(fake::CreateDeviceCalls().size(), 3u);
    EXPECT_EQ(fake::Messages(), Calls{"CreateDirectXDevice : Can't Create DirectX9 Device\n"});
    EXPECT_EQ(GetDevice(), nullptr);
    EXPECT_EQ(fake::CountOf("IDirect3DDevice9::"), 0) << "no render targets without a device";
    EXPECT_EQ(fake::CountOf("IDirect3D9::Release"), 0) << "InitDirectX releases nothing";
}

TEST_F(DeviceCreation, Direct3DCreate9ReturningNullFailsWithoutAMessage) {
    fake::Fail("Direct3DCreate9", E_FAIL);

    EXPECT_EQ(InitDirectX(), E_FAIL);

    EXPECT_EQ(Direct3DCalls(), Calls{"Direct3DCreate9(32)"});
    EXPECT_TRUE(fake::Messages().empty());
    EXPECT_EQ(var.lpD3D, nullptr);
}

struct AdapterFailure {
    const char *name;
    const char *call;
    const char *message;
    const char *lastCall;
};
void PrintTo(const AdapterFailure &c, std::ostream *os) { *os << c.name; }

class AdapterFailures : public GraphicsTest,
                        public ::testing::WithParamInterface<AdapterFailure> {};

TEST_P(AdapterFailures, ShowTheirMessageAndReturnTheFailingResult) {
    const AdapterFailure &c = GetParam();
    fake::Fail(c.call, D3DERR_INVALIDCALL);

    EXPECT_EQ(InitDirectX(), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::Messages(), Calls{c.message});
    EXPECT_EQ(Direct3DCalls().back(), c.lastCall) << "nothing runs after the failure";
    EXPECT_EQ(fake::CountOf("IDirect3D9::Release"), 0) << "InitDirectX releases nothing";
}

INSTANTIATE_TEST_SUITE_P(
    , AdapterFailures,
    ::testing::Values(AdapterFailure{"GetAdapterIdentifier", "IDirect3D9::GetAdapterIdentifier",
                                     "GetAdapterIdentifier : Failed\n",
                                     "IDirect3D9::GetAdapterIdentifier(0, 0x0)"},
                      AdapterFailure{"GetAdapterDisplayMode", "IDirect3D9::GetAdapterDisplayMode",
                                     "GetAdapterDisplayMode : Failed\n",
                                     "IDirect3D9::GetAdapterDisplayMode(0)"}),
    [](const ::testing::TestParamInfo<AdapterFailure> &info) { return info.param.name; });

TEST_F(DeviceCreation, InitDirectXReturnsTheFailureOfItsRenderTargets) {
    fake::Fail("IDirect3DDevice9::CreateTexture", D3DERR_OUTOFVIDEOMEMORY);

    EXPECT_EQ(InitDirectX(), D3DERR_OUTOFVIDEOMEMORY);

    EXPECT_EQ(fake::Messages(), Calls{"CreateResource : CreateTexture(var.lpEffectTexture)\n"});
    EXPECT_NE(GetDevice(), nullptr) << "the device stays for ReleaseDirectX";
}

TEST_F(DeviceCreation, InitDirectXZeroesTheWholeRecord) {
    var.bFlip = 1;
    var.dwFlipCount = 7;
    var.dwAfterimageColor = 0x80FFFFFF;
    var.d3dpp.Flags = 0xFFFFFFFF;

    ASSERT_EQ(InitDirectX(), 0);

    EXPECT_EQ(var.bFlip, 0);
    EXPECT_EQ(var.dwFlipCount, 0u);
    EXPECT_EQ(var.dwAfterimageColor, 0u);
    EXPECT_EQ(var.d3dpp.Flags, 0u);
}

TEST_F(DeviceCreation, GetDeviceIsNullBeforeInitDirectXAndAfterReleaseDirectX) {
    EXPECT_EQ(GetDevice(), nullptr);
    ASSERT_EQ(InitDirectX(), 0);
    EXPECT_NE(GetDevice(), nullptr);
    ReleaseDirectX();
    EXPECT_EQ(GetDevice(), nullptr);
}

TEST_F(DeviceCreation, CreateDirectXDeviceWithoutDirect3DReturnsEFail) {
    EXPECT_EQ(CreateDirectXDevice(), E_FAIL);
    EXPECT_TRUE(fake::Calls().empty());
    EXPECT_TRUE(fake::Messages().empty());
}

// ---- Without a device -------------------------------------------------------

struct NoDeviceCase {
    const char *name;
    std::function<HRESULT()> call;
};
void PrintTo(const NoDeviceCase &c, std::ostream *os) { *os << c.name; }

class WithoutDevice : public GraphicsTest, public ::testing::WithParamInterface<NoDeviceCase> {};

TEST_P(WithoutDevice, ReturnsEFailWithoutTouchingAnything) {
    EXPECT_EQ(GetParam().call(), E_FAIL);
    EXPECT_TRUE(fake::Calls().empty()) << ::testing::PrintToString(fake::Calls());
}

const D3DXMATRIX kIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
const D3DXVECTOR3 kEye(0, 0, -10), kAt(0, 0, 0), kUp(0, 1, 0);

INSTANTIATE_TEST_SUITE_P(
    , WithoutDevice,
    ::testing::Values(
        NoDeviceCase{"CreateResource", [] { return CreateResource(); }},
        NoDeviceCase{"Clear", [] { return Clear(0xFF000000, 0); }},
        NoDeviceCase{"ClearWithFade", [] { return Clear(0xFF000000, 1); }},
        NoDeviceCase{"ClearInFlipMode",
                     [] {
                         EnableFlip();
                         return Clear(0xFF000000, 0);
                     }},
        NoDeviceCase{"ClearAndBeginScene", [] { return ClearAndBeginScene(0xFF000000, 0); }},
        NoDeviceCase{"Flip", [] { return Flip(0xFFFFFFFF); }},
        NoDeviceCase{"BeginScene", [] { return BeginScene(); }},
        NoDeviceCase{"EndScene", [] { return EndScene(); }},
        NoDeviceCase{"SetFlipRenderTarget", [] { return SetFlipRenderTarget(); }},
        NoDeviceCase{"SetFlipDepthStencil", [] { return SetFlipDepthStencil(); }},
        NoDeviceCase{"SetBackBufferTarget", [] { return SetBackBufferTarget(); }},
        NoDeviceCase{"SetRenderStateFlags", [] { return SetRenderStateFlags(0x211); }},
        NoDeviceCase{"ReapplyRenderStateFlags", [] { return ReapplyRenderStateFlags(); }},
        NoDeviceCase{"SetFog", [] { return SetFog(1.0f, 10.0f, 0xFF808080); }},
        NoDeviceCase{"SetProjection", [] { return SetProjection(1.0f, 1.0f, 1.0f, 100.0f); }},
        NoDeviceCase{"SetProjectionMatrix", [] { return SetProjectionMatrix(&kIdentity); }},
        NoDeviceCase{"SetView", [] { return SetView(&kEye, &kAt, &kUp); }},
        NoDeviceCase{"SetViewMatrix", [] { return SetViewMatrix(&kIdentity); }},
        NoDeviceCase{"SetWorldMatrix", [] { return SetWorldMatrix(&kIdentity); }},
        NoDeviceCase{"SetDirectionalLight",
                     [] { return SetDirectionalLight(1, 0, 1, 1, 1, 1, &kAt); }},
        NoDeviceCase{"SetDirectionalLightOff",
                     [] { return SetDirectionalLight(0, 0, 1, 1, 1, 1, nullptr); }},
        NoDeviceCase{"DrawTextureRect",
                     [] { return DrawTextureRect(0, 0, 1, 1, 0xFFFFFFFF, 0, 0, 1, 1); }},
        NoDeviceCase{"DrawRect", [] { return DrawRect(0, 0, 1, 1, 0xFFFFFFFF); }},
        NoDeviceCase{"DrawRectCentered", [] { return DrawRectCentered(0, 0, 1, 1, 0xFFFFFFFF); }},
        NoDeviceCase{"CreateDirectXDevice", [] { return CreateDirectXDevice(); }}),
    [](const ::testing::TestParamInfo<NoDeviceCase> &info) { return info.param.name; });

TEST_F(DeviceCreation, FlagAndColourSettersWorkWithoutADevice) {
    EXPECT_EQ(EnableFlip(), 0);
    EXPECT_EQ(var.bFlip, 1);
    EXPECT_EQ(SetAfterimageColor(0x80FFFFFF), 0);
    EXPECT_EQ(var.dwAfterimageColor, 0x80FFFFFFu);
    EXPECT_EQ(DisableFlip(), 0);
    EXPECT_EQ(var.bFlip, 0);
    EXPECT_EQ(GetFlipTexture(), nullptr);
    EXPECT_EQ(GetFlipSurface(), nullptr);
    EXPECT_TRUE(fake::Calls().empty());
}

} // namespace
} // namespace graphics_test
