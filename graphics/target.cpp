#include "graphics/target.h"

#include "app/window.h"
#include "graphics/graphics.h"
#include "graphics/services.h"

namespace {

constexpr D3DCOLOR kTransparentBlack = 0x00000000;

// What a slot was asked for, and what it holds now.
struct RenderTarget {
    BOOL bInUse;
    UINT nWidth; // as asked: 0 follows the back buffer
    UINT nHeight;
    D3DFORMAT Format; // as asked: D3DFMT_UNKNOWN follows the back buffer
    DWORD dwFlags;
    IDirect3DTexture9 *lpTexture;
    IDirect3DSurface9 *lpSurface;     // level 0 of lpTexture
    IDirect3DSurface9 *lpZBuffer;     // RENDER_TARGET_DEPTH only
    IDirect3DSurface9 *lpKeptSurface; // RENDER_TARGET_KEEP: the copy in system memory
    BOOL bKept;                       // lpKeptSurface holds the last contents
};

// What a BeginRenderTarget found; it holds a reference to each surface.
struct Saved {
    int nIndex;
    IDirect3DSurface9 *lpTarget;
    IDirect3DSurface9 *lpZBuffer;
    D3DVIEWPORT9 Viewport;
};

struct {
    RenderTarget slots[RENDER_TARGET_COUNT];
    Saved saved[RENDER_TARGET_NESTING];
    int nDepth;
} targets;

bool ValidIndex(int index) { return index >= 0 && index < RENDER_TARGET_COUNT; }

template <class Interface> void ReleaseInterface(Interface *&object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// `operation` names the caller in the message.
HRESULT Fail(const char *operation, const char *step, HRESULT hr) {
    char message[128];
    wsprintfA(message, "%s : %s\n", operation, step);
    ShowMessage(message, "Error");
    return hr;
}

UINT Width(const RenderTarget &target) {
    return target.nWidth != 0 ? target.nWidth : var.d3dpp.BackBufferWidth;
}
UINT Height(const RenderTarget &target) {
    return target.nHeight != 0 ? target.nHeight : var.d3dpp.BackBufferHeight;
}
D3DFORMAT Format(const RenderTarget &target) {
    return target.Format != D3DFMT_UNKNOWN ? target.Format : var.d3dpp.BackBufferFormat;
}

// The device objects of a slot; the copy in system memory stays.
void ReleaseDeviceObjects(RenderTarget &target) {
    ReleaseInterface(target.lpZBuffer);
    ReleaseInterface(target.lpSurface);
    ReleaseInterface(target.lpTexture);
}

// The saved targets of the BeginRenderTarget calls not yet ended.
void DropSaved() {
    while (targets.nDepth > 0) {
        Saved &saved = targets.saved[--targets.nDepth];
        ReleaseInterface(saved.lpTarget);
        ReleaseInterface(saved.lpZBuffer);
    }
}

// The kept copy, where it is of the target's present size, or transparent
// black.
HRESULT FillTarget(RenderTarget &target, const char *operation) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (target.lpKeptSurface != nullptr) {
        D3DSURFACE_DESC desc = {};
        target.lpKeptSurface->GetDesc(&desc);
        if (desc.Width != Width(target) || desc.Height != Height(target)) {
            ReleaseInterface(target.lpKeptSurface);
            target.bKept = FALSE;
        }
    }
    if ((target.dwFlags & RENDER_TARGET_KEEP) != 0 && target.lpKeptSurface == nullptr) {
        const HRESULT hr =
            device->CreateOffscreenPlainSurface(Width(target), Height(target), Format(target),
                                                D3DPOOL_SYSTEMMEM, &target.lpKeptSurface, nullptr);
        if (FAILED(hr)) {
            return Fail(operation, "CreateOffscreenPlainSurface", hr);
        }
    }
    if (target.bKept) {
        const HRESULT hr =
            device->UpdateSurface(target.lpKeptSurface, nullptr, target.lpSurface, nullptr);
        return FAILED(hr) ? Fail(operation, "UpdateSurface", hr) : hr;
    }
    const HRESULT hr = device->ColorFill(target.lpSurface, nullptr, kTransparentBlack);
    return FAILED(hr) ? Fail(operation, "ColorFill", hr) : hr;
}

// The texture, its level and the depth buffer of a slot, at its present size.
HRESULT MakeDeviceObjects(RenderTarget &target, const char *operation) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    HRESULT hr = device->CreateTexture(Width(target), Height(target), 1, D3DUSAGE_RENDERTARGET,
                                       Format(target), D3DPOOL_DEFAULT, &target.lpTexture, nullptr);
    if (FAILED(hr)) {
        return Fail(operation, "CreateTexture", hr);
    }
    hr = target.lpTexture->GetSurfaceLevel(0, &target.lpSurface);
    if (FAILED(hr)) {
        return Fail(operation, "GetSurfaceLevel", hr);
    }
    if ((target.dwFlags & RENDER_TARGET_DEPTH) != 0) {
        // NOTE: not the device's depth buffer, which follows the back buffer's
        // multisampling; a depth buffer must match its target's (Windows
        // refuses the pair, Wine lets it pass).
        const D3DFORMAT depthFormat =
            var.d3dpp.EnableAutoDepthStencil ? var.d3dpp.AutoDepthStencilFormat : D3DFMT_D16;
        hr = device->CreateDepthStencilSurface(Width(target), Height(target), depthFormat,
                                               D3DMULTISAMPLE_NONE, 0, FALSE, &target.lpZBuffer,
                                               nullptr);
        if (FAILED(hr)) {
            return Fail(operation, "CreateDepthStencilSurface", hr);
        }
    }
    return FillTarget(target, operation);
}

