#include "graphics/graphics.h"

namespace {

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

// A failed Present fails the frame; the device is left as it is.
HRESULT HandlePresentParam(HRESULT, BOOL) { return E_FAIL; }
