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

struct ModeRequest {
    int width, height, windowed;
};

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
    // OnLost has run and the device waits for a Reset that succeeds (one
    // answered D3DERR_DEVICELOST): nothing is released again and no frame is
    // drawn until then.
    bool released;
    // A mode asked for while the device could not take it, made at the reset
    // that brings the device back.
    bool pending;
    ModeRequest pendingMode;
    // The presentation interval of every reset (SetVerticalSync).
    UINT presentInterval;
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

// The mode the window state holds: the back buffer's.
ModeRequest CurrentMode() { return {GetWidth(), GetHeight(), IsWindowed()}; }

// NOTE: a Reset that answers D3DERR_DEVICELOST met a device lost again
// after TestCooperativeLevel said it could be reset: the device waits for
// the next chance as after a lost Present, with its objects released, and
// the mode asked for is kept for that chance.
HRESULT WaitForReset(const ModeRequest &mode) {
    loss.pending = true;
    loss.pendingMode = mode;
    return D3DERR_DEVICELOST;
}

// Resets the device to `mode`: everything bound to it released or told
// (unless a reset that found the device lost did so already), the
// parameters from the mode, the window styled by Windows' rules for it, all
// of it made or told again. A mode the device refuses (`switching`: asked
// for by the program) is shown, and the mode before is taken again.
HRESULT ResetTo(ModeRequest mode, bool switching) {
    if (!loss.released) {
        if (LoseDevice() != 0) {
            return FailAndQuit("HandlePresentParam : Failed : OnLost\n", E_FAIL);
        }
        loss.released = true;
    }
    const ModeRequest before = CurrentMode();
    D3DPRESENT_PARAMETERS &pp = var.d3dpp;
    HRESULT refused = S_OK;
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!mode.windowed) {
            PrepareFullScreen();
        }
        pp.BackBufferWidth = static_cast<UINT>(mode.width);
        pp.BackBufferHeight = static_cast<UINT>(mode.height);
        pp.Windowed = mode.windowed != 0 ? TRUE : FALSE;
        pp.FullScreen_RefreshRateInHz = 0;
        pp.PresentationInterval = loss.presentInterval;
        hr = var.lpD3DDevice->Reset(&pp);
        if (hr == D3DERR_DEVICELOST) {
            return WaitForReset(mode);
        }
        if (SUCCEEDED(hr) || !switching) {
            break;
        }
        // The device is not reset yet: it can still take the mode before.
        ShowMessage("ChangeDisplayMode : Failed : Reset\n", "Error");
        refused = hr;
        mode = before;
        switching = false;
    }
    if (FAILED(hr)) {
        return FailAndQuit("HandlePresentParam : Failed : Reset\n", hr);
    }
    loss.released = false;
    loss.pending = false;
    SetWindowMode(mode.width, mode.height, mode.windowed);
    hr = OnRestore();
    if (hr != 0) {
        return FailAndQuit("HandlePresentParam : Failed : OnRestore\n", hr);
    }
    return refused;
}

// The reset of the loss path: to the mode a program asked for meanwhile, or
// with the parameters the device had.
HRESULT ResetDevice() {
    const HRESULT hr =
        loss.pending ? ResetTo(loss.pendingMode, true) : ResetTo(CurrentMode(), false);
    if (hr == D3DERR_DEVICELOST) {
        Sleep(kLostPauseMs); // as a frame waits while the device stays lost
        return E_FAIL;
    }
    return hr;
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
    loss.released = false;
    loss.pending = false;
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
    const ModeRequest mode = {width, height, windowed != 0 ? 1 : 0};
    // A lost device takes no mode now: the reset that brings it back does.
    HRESULT hr = var.lpD3DDevice->TestCooperativeLevel();
    if (FAILED(hr) && hr != D3DERR_DEVICENOTRESET) {
        loss.pending = true;
        loss.pendingMode = mode;
        return hr;
    }
    return ResetTo(mode, true);
}

HRESULT SetVerticalSync(BOOL on) {
    const UINT interval = on ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
    if (interval == loss.presentInterval) {
        return S_OK;
    }
    loss.presentInterval = interval;
    if (var.lpD3DDevice == nullptr) {
        return S_OK; // InitDirectX creates the device with it
    }
    const ModeRequest mode = loss.pending ? loss.pendingMode : CurrentMode();
    return ChangeDisplayMode(mode.width, mode.height, mode.windowed);
}

BOOL IsDeviceWaitingForReset() { return loss.released ? TRUE : FALSE; }

UINT GetPresentInterval() { return loss.presentInterval; }
