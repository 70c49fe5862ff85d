#include "graphics/graphics.h"

#include "app/window.h"
#include "app/window_state.h"
#include "graphics/renderstate.h"
#include "graphics/services.h"

namespace {

// OnLost is tried this many times, with no pause between, before a reset
// is given up.
constexpr int kOnLostAttempts = 31;
// How long a frame waits while the device stays lost.
constexpr DWORD kLostPauseMs = 250;
// Texture stages (pixel samplers) a device can have bound.
constexpr DWORD kTextureStages = 16;
// Places for the program's notification pairs.
constexpr int kNotificationPlaces = 256;

struct Registration {
    DeviceNotification lost;
    DeviceNotification reset;
    void *context;
    bool removed; // taken out while a pass ran; dropped after it
    bool waiting; // added during a loss: its reset function waits for the next one
};

// The program's pairs in the order of registration, and fw's own services.
struct LossState {
    Registration registrations[kNotificationPlaces];
    int count;
    int passes;    // notification passes running (a notification may reset again)
    bool lossOpen; // from the lost pass to the end of the reset pass
    DeviceServiceCalls services[SERVICE_COUNT];
    BOOL altEnterToggles;
    int windowedWidth; // the size Alt+Enter goes back to from full screen
    int windowedHeight;
} loss;

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

// Drops the registrations removed during a pass, once no pass runs.
void Compact() {
    if (loss.passes != 0) {
        return;
    }
    int kept = 0;
    for (int i = 0; i < loss.count; ++i) {
        if (!loss.registrations[i].removed) {
            loss.registrations[kept++] = loss.registrations[i];
        }
    }
    loss.count = kept;
}

// One pass over the pairs registered when it starts (newest first for the
// lost functions, oldest first for the reset functions); the first failure
// ends it. Pairs added meanwhile wait for the next pass; removed ones are
// skipped.
HRESULT Notify(bool lost) {
    loss.lossOpen = lost;
    const int count = loss.count;
    ++loss.passes;
    HRESULT hr = S_OK;
    for (int n = 0; n < count && SUCCEEDED(hr); ++n) {
        const Registration &entry = loss.registrations[lost ? count - 1 - n : n];
        const DeviceNotification function = lost ? entry.lost : entry.reset;
        if (!entry.removed && !entry.waiting && function != nullptr) {
            hr = function(entry.context);
        }
    }
    if (!lost) {
        for (int i = 0; i < loss.count; ++i) {
            loss.registrations[i].waiting = false;
        }
    }
    --loss.passes;
    Compact();
    return hr;
}

// OnLost, tried until it succeeds or the attempts are used up.
HRESULT LoseDevice() {
    HRESULT hr = OnLost();
    for (int attempt = 1; hr != 0 && attempt < kOnLostAttempts; ++attempt) {
        hr = OnLost();
    }
    return hr;
}

// Everything bound to the device is released or told; the device is reset
// with the parameters it was created with; all of it is made or told again.
HRESULT ResetDevice() {
    if (LoseDevice() != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnLost\n", E_FAIL);
    }
    HRESULT hr = var.lpD3DDevice->Reset(&var.d3dpp);
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
    // The mesh slots, then the font sprite and the fonts.
    for (const DeviceServiceCalls &service : loss.services) {
        if (service.release != nullptr) {
            service.release();
        }
    }
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
    HRESULT hr = Notify(true);
    if (FAILED(hr)) {
        return hr;
    }
    // The shaders and effects, then the fonts and their sprite.
    for (int i = SERVICE_COUNT - 1; i >= 0; --i) {
        if (loss.services[i].lost != nullptr && FAILED(hr = loss.services[i].lost())) {
            return hr;
        }
    }
    UnbindResources();
    return ReleaseResource();
}

HRESULT OnRestore() {
    // NOTE: without its render targets the program could not draw a frame.
    HRESULT hr = CreateResource();
    if (hr != 0) {
        return hr;
    }
    // The fonts and their sprite, then the shaders and effects.
    for (const DeviceServiceCalls &service : loss.services) {
        if (service.reset != nullptr && (hr = service.reset()) != 0) {
            return hr;
        }
    }
    // The device has its default states again; the stored word is put back.
    ReapplyRenderStateFlags();
    return Notify(false);
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

void SetDeviceService(DeviceService service, const DeviceServiceCalls &calls) {
    if (service >= 0 && service < SERVICE_COUNT) {
        loss.services[service] = calls;
    }
}

HRESULT AddDeviceNotification(DeviceNotification lost, DeviceNotification reset, void *context) {
    if (lost == nullptr && reset == nullptr) {
        return E_FAIL;
    }
    if (loss.count == kNotificationPlaces) {
        Compact();
    }
    if (loss.count == kNotificationPlaces) {
        return E_FAIL;
    }
    loss.registrations[loss.count++] = {lost, reset, context, false, loss.lossOpen};
    return S_OK;
}

HRESULT RemoveDeviceNotification(DeviceNotification lost, DeviceNotification reset, void *context) {
    for (int i = loss.count - 1; i >= 0; --i) {
        Registration &entry = loss.registrations[i];
        if (!entry.removed && entry.lost == lost && entry.reset == reset &&
            entry.context == context) {
            entry.removed = true;
            Compact();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT ChangeDisplayMode(int width, int height, int windowed) {
    if (var.lpD3DDevice == nullptr || width <= 0 || height <= 0) {
        return E_FAIL;
    }
    // A lost device takes no mode; the loss path resets it when it can.
    HRESULT hr = var.lpD3DDevice->TestCooperativeLevel();
    if (FAILED(hr) && hr != D3DERR_DEVICENOTRESET) {
        return hr;
    }
    if (LoseDevice() != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnLost\n", E_FAIL);
    }
    const D3DPRESENT_PARAMETERS old = var.d3dpp;
    var.d3dpp.BackBufferWidth = static_cast<UINT>(width);
    var.d3dpp.BackBufferHeight = static_cast<UINT>(height);
    var.d3dpp.Windowed = windowed != 0 ? TRUE : FALSE;
    var.d3dpp.FullScreen_RefreshRateInHz = 0;
    hr = var.lpD3DDevice->Reset(&var.d3dpp);
    HRESULT refused = S_OK;
    if (FAILED(hr)) {
        // The device is not reset yet: it can still take the old mode.
        ShowMessage("ChangeDisplayMode : Failed : Reset\n", "Error");
        refused = hr;
        var.d3dpp = old;
        hr = var.lpD3DDevice->Reset(&var.d3dpp);
        if (FAILED(hr)) {
            return FailAndQuit("HandlePresentParam : Failed : Reset\n", hr);
        }
    }
    SetWindowMode(static_cast<int>(var.d3dpp.BackBufferWidth),
                  static_cast<int>(var.d3dpp.BackBufferHeight), var.d3dpp.Windowed ? 1 : 0);
    hr = OnRestore();
    if (hr != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnRestore\n", hr);
    }
    return refused;
}

void SetAltEnterToggles(BOOL toggles) { loss.altEnterToggles = toggles; }

HRESULT ToggleDisplayMode() {
    if (!loss.altEnterToggles || var.lpD3DDevice == nullptr) {
        return S_FALSE;
    }
    if (var.d3dpp.Windowed) {
        loss.windowedWidth = static_cast<int>(var.d3dpp.BackBufferWidth);
        loss.windowedHeight = static_cast<int>(var.d3dpp.BackBufferHeight);
        return ChangeDisplayMode(static_cast<int>(var.DisplayMode.Width),
                                 static_cast<int>(var.DisplayMode.Height), 0);
    }
    // A program that started full screen goes back to a window of its size.
    if (loss.windowedWidth == 0) {
        loss.windowedWidth = static_cast<int>(var.d3dpp.BackBufferWidth);
        loss.windowedHeight = static_cast<int>(var.d3dpp.BackBufferHeight);
    }
    return ChangeDisplayMode(loss.windowedWidth, loss.windowedHeight, 1);
}
