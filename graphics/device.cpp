#include "graphics/graphics.h"

#include "app/window.h"
#include "graphics/services.h"

namespace {

struct DeviceAttempt {
    DWORD behavior;
    D3DMULTISAMPLE_TYPE multiSample;
};

// No capability query comes first: these fallbacks are the whole strategy.
// NOTE: the fallbacks ask for D3DMULTISAMPLE_NONMASKABLE (1), not for
// D3DMULTISAMPLE_NONE (0).
constexpr DeviceAttempt kDeviceAttempts[] = {
    {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DMULTISAMPLE_4_SAMPLES},
    {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DMULTISAMPLE_NONMASKABLE},
    {D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DMULTISAMPLE_NONMASKABLE},
};

} // namespace

DirectXVar var;

HRESULT InitDirectX() {
    ZeroMemory(&var, sizeof var);

    var.lpD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (var.lpD3D == nullptr) {
        return E_FAIL;
    }
    HRESULT hr = var.lpD3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &var.AdapterIdentifier);
    if (FAILED(hr)) {
        ShowMessage("GetAdapterIdentifier : Failed\n", "Error");
        return hr;
    }
    hr = var.lpD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &var.DisplayMode);
    if (FAILED(hr)) {
        ShowMessage("GetAdapterDisplayMode : Failed\n", "Error");
        return hr;
    }
    hr = CreateDirectXDevice();
    if (hr != 0) {
        return hr;
    }
    return CreateResource();
}

HRESULT CreateDirectXDevice() {
    if (var.lpD3D == nullptr) {
        return E_FAIL;
    }

    D3DPRESENT_PARAMETERS &pp = var.d3dpp;
    ZeroMemory(&pp, sizeof pp);
    pp.BackBufferWidth = static_cast<UINT>(GetWidth());
    pp.BackBufferHeight = static_cast<UINT>(GetHeight());
    pp.BackBufferFormat = var.DisplayMode.Format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = IsWindowed();
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = GetPresentInterval();

    for (const DeviceAttempt &attempt : kDeviceAttempts) {
        // d3dpp keeps the values of the attempt that succeeds: Reset reuses them.
        pp.MultiSampleType = attempt.multiSample;
        if (SUCCEEDED(var.lpD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetWindowHandle(),
                                              attempt.behavior, &pp, &var.lpD3DDevice))) {
            return 0;
        }
    }
    ShowMessage("CreateDirectXDevice : Can't Create DirectX9 Device\n", "Error");
    return E_FAIL;
}

IDirect3DDevice9 *GetDevice() { return var.lpD3DDevice; }

const char *GetAdapterDriver() { return var.AdapterIdentifier.Driver; }

const char *GetAdapterDescription() { return var.AdapterIdentifier.Description; }
