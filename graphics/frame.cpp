#include "graphics/graphics.h"

#include "app/window.h"
#include "graphics/quad.h"
#include "graphics/renderstate.h"
#include "graphics/services.h"

namespace {

// Alpha blending of source alpha over the target, stage 0 texture times
// diffuse, linear filtering; depth, fog, culling and lighting off.
constexpr DWORD kOverlayStates = RSF_BLEND | RSF_MODULATE | RSF_LINEAR;

constexpr D3DCOLOR kTransparentBlack = 0x00000000;

HRESULT Fail(const char *message, HRESULT hr) {
    ShowMessage(message, "Error");
    return hr;
}

// A device that waits for its reset has no render targets: nothing is
// drawn, without a message.
bool CanDraw() { return var.lpD3DDevice != nullptr && !IsDeviceWaitingForReset(); }

DWORD CurrentFlip() { return var.dwFlipCount & 1; }
DWORD PreviousFlip() { return (var.dwFlipCount - 1) & 1; }

float TargetWidth() { return static_cast<float>(var.d3dpp.BackBufferWidth); }
float TargetHeight() { return static_cast<float>(var.d3dpp.BackBufferHeight); }

DWORD TargetClearFlags() {
    return var.d3dpp.EnableAutoDepthStencil ? D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER : D3DCLEAR_TARGET;
}

// A W x H render-target texture in the back-buffer format, one level.
HRESULT CreateTargetTexture(IDirect3DTexture9 **texture) {
    return var.lpD3DDevice->CreateTexture(var.d3dpp.BackBufferWidth, var.d3dpp.BackBufferHeight, 1,
                                          D3DUSAGE_RENDERTARGET, var.d3dpp.BackBufferFormat,
                                          D3DPOOL_DEFAULT, texture, nullptr);
}

HRESULT CreateFlipBuffer(int i) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    HRESULT hr = CreateTargetTexture(&var.lpFlipTexture[i]);
    if (FAILED(hr)) {
        return Fail("CreateResource : CreateTexture(var.lpFlipTexture)\n", hr);
    }
    hr = var.lpFlipTexture[i]->GetSurfaceLevel(0, &var.lpFlipSurface[i]);
    if (FAILED(hr)) {
        return Fail("CreateResource : GetSurfaceLevel(var.lpFlipTexture)\n", hr);
    }
    // The depth buffer must match the flip surface, not the back buffer,
    // whose multisampling a texture level does not have.
    D3DSURFACE_DESC desc = {};
    var.lpFlipSurface[i]->GetDesc(&desc);
    hr = device->CreateDepthStencilSurface(
        var.d3dpp.BackBufferWidth, var.d3dpp.BackBufferHeight, var.d3dpp.AutoDepthStencilFormat,
        desc.MultiSampleType, desc.MultiSampleQuality, FALSE, &var.lpFlipZBuffer[i], nullptr);
    if (FAILED(hr)) {
        return Fail("CreateResource : CreateDepthStencilSurface(var.lpFlipZBuffer)\n", hr);
    }
    hr = device->SetRenderTarget(0, var.lpFlipSurface[i]);
    if (FAILED(hr)) {
        return Fail("CreateResource : SetRenderTarget(var.lpFlipSurface)\n", hr);
    }
    hr = device->SetDepthStencilSurface(var.lpFlipZBuffer[i]);
    if (FAILED(hr)) {
        return Fail("CreateResource : SetDepthStencilSurface(var.lpFlipSurface)\n", hr);
    }
    hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kTransparentBlack, 1.0f, 0);
    if (FAILED(hr)) {
        return Fail("CreateResource : Clear(var.lpFlipSurface)\n", hr);
    }
    return 0;
}

// Flip mode: the frame goes into the next flip buffer, which starts as the
// clear colour with the previous frame laid over it in dwAfterimageColor.
HRESULT ClearFlipBuffer(D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    ++var.dwFlipCount;
    HRESULT hr = device->SetRenderTarget(0, var.lpFlipSurface[CurrentFlip()]);
    if (FAILED(hr)) {
        return Fail("Clear : Failed : SetRenderTarget\n", hr);
    }
    hr = device->SetDepthStencilSurface(var.lpFlipZBuffer[CurrentFlip()]);
    if (FAILED(hr)) {
        return Fail("Clear : Failed : SetDepthStencilSurface\n", hr);
    }
    if (var.d3dpp.EnableAutoDepthStencil) {
        hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0);
        if (FAILED(hr)) {
            return Fail("Clear : Failed : D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER\n", hr);
        }
    } else {
        hr = device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
        if (FAILED(hr)) {
            return Fail("Clear : Failed : D3DCLEAR_TARGET\n", hr);
        }
    }
    hr = device->BeginScene();
    if (FAILED(hr)) {
        return Fail("Clear : Failed : BeginScene\n", hr);
    }
    SetRenderStateFlags(kOverlayStates);
    // The overlay is drawn even with alpha 0; the texture's result is the result.
    hr = device->SetTexture(0, var.lpFlipTexture[PreviousFlip()]);
    DrawRect(0.0f, 0.0f, TargetWidth(), TargetHeight(), var.dwAfterimageColor);
    EndScene();
    device->SetTexture(0, nullptr);
    return hr;
}

