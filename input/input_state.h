// The input record that input.cpp fills and buttons.cpp reads. Internal to
// the input subsystem.
#pragma once

#include <windows.h>

#include <dinput.h>

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

extern InputState inputState;
