/// \file
/// Fonts and text: D3DX fonts in the 32 slots of var.lpFont (graphics.h), all
/// drawing through the one sprite var.lpFontSprite, which the first font
/// creation makes and only ReleaseDirectX releases.
///
/// Text is drawn with its top-left corner at a pixel position (truncated
/// toward zero), in one colour, optionally over a hard black drop shadow
/// `shadow` pixels to the right of and below it (left and above when
/// negative). Each draw is one sprite batch of its own, inside the caller's
/// scene. Around a device reset (OnLost, OnRestore in graphics.h) every slot
/// and the sprite are told of the lost and the reset device; they are not
/// made again. A slot index outside 0..31 fails with E_FAIL and no message.
///
/// Fonts switch the system's font smoothing on; ReleaseDirectX puts back the
/// setting that was in force before the first font, so a program leaves the
/// user's desktop as it found it.
#pragma once

#include <windows.h>
#include <d3d9.h>

/// The number of font slots.
constexpr int FONT_SLOT_COUNT = 32;

/// Switches the system's font smoothing on (for this session only, until
/// RestoreFontSmoothing) and creates
/// the font `face` (at most 31 characters) of `height` pixels in an empty slot,
/// and the shared sprite if there is none yet. E_FAIL for a NULL or long face
/// name (with a message), no device or an occupied slot (without), or a failed
/// creation (with its message; the slot stays empty).
HRESULT CreateFontData(int index, const char *face, int height);
/// Releases the slot's font; the sprite stays.
void ReleaseFontData(int index);
/// The slot's font and then the sprite are told that the device is lost; E_FAIL
/// when either call fails. The sprite is told also for an empty slot.
HRESULT OnLostFont(int index);
/// The same with the reset device.
HRESULT OnRestoreFont(int index);
/// Draws `text` at (x, y) in `color`, over its shadow when `shadow` is not 0.
/// E_FAIL for an empty slot or without the sprite.
HRESULT DrawString(int index, float x, float y, D3DCOLOR color, int shadow, const char *text);
/// The size in pixels of the box DrawString lays `text` out in: the widest
/// line by the lines' total height. E_FAIL for an empty slot or a null
/// argument.
HRESULT MeasureString(int index, const char *text, SIZE *size);
/// DrawString of the printf-formatted text, cut at 4095 characters. An empty
/// slot fails before anything is formatted.
HRESULT DrawFormatString(int index, float x, float y, D3DCOLOR color, int shadow,
                         const char *format, ...) __attribute__((format(printf, 6, 7)));
/// Puts back the font smoothing setting that the first CreateFontData found,
/// once; ReleaseDirectX calls it. Nothing happens when no font was created.
void RestoreFontSmoothing();
