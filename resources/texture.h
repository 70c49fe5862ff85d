/// \file
/// Texture cache: image files loaded once and shared by name.
///
/// The cache is the table var.TextureCache of 256 entries (graphics.h). Users
/// know a texture only by its file name; the cache keys it by the CRC-32 of the
/// name's bytes, so two names with the same checksum share one entry, and names
/// that differ in any byte ("a.png", "./a.png", "A.png") are different
/// textures. Each LoadTexture counts up and each ReleaseTexture counts down;
/// the texture goes when its count reaches 0, and ReleaseDirectX releases what
/// is left. Textures are in the managed pool and survive a device reset.
/// Nothing here shows a message.
#pragma once

#include <windows.h>
#include "../graphics/graphics.h"

#include <d3d9.h>

/// The number of cache entries.
constexpr int TEXTURE_CACHE_SIZE = 256;

/// Counts up the cached texture of `name`, or loads the file into the lowest
/// free entry. E_FAIL for NULL, a full table, no device or an unreadable image;
/// the table is then unchanged.
HRESULT LoadTexture(const char *name);
/// Counts the texture of `name` down and frees its entry at 0; S_OK always.
HRESULT ReleaseTexture(const char *name);
/// Binds the cached texture of `name` to stage 0; NULL unbinds. A name that is
/// not cached leaves the binding as it is (S_OK), as does a missing device.
HRESULT SetTexture(const char *name);
/// Binds `texture` to stage 0, any texture: a render target's
/// (graphics/target.h) or one the program made; NULL unbinds. The device's
/// result; S_OK without a device, as SetTexture.
HRESULT BindTexture(IDirect3DBaseTexture9 *texture);
/// The image at its own size, A8R8G8B8, one level, managed pool, no filtering;
/// opaque black becomes transparent black. NULL when it cannot be loaded.
IDirect3DTexture9 *LoadTextureFile(const char *name);
