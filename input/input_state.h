// The input record that input.cpp fills and buttons.cpp reads. Internal to
// the input subsystem.
#pragma once

#include <windows.h>

#include <dinput.h>

#include <cstddef>

// Entries of the record's two device arrays, in the order ReleaseInput walks
// them.
enum InputDevice { KEYBOARD_DEVICE, JOYSTICK_DEVICE, DEVICE_COUNT };

struct InputState {
    // c_dfDIKeyboard layout: byte k is the key whose DIK code is k, 0x80 when down.
    BYTE KeyState[256];
    DIDEVICEINSTANCEA DeviceInfo[DEVICE_COUNT];
    // c_dfDIJoystick layout.
    DIJOYSTATE JoyState;
    LPDIRECTINPUT8A lpDI;
    LPDIRECTINPUTDEVICE8A lpDevice[DEVICE_COUNT];

    DIDEVICEINSTANCEA &KeyboardInfo() { return DeviceInfo[KEYBOARD_DEVICE]; }
    DIDEVICEINSTANCEA &JoystickInfo() { return DeviceInfo[JOYSTICK_DEVICE]; }
    LPDIRECTINPUTDEVICE8A &lpKeyboard() { return lpDevice[KEYBOARD_DEVICE]; }
    LPDIRECTINPUTDEVICE8A &lpJoystick() { return lpDevice[JOYSTICK_DEVICE]; }
};

// The platform records as DirectInput reads and writes them, the same in 32-
// and 64-bit programs.
static_assert(sizeof(InputState::KeyState) == 256, "c_dfDIKeyboard state");
static_assert(sizeof(DIDEVICEINSTANCEA) == 580, "DIDEVICEINSTANCEA");
static_assert(sizeof(DIJOYSTATE) == 80 && offsetof(DIJOYSTATE, rglSlider) == 24 &&
                  offsetof(DIJOYSTATE, rgdwPOV) == 32 && offsetof(DIJOYSTATE, rgbButtons) == 48,
              "c_dfDIJoystick state");
static_assert(sizeof(DIPROPRANGE) == 24 && sizeof(DIPROPDWORD) == 20 && sizeof(DIPROPHEADER) == 16,
              "DirectInput property records");

extern InputState inputState;
