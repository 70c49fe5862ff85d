#include "input/buttons.h"

#include "input/input_state.h"

namespace {

struct ButtonKey {
    DWORD button;
    BYTE key;
};

constexpr ButtonKey kButtonKeys[] = {
    {BUTTON_UP, DIK_UP},       {BUTTON_DOWN, DIK_DOWN}, {BUTTON_LEFT, DIK_LEFT},
    {BUTTON_RIGHT, DIK_RIGHT}, {BUTTON_0, DIK_Z},       {BUTTON_1, DIK_X},
    {BUTTON_2, DIK_C},         {BUTTON_3, DIK_A},       {BUTTON_4, DIK_S},
    {BUTTON_5, DIK_D},         {BUTTON_6, DIK_Q},       {BUTTON_7, DIK_W},
    {BUTTON_8, DIK_E},
};

// Joystick buttons 0 to 8 feed BUTTON_0 to BUTTON_8.
constexpr unsigned kMaskedJoystickButtons = 9;
constexpr unsigned kKeyDown = 0x80;
constexpr unsigned kJoystickButtonDown = 0x80;

} // namespace

DWORD GetButtons() { return GetJoystickButtons() | GetKeyboardButtons(); }

DWORD GetJoystickButtons() {
    DWORD buttons = 0;
    if (IsJoystickUp()) {
        buttons |= BUTTON_UP;
    }
    if (IsJoystickDown()) {
        buttons |= BUTTON_DOWN;
    }
    if (IsJoystickLeft()) {
        buttons |= BUTTON_LEFT;
    }
    if (IsJoystickRight()) {
        buttons |= BUTTON_RIGHT;
    }
    for (unsigned i = 0; i < kMaskedJoystickButtons; ++i) {
        if (IsJoystickButtonDown(i)) {
            buttons |= BUTTON_0 << i;
        }
    }
    return buttons;
}

DWORD GetKeyboardButtons() {
    DWORD buttons = 0;
    for (const ButtonKey &row : kButtonKeys) {
        if (IsKeyDown(row.key)) {
            buttons |= row.button;
        }
    }
    return buttons;
}

int IsKeyDown(unsigned key) {
    if (key == 0 || key >= sizeof inputState.KeyState) {
        return 0;
    }
    return inputState.KeyState[key] == kKeyDown ? 1 : 0;
}

int IsJoystickButtonDown(unsigned button) {
    if (button >= sizeof inputState.JoyState.rgbButtons) {
        return 0;
    }
    return (inputState.JoyState.rgbButtons[button] & kJoystickButtonDown) != 0 ? 1 : 0;
}

int IsJoystickUp() { return inputState.JoyState.lY < 0 ? 1 : 0; }
int IsJoystickDown() { return inputState.JoyState.lY > 0 ? 1 : 0; }
int IsJoystickLeft() { return inputState.JoyState.lX < 0 ? 1 : 0; }
int IsJoystickRight() { return inputState.JoyState.lX > 0 ? 1 : 0; }
