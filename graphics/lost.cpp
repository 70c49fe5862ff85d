#include "graphics/graphics.h"

#include "app/window.h"
#include "resources/font.h"
#include "shader/shader.h"

namespace {

// OnLost is tried this many times, with no pause between, before a reset
// is given up.
constexpr int kOnLostAttempts = 31;
// How long a frame waits while the device stays lost.
constexpr DWORD kLostPauseMs = 250;
// Texture stages (pixel samplers) a device can have bound.
constexpr DWORD kTextureStages = 16;

// An error recovery cannot get past: the program ends through its message
// loop.
HRESULT FailAndQuit(const char *message, HRESULT hr) {
    ShowMessage(message, "Error");
    PostQuitMessage(0);
    return hr;
}

// NOTE: the device holds references of its own to what is bound to it. A
// flip texture left on a stage, or a flip buffer left as the target, would
// outlive its Release, and Reset refuses while any default-pool object lives
// (Windows' rule, which DXVK follows; Wine's own Direct3D lets it pass). So
// before the release the device is given back the swap chain's own surfaces
// and no textures.
void UnbindResources() {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return;
    }
    for (DWORD stage = 0; stage < kTextureStages; ++stage) {
        device->SetTexture(stage, nullptr);
    }
    if (var.lpBackSurface != nullptr) {
        device->SetRenderTarget(0, var.lpBackSurface);
    }
    device->SetDepthStencilSurface(var.lpBackZBuffer);
}

// Everything bound to the device is released or told; the device is reset
// with the parameters it was created with; all of it is made or told again.
HRESULT ResetDevice() {
    HRESULT hr = OnLost();
    for (int attempt = 1; hr != 0 && attempt < kOnLostAttempts; ++attempt) {
        hr = OnLost();
    }
    if (hr != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnLost\n", E_FAIL);
    }
    hr = var.lpD3DDevice->Reset(&var.d3dpp);
    if (FAILED(hr)) {
        return FailAndQuit("HandlePresentParam : Failed : Reset\n", hr);
    }
    hr = OnRestore();
    if (hr != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnRestore\n", hr);
    }
    return 0;
}

template <class Interface> void ReleaseInterface(Interface *&object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

HRESULT ReleaseResource() {
    ReleaseInterface(var.lpEffectSurface);
    ReleaseInterface(var.lpEffectTexture);
    for (int i = 0; i < 2; ++i) {
        ReleaseInterface(var.lpFlipZBuffer[i]);
        ReleaseInterface(var.lpFlipSurface[i]);
        ReleaseInterface(var.lpFlipTexture[i]);
    }
    ReleaseInterface(var.lpBackZBuffer);
    ReleaseInterface(var.lpBackSurface);
    return 0;
}

HRESULT ReleaseDirectX() {
    for (MeshSlot &slot : var.MeshSlot) {
        EmptyMeshSlot(&slot);
    }
    ReleaseInterface(var.lpFontSprite);
    for (ID3DXFont *&font : var.lpFont) {
        ReleaseInterface(font);
    }
    RestoreFontSmoothing();
    // Every cached texture goes, whatever its count.
    for (TextureEntry &entry : var.TextureCache) {
        ReleaseInterface(entry.lpTexture);
    }
    ZeroMemory(var.TextureCache, sizeof var.TextureCache);
    ReleaseResource();
    ReleaseInterface(var.lpD3DDevice);
    ReleaseInterface(var.lpD3D);
    return 0;
}

HRESULT OnLost() {
    const HRESULT hr = ShaderOnLost();
    if (FAILED(hr)) {
        return hr;
    }
    // NOTE: the shared sprite is told once per font slot, 32 times in all.
    for (int i = 0; i < FONT_SLOT_COUNT; ++i) {
        if (FAILED(OnLostFont(i))) {
            return E_FAIL;
        }
    }
    UnbindResources();
    return ReleaseResource();
}

HRESULT OnRestore() {
    CreateResource();
    for (int i = 0; i < FONT_SLOT_COUNT; ++i) {
        OnRestoreFont(i);
    }
    return ShaderOnRestore();
}

HRESULT HandlePresentParam(HRESULT hr, BOOL bRetried) {
    switch (hr) {
    case D3DERR_DRIVERINTERNALERROR:
        return FailAndQuit("HandlePresentParam : Failed : D3DERR_DRIVERINTERNALERROR\n", E_FAIL);
    case D3DERR_DEVICELOST:
        if (var.lpD3DDevice == nullptr) {
            return E_FAIL;
        }
        if (!bRetried) {
            // Once more with the device's state as it is now.
            return HandlePresentParam(var.lpD3DDevice->TestCooperativeLevel(), TRUE);
        }
        // Still lost: nothing is released, the next frame tries again.
        Sleep(kLostPauseMs);
        return E_FAIL;
    case D3DERR_DEVICENOTRESET:
        return var.lpD3DDevice != nullptr ? ResetDevice() : E_FAIL;
    default:
        return E_FAIL;
    }
}
