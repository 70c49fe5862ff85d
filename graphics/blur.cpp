#include "graphics/graphics.h"

#include "app/window.h"
#include "graphics/quad.h"
#include "graphics/renderstate.h"

namespace {

// The reduction: one source texel per target pixel.
constexpr DWORD kReduceStates = RSF_BLEND | RSF_MODULATE | RSF_POINT;
// The enlargement: added on top, bilinear.
constexpr DWORD kEnlargeStates = RSF_ADD | RSF_MODULATE | RSF_LINEAR;

HRESULT Fail(const char *message, HRESULT hr) {
    ShowMessage(message, "Error");
    return hr;
}

// A texture that cannot be bound leaves the frame unusable: the program ends.
HRESULT FailAndQuit(const char *message, HRESULT hr) {
    ShowMessage(message, "Error");
    PostQuitMessage(0);
    return hr;
}

} // namespace

// NOTE: bFlip is not looked at: in direct mode this reads and writes the
// current flip buffer all the same, although that frame was not drawn there.
HRESULT DrawEffectGaussianBlur(D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    IDirect3DTexture9 *frame = device != nullptr ? GetFlipTexture() : nullptr;
    if (frame == nullptr) {
        return E_FAIL;
    }
    HRESULT hr = device->SetTexture(0, frame);
    if (FAILED(hr)) {
        return FailAndQuit("DrawEffectGaussianBlur : Failed : SetTexture\n", hr);
    }
    hr = device->SetRenderTarget(0, var.lpEffectSurface);
    if (FAILED(hr)) {
        return Fail("DrawEffectGaussianBlur : SetRenderTarget(var.lpEffectSurface)\n", hr);
    }
    hr = device->SetDepthStencilSurface(nullptr);
    if (FAILED(hr)) {
        return Fail("DrawEffectGaussianBlur : SetDepthStencilSurface(NULL)\n", hr);
    }
    hr = device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    if (FAILED(hr)) {
        return Fail("DrawEffectGaussianBlur : Clear(var.lpEffectSurface)\n", hr);
    }
    const DWORD savedStates = GetRenderStateFlags();
    SetRenderStateFlags(kReduceStates);
    // Integer halves: an odd size rounds down.
    const UINT width = var.d3dpp.BackBufferWidth;
    const UINT height = var.d3dpp.BackBufferHeight;
    DrawRect(0.0f, 0.0f, static_cast<float>(width >> 1), static_cast<float>(height >> 1),
             0xFFFFFFFF);

    SetFlipRenderTarget();
    SetFlipDepthStencil();
    hr = device->SetTexture(0, var.lpEffectTexture);
    if (FAILED(hr)) {
        return FailAndQuit("DrawEffectGaussianBlur : Failed : SetTexture(var.lpEffectTexture)\n",
                           hr);
    }
    SetRenderStateFlags(kEnlargeStates);
    // The top-left quarter of the effect texture holds the reduced frame.
    DrawTextureRect(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), color, 0.0f,
                    0.0f, 0.5f, 0.5f);
    return SetRenderStateFlags(savedStates);
}