// Direct mode with fade: the old back-buffer contents are kept and `color` is
// blended over them by its alpha.
HRESULT FadeBackBuffer(D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    HRESULT hr = E_FAIL;
    if (var.d3dpp.EnableAutoDepthStencil) {
        hr = device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, color, 1.0f, 0);
    }
    SetRenderStateFlags(kOverlayStates);
    device->SetTexture(0, nullptr);
    device->BeginScene();
    DrawRect(0.0f, 0.0f, TargetWidth(), TargetHeight(), color);
    device->EndScene();
    return hr;
}

} // namespace

HRESULT CreateResource() {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    HRESULT hr = device->GetRenderTarget(0, &var.lpBackSurface);
    if (FAILED(hr)) {
        return Fail("CreateResource : GetRenderTarget(BackSurface)\n", hr);
    }
    hr = device->GetDepthStencilSurface(&var.lpBackZBuffer);
    if (FAILED(hr)) {
        return Fail("CreateResource : GetDepthStencilSurface(var.lpBackZBuffer)\n", hr);
    }
    hr = CreateTargetTexture(&var.lpEffectTexture);
    if (FAILED(hr)) {
        return Fail("CreateResource : CreateTexture(var.lpEffectTexture)\n", hr);
    }
    hr = var.lpEffectTexture->GetSurfaceLevel(0, &var.lpEffectSurface);
    if (FAILED(hr)) {
        return Fail("CreateResource : GetSurfaceLevel(var.lpEffectSurface)\n", hr);
    }
    for (int i = 0; i < 2; ++i) {
        hr = CreateFlipBuffer(i);
        if (FAILED(hr)) {
            return hr;
        }
    }
    SetBackBufferTarget();
    return device->Clear(0, nullptr, TargetClearFlags(), kTransparentBlack, 1.0f, 0);
}

HRESULT Clear(D3DCOLOR color, BOOL fade) {
    if (!CanDraw()) {
        return E_FAIL;
    }
    if (var.bFlip) {
        return ClearFlipBuffer(color);
    }
    if (fade) {
        return FadeBackBuffer(color);
    }
    return var.lpD3DDevice->Clear(0, nullptr, TargetClearFlags(), color, 1.0f, 0);
}

HRESULT ClearAndBeginScene(D3DCOLOR color, BOOL fade) {
    if (!CanDraw()) {
        return E_FAIL;
    }
    Clear(color, fade);
    return var.lpD3DDevice->BeginScene();
}

HRESULT Flip(D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    if (IsDeviceWaitingForReset()) {
        return HandlePresentParam(D3DERR_DEVICELOST, FALSE); // no Present: a reset is due
    }
    // The copy is drawn with whatever states the frame left; without a scene
    // it is skipped and the frame is still presented.
    if (var.bFlip && SUCCEEDED(device->BeginScene())) {
        SetBackBufferTarget();
        device->SetTexture(0, var.lpFlipTexture[CurrentFlip()]);
        DrawRect(0.0f, 0.0f, TargetWidth(), TargetHeight(), color);
        device->EndScene();
    }
    const HRESULT hr = device->Present(nullptr, nullptr, nullptr, nullptr);
    if (hr == 0) {
        return 0;
    }
    return HandlePresentParam(hr, FALSE);
}

HRESULT BeginScene() {
    if (!CanDraw()) {
        return E_FAIL;
    }
    return var.lpD3DDevice->BeginScene();
}

HRESULT EndScene() {
    if (!CanDraw()) {
        return E_FAIL;
    }
    return var.lpD3DDevice->EndScene();
}

HRESULT EnableFlip() {
    var.bFlip = 1;
    return 0;
}

HRESULT DisableFlip() {
    var.bFlip = 0;
    SetBackBufferTarget();
    return 0;
}

HRESULT SetAfterimageColor(D3DCOLOR color) {
    var.dwAfterimageColor = color;
    return 0;
}

IDirect3DTexture9 *GetFlipTexture() { return var.lpFlipTexture[CurrentFlip()]; }

IDirect3DSurface9 *GetFlipSurface() { return var.lpFlipSurface[CurrentFlip()]; }

HRESULT SetFlipRenderTarget() {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    const HRESULT hr = var.lpD3DDevice->SetRenderTarget(0, var.lpFlipSurface[CurrentFlip()]);
    if (FAILED(hr)) {
        return Fail("CreateResource : SetRenderTarget(var.lpFlipSurface)\n", hr);
    }
    return hr;
}

HRESULT SetFlipDepthStencil() {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    const HRESULT hr = var.lpD3DDevice->SetDepthStencilSurface(var.lpFlipZBuffer[CurrentFlip()]);
    if (FAILED(hr)) {
        return Fail("SetDepthStencilSurface : SetDepthStencilSurface(var.lpFlipZBuffer)\n", hr);
    }
    return hr;
}

HRESULT SetBackBufferTarget() {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    HRESULT hr = device->SetRenderTarget(0, var.lpBackSurface);
    if (FAILED(hr)) {
        return Fail("Flip : SetRenderTarget : Failed\n", hr);
    }
    hr = device->SetDepthStencilSurface(var.lpBackZBuffer);
    if (FAILED(hr)) {
        return Fail("Flip : SetDepthStencilSurface : Failed\n", hr);
    }
    return hr;
}
