/// \file
/// Render targets of a program's own: textures it draws into and then draws
/// with, in 32 slots, kept by fw through device loss and display-mode changes
/// without a notification of the program's own.
///
/// CreateRenderTarget makes a render-target texture of a size and format in
/// the default pool, with a depth buffer of its own when asked (one that
/// matches the texture: not multisampled, unlike the device's own, which may
/// be). BeginRenderTarget makes it the device's target and EndRenderTarget
/// puts back the target, depth buffer and viewport that were in force before;
/// the pairs nest. GetRenderTargetTexture gives the texture to draw with
/// (BindTexture in resources/texture.h binds it).
///
/// On a device loss fw releases every target before the reset and makes it
/// again after it, at the same size, or at the back buffer's new size for a
/// target made with size 0. A target made again starts transparent black,
/// unless it was made with RENDER_TARGET_KEEP and keeps its size: then it
/// starts with what it held when its last EndRenderTarget ended, copied to
/// system memory there (a read-back each time: for targets drawn once or
/// rarely). ReleaseDirectX
/// releases every slot. Main thread only, like the device. A slot index
/// outside 0..31 fails with E_FAIL and no message.
#pragma once

#include <windows.h>
#include <d3d9.h>

/// The number of render-target slots.
constexpr int RENDER_TARGET_COUNT = 32;
/// How deep BeginRenderTarget nests.
constexpr int RENDER_TARGET_NESTING = 8;
/// CreateRenderTarget's flags: a depth buffer of the target's own,
constexpr DWORD RENDER_TARGET_DEPTH = 0x1;
/// and the contents kept through a device reset.
constexpr DWORD RENDER_TARGET_KEEP = 0x2;

/// Makes slot `index`'s render target: `width` x `height` (0 for the back
/// buffer's, followed through mode changes), `format` (D3DFMT_UNKNOWN for the
/// back buffer's), flags RENDER_TARGET_DEPTH and RENDER_TARGET_KEEP; cleared
/// to transparent black. E_FAIL without a device or for an occupied slot; a
/// failing Direct3D call is shown ("CreateRenderTarget : CreateTexture\n")
/// and its HRESULT returned, the slot left empty.
HRESULT CreateRenderTarget(int index, UINT width, UINT height, D3DFORMAT format, DWORD flags);
/// Releases slot `index`'s target; nothing for an empty slot.
void ReleaseRenderTarget(int index);
/// Draws into slot `index`'s target from here on, with its own depth buffer
/// or none, and the viewport the whole target; with `clear`, clears it to
/// `color` (and its depth buffer to 1.0) first. Inside or outside a scene.
/// E_FAIL without a device, for an empty slot, or nested deeper than
/// RENDER_TARGET_NESTING; a failing SetRenderTarget is shown and returned,
/// with nothing changed.
HRESULT BeginRenderTarget(int index, BOOL clear, D3DCOLOR color);
/// Puts back the target, depth buffer and viewport that the matching
/// BeginRenderTarget found, after copying a RENDER_TARGET_KEEP target to
/// system memory; the first failing result. E_FAIL when no target is begun.
HRESULT EndRenderTarget();
/// Slot `index`'s texture (NULL for an empty slot); the slot keeps its
/// reference, and the pointer changes when the device is reset.
IDirect3DTexture9 *GetRenderTargetTexture(int index);