HRESULT TargetsOnLost() {
    DropSaved();
    for (RenderTarget &target : targets.slots) {
        ReleaseDeviceObjects(target);
    }
    return S_OK;
}

// A slot that cannot be made again fails the restore, which ends the program.
HRESULT TargetsOnReset() {
    for (RenderTarget &target : targets.slots) {
        if (target.bInUse) {
            const HRESULT hr = MakeDeviceObjects(target, "OnRestore");
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

void ReleaseTargets() {
    DropSaved();
    for (int i = 0; i < RENDER_TARGET_COUNT; ++i) {
        ReleaseRenderTarget(i);
    }
}

} // namespace

HRESULT CreateRenderTarget(int index, UINT width, UINT height, D3DFORMAT format, DWORD flags) {
    if (var.lpD3DDevice == nullptr || !ValidIndex(index) || targets.slots[index].bInUse) {
        return E_FAIL;
    }
    SetDeviceService(SERVICE_TARGETS, {TargetsOnLost, TargetsOnReset, ReleaseTargets});
    RenderTarget &target = targets.slots[index];
    target = {TRUE, width, height, format, flags, nullptr, nullptr, nullptr, nullptr, FALSE};
    const HRESULT hr = MakeDeviceObjects(target, "CreateRenderTarget");
    if (FAILED(hr)) {
        ReleaseRenderTarget(index);
    }
    return hr;
}

void ReleaseRenderTarget(int index) {
    if (!ValidIndex(index)) {
        return;
    }
    RenderTarget &target = targets.slots[index];
    ReleaseDeviceObjects(target);
    ReleaseInterface(target.lpKeptSurface);
    target = {};
}

HRESULT BeginRenderTarget(int index, BOOL clear, D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr || !ValidIndex(index) || targets.slots[index].lpSurface == nullptr ||
        targets.nDepth == RENDER_TARGET_NESTING) {
        return E_FAIL;
    }
    const RenderTarget &target = targets.slots[index];
    Saved saved = {index, nullptr, nullptr, {}};
    device->GetViewport(&saved.Viewport);
    HRESULT hr = device->GetRenderTarget(0, &saved.lpTarget);
    if (FAILED(hr)) {
        return Fail("BeginRenderTarget", "GetRenderTarget", hr);
    }
    // None is a depth buffer too (D3DERR_NOTFOUND).
    device->GetDepthStencilSurface(&saved.lpZBuffer);
    hr = device->SetRenderTarget(0, target.lpSurface);
    if (FAILED(hr)) {
        ReleaseInterface(saved.lpTarget);
        ReleaseInterface(saved.lpZBuffer);
        return Fail("BeginRenderTarget", "SetRenderTarget", hr);
    }
    device->SetDepthStencilSurface(target.lpZBuffer);
    targets.saved[targets.nDepth++] = saved;
    if (clear) {
        const DWORD flags =
            target.lpZBuffer != nullptr ? D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER : D3DCLEAR_TARGET;
        hr = device->Clear(0, nullptr, flags, color, 1.0f, 0);
    }
    return hr;
}

HRESULT EndRenderTarget() {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr || targets.nDepth == 0) {
        return E_FAIL;
    }
    Saved &saved = targets.saved[--targets.nDepth];
    RenderTarget &target = targets.slots[saved.nIndex];
    HRESULT hr = S_OK;
    if (target.lpKeptSurface != nullptr && target.lpSurface != nullptr) {
        hr = device->GetRenderTargetData(target.lpSurface, target.lpKeptSurface);
        target.bKept = SUCCEEDED(hr);
    }
    const HRESULT set = device->SetRenderTarget(0, saved.lpTarget);
    device->SetDepthStencilSurface(saved.lpZBuffer);
    // SetRenderTarget made the viewport the whole target.
    device->SetViewport(&saved.Viewport);
    ReleaseInterface(saved.lpTarget);
    ReleaseInterface(saved.lpZBuffer);
    return FAILED(hr) ? hr : set;
}

IDirect3DTexture9 *GetRenderTargetTexture(int index) {
    return ValidIndex(index) ? targets.slots[index].lpTexture : nullptr;
}
