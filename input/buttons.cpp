#include "input/buttons.h"

#include "input/input.h"
#include "input/input_state.h"

#include <algorithm>
#include <cmath>

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
constexpr unsigned kMouseButtons = 5;
// The device's dead zone as a fraction of the travel, also the stick's radial one.
constexpr double kDeadZone = JoystickDeadZone / 10000.0;

// Where the stick is along one axis, 0 to ±1 of its travel: the device reads
// 0 inside its dead zone and stretches the rest over 0 to ±JoystickRange.
double AxisTravel(LONG value) {
    if (value == 0) {
        return 0.0;
    }
    const double outside = std::min(1.0, std::fabs(static_cast<double>(value)) / JoystickRange);
    const double travel = kDeadZone + (1.0 - kDeadZone) * outside;
    return value < 0 ? -travel : travel;
}

// The stick with a radial dead zone: its length goes from 0 at the dead
// zone's edge to 1 at full travel, in the direction the stick points.
void StickPosition(float *x, float *y) {
    *x = 0.0f;
    *y = 0.0f;
    if (inputState.lpJoystick() == nullptr) {
        GetPadLeftStick(x, y);
        return;
    }
    const double travelX = AxisTravel(inputState.JoyState.lX);
    const double travelY = AxisTravel(inputState.JoyState.lY);
    const double length = std::sqrt(travelX * travelX + travelY * travelY);
    if (length <= kDeadZone) {
        GetPadLeftStick(x, y);
        return;
    }
    const double scale = std::min(1.0, (length - kDeadZone) / (1.0 - kDeadZone)) / length;
    *x = static_cast<float>(travelX * scale);
    *y = static_cast<float>(travelY * scale);
}

int HasBit(DWORD bits, unsigned index, unsigned count) {
    return index < count && (bits & (1u << index)) != 0 ? 1 : 0;
}

// The mask bits of the keys for which `held` holds.
template <class Held> DWORD KeyButtons(Held held) {
    DWORD buttons = 0;
    for (const ButtonKey &row : kButtonKeys) {
        if (held(row.key)) {
            buttons |= row.button;
        }
    }
    return buttons;
}

} // namespace

void TakeButtonEdges() {
    const DWORD end = GetButtons();
    const DWORD before = inputState.dwPreviousButtons;
    inputState.dwButtonsPressed =
        (end & ~before) | KeyButtons([](BYTE key) { return inputState.KeyPresses[key] != 0; });
    inputState.dwButtonsReleased =
        (before & ~end) | KeyButtons([](BYTE key) { return inputState.KeyReleases[key] != 0; });
    inputState.dwPreviousButtons = end;
}

DWORD GetButtons() { return GetJoystickButtons() | GetKeyboardButtons() | GetPadMaskButtons(); }

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
    return KeyButtons([](BYTE key) { return IsKeyDown(key) != 0; });
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

DWORD GetButtonsPressed() { return inputState.dwButtonsPressed; }

DWORD GetButtonsReleased() { return inputState.dwButtonsReleased; }

int IsKeyPressed(unsigned key) { return GetKeyPressCount(key) > 0 ? 1 : 0; }

int IsKeyReleased(unsigned key) {
    if (key == 0 || key >= sizeof inputState.KeyState) {
        return 0;
    }
    return inputState.KeyReleases[key] != 0 ? 1 : 0;
}

int GetKeyPressCount(unsigned key) {
    if (key == 0 || key >= sizeof inputState.KeyState) {
        return 0;
    }
    return inputState.KeyPresses[key];
}

float GetStickX() {
    float x, y;
    StickPosition(&x, &y);
    return x;
}

float GetStickY() {
    float x, y;
    StickPosition(&x, &y);
    return y;
}

int GetJoystickPov() {
    const DWORD pov = inputState.JoyState.rgdwPOV[0];
    // Centred is 0xFFFF in the low word (some drivers leave the high one 0).
    if (inputState.lpJoystick() == nullptr || LOWORD(pov) == 0xFFFF) {
        return -1;
    }
    return static_cast<int>(pov % 36000);
}

int IsMouseButtonDown(unsigned button) {
    return HasBit(inputState.Mouse.dwDown, button, kMouseButtons);
}

int IsMouseButtonPressed(unsigned button) {
    return HasBit(inputState.Mouse.dwPressed, button, kMouseButtons);
}

int IsMouseButtonReleased(unsigned button) {
    return HasBit(inputState.Mouse.dwReleased, button, kMouseButtons);
}

int GetMouseWheel() { return inputState.Mouse.wheel; }

const char *GetTypedText() { return inputState.bTextInput ? inputState.TypedText : ""; }
