#include "resources/font.h"

#include "app/window.h"
#include "graphics/graphics.h"
#include "graphics/services.h"

#include <d3dx9core.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// The face name and its NUL fill D3DXFONT_DESCA's 32 characters.
constexpr size_t kMaxFaceLength = LF_FACESIZE - 1;
constexpr size_t kFormatBufferSize = 4096;

// The system's font smoothing before the first CreateFontData, kept until
// RestoreFontSmoothing puts it back.
struct {
    bool saved;
    BOOL previous;
} smoothing = {};

bool ValidIndex(int index) { return index >= 0 && index < FONT_SLOT_COUNT; }

ID3DXFont *FontAt(int index) { return ValidIndex(index) ? var.lpFont[index] : nullptr; }

HRESULT FailCreation(const char *message, int index) {
    ShowMessage(message, "Error");
    ReleaseFontData(index);
    return E_FAIL;
}

// The slot's font, if any, then the shared sprite, if any, are told of the
// device; E_FAIL as soon as one of them fails.
HRESULT TellFontAndSprite(int index, HRESULT (STDMETHODCALLTYPE ID3DXFont::*fontCall)(),
                          HRESULT (STDMETHODCALLTYPE ID3DXSprite::*spriteCall)()) {
    if (!ValidIndex(index)) {
        return E_FAIL;
    }
    ID3DXFont *font = var.lpFont[index];
    if (font != nullptr && FAILED((font->*fontCall)())) {
        return E_FAIL;
    }
    ID3DXSprite *sprite = var.lpFontSprite;
    if (sprite != nullptr && FAILED((sprite->*spriteCall)())) {
        return E_FAIL;
    }
    return S_OK;
}

// NOTE: the shared sprite is told once per font slot, 32 times in all.
HRESULT FontsOnLost() {
    for (int i = 0; i < FONT_SLOT_COUNT; ++i) {
        if (FAILED(OnLostFont(i))) {
            return E_FAIL;
        }
    }
    return S_OK;
}

// A slot that cannot be told is skipped; the restore goes on.
HRESULT FontsOnReset() {
    for (int i = 0; i < FONT_SLOT_COUNT; ++i) {
        OnRestoreFont(i);
    }
    return S_OK;
}

// The sprite first, then every slot; then the user's font smoothing is put
// back.
void ReleaseFonts() {
    if (var.lpFontSprite != nullptr) {
        var.lpFontSprite->Release();
        var.lpFontSprite = nullptr;
    }
    for (int i = 0; i < FONT_SLOT_COUNT; ++i) {
        ReleaseFontData(i);
    }
    RestoreFontSmoothing();
}

} // namespace

HRESULT CreateFontData(int index, const char *face, int height) {
    // Every call changes the font smoothing, which ReleaseDirectX puts back
    // through the service.
    SetDeviceService(SERVICE_FONTS, {FontsOnLost, FontsOnReset, ReleaseFonts});
    if (!smoothing.saved) {
        smoothing.saved =
            SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &smoothing.previous, 0) != FALSE;
    }
    // Not written to the user profile: it holds for this session only.
    SystemParametersInfoA(SPI_SETFONTSMOOTHING, TRUE, nullptr, 0);
    if (face == nullptr || std::strlen(face) > kMaxFaceLength) {
        ShowMessage("CreateFontData : Invalid Font Face\n", "Error");
        return E_FAIL;
    }
    IDirect3DDevice9 *device = GetDevice();
    if (device == nullptr || !ValidIndex(index) || var.lpFont[index] != nullptr) {
        return E_FAIL;
    }
    if (var.lpFontSprite == nullptr && FAILED(D3DXCreateSprite(device, &var.lpFontSprite))) {
        return FailCreation("CreateFontData : D3DXCreateSprite(var.lpFontSprite)\n", index);
    }
    D3DXFONT_DESCA desc = {};
    desc.Height = height;
    desc.Width = 0;
    desc.Weight = FW_NORMAL;
    desc.MipLevels = 1;
    desc.Italic = FALSE;
    desc.CharSet = DEFAULT_CHARSET;
    desc.OutputPrecision = OUT_OUTLINE_PRECIS;
    desc.Quality = PROOF_QUALITY;
    desc.PitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wsprintfA(desc.FaceName, "%s", face);
    if (FAILED(D3DXCreateFontIndirectA(device, &desc, &var.lpFont[index]))) {
        return FailCreation("CreateFontData : D3DXCreateFontIndirect Failed\n", index);
    }
    return S_OK;
}

void ReleaseFontData(int index) {
    if (FontAt(index) != nullptr) {
        var.lpFont[index]->Release();
        var.lpFont[index] = nullptr;
    }
}

HRESULT OnLostFont(int index) {
    return TellFontAndSprite(index, &ID3DXFont::OnLostDevice, &ID3DXSprite::OnLostDevice);
}

HRESULT OnRestoreFont(int index) {
    return TellFontAndSprite(index, &ID3DXFont::OnResetDevice, &ID3DXSprite::OnResetDevice);
}

HRESULT DrawString(int index, float x, float y, D3DCOLOR color, int shadow, const char *text) {
    ID3DXFont *font = FontAt(index);
    ID3DXSprite *sprite = var.lpFontSprite;
    if (font == nullptr || sprite == nullptr) {
        return E_FAIL;
    }
    // With DT_NOCLIP only the rectangle's top-left corner matters.
    RECT rect = {static_cast<LONG>(x) + shadow, static_cast<LONG>(y) + shadow, 0, 0};
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    if (shadow != 0) {
        font->DrawTextA(sprite, text, -1, &rect, DT_NOCLIP, color & 0xFF000000);
        rect.left -= shadow;
        rect.top -= shadow;
    }
    font->DrawTextA(sprite, text, -1, &rect, DT_NOCLIP, color);
    sprite->End();
    return S_OK;
}

HRESULT MeasureString(int index, const char *text, SIZE *size) {
    ID3DXFont *font = FontAt(index);
    if (font == nullptr || text == nullptr || size == nullptr) {
        return E_FAIL;
    }
    // DrawString's layout (DT_NOCLIP from a corner) with DT_CALCRECT, which
    // only grows the rectangle to fit and draws nothing.
    RECT rect = {0, 0, 0, 0};
    font->DrawTextA(nullptr, text, -1, &rect, DT_CALCRECT | DT_NOCLIP, 0);
    size->cx = rect.right - rect.left;
    size->cy = rect.bottom - rect.top;
    return S_OK;
}

HRESULT DrawFormatString(int index, float x, float y, D3DCOLOR color, int shadow,
                         const char *format, ...) {
    if (FontAt(index) == nullptr) {
        return E_FAIL;
    }
    char text[kFormatBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Longer output is cut at 4095 characters, whatever the formatter does.
    text[sizeof text - 1] = '\0';
    return DrawString(index, x, y, color, shadow, text);
}

void RestoreFontSmoothing() {
    if (smoothing.saved) {
        SystemParametersInfoA(SPI_SETFONTSMOOTHING, smoothing.previous, nullptr, 0);
        smoothing.saved = false;
    }
}
