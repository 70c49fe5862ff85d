#include "resources/texture.h"

#include "graphics/graphics.h"
#include "util/crc32.h"

#include <d3dx9tex.h>

#include <cstring>

namespace {

// Opaque black in the image becomes transparent black in the texture.
constexpr D3DCOLOR kColorKey = 0xFF000000;

DWORD NameKey(const char *name) { return Crc32(name, static_cast<int32_t>(std::strlen(name))); }

// The entry in use with `key`, or NULL.
TextureEntry *FindEntry(DWORD key) {
    for (TextureEntry &entry : var.TextureCache) {
        if (entry.lpTexture != nullptr && entry.dwCrc == key) {
            return &entry;
        }
    }
    return nullptr;
}

TextureEntry *FirstFreeEntry() {
    for (TextureEntry &entry : var.TextureCache) {
        if (entry.lpTexture == nullptr) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

HRESULT LoadTexture(const char *name) {
    if (name == nullptr) {
        return E_FAIL;
    }
    const DWORD key = NameKey(name);
    if (TextureEntry *hit = FindEntry(key)) {
        ++hit->nRefCount;
        return S_OK;
    }
    TextureEntry *entry = FirstFreeEntry();
    if (entry == nullptr) {
        return E_FAIL;
    }
    entry->lpTexture = LoadTextureFile(name);
    if (entry->lpTexture == nullptr) {
        return E_FAIL;
    }
    entry->nRefCount = 1;
    entry->dwCrc = key;
    return S_OK;
}

HRESULT ReleaseTexture(const char *name) {
    if (name == nullptr) {
        return S_OK;
    }
    TextureEntry *entry = FindEntry(NameKey(name));
    if (entry != nullptr && --entry->nRefCount <= 0) {
        entry->lpTexture->Release();
        *entry = {};
    }
    return S_OK;
}

HRESULT SetTexture(const char *name) {
    IDirect3DDevice9 *device = GetDevice();
    if (device == nullptr) {
        return S_OK;
    }
    if (name == nullptr) {
        return device->SetTexture(0, nullptr);
    }
    const TextureEntry *entry = FindEntry(NameKey(name));
    return entry != nullptr ? device->SetTexture(0, entry->lpTexture) : S_OK;
}

HRESULT BindTexture(IDirect3DBaseTexture9 *texture) {
    IDirect3DDevice9 *device = GetDevice();
    return device != nullptr ? device->SetTexture(0, texture) : S_OK;
}

IDirect3DTexture9 *LoadTextureFile(const char *name) {
    IDirect3DDevice9 *device = GetDevice();
    if (device == nullptr) {
        return nullptr;
    }
    D3DXIMAGE_INFO info;
    if (D3DXGetImageInfoFromFileA(name, &info) != S_OK) {
        return nullptr;
    }
    IDirect3DTexture9 *texture = nullptr;
    D3DXCreateTextureFromFileExA(device, name, info.Width, info.Height, 1, 0, D3DFMT_A8R8G8B8,
                                 D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, kColorKey,
                                 nullptr, nullptr, &texture);
    return texture;
}
