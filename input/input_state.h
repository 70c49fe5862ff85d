// The input record that input.cpp fills and buttons.cpp reads. Internal to
// the input subsystem.
#pragma once

#include <windows.h>

#include <dinput.h>

#include <cstddef>

// Entries of the record's two device arrays, in the order ReleaseInput walks
// them.
enum InputDevice { KEYBOARD_DEVICE, JOYSTICK_DEVICE, DEVICE_COUNT };

// Mouse buttons (bit n: button n, 0 left, 1 right, 2 middle) and the wheel.
struct MouseState {
    DWORD dwDown;     // held
    DWORD dwPressed;  // went down at least once
    DWORD dwReleased; // went up at least once
    int wheel;        // steps away from the user
};

struct InputState {
    // c_dfDIKeyboard layout: byte k is the key whose DIK code is k, 0x80 when down.
    BYTE KeyState[256];
    // KeyState and the button mask as the previous UpdateInput left them.
    BYTE PreviousKeyState[256];
    DWORD dwPreviousButtons;
    DIDEVICEINSTANCEA DeviceInfo[DEVICE_COUNT];
    // c_dfDIJoystick layout.
    DIJOYSTATE JoyState;
    LPDIRECTINPUT8A lpDI;
    LPDIRECTINPUTDEVICE8A lpDevice[DEVICE_COUNT];
    // The mouse as the window procedure reports it between two UpdateInput
    // calls (wheel in WHEEL_DELTA units), and as UpdateInput took it for this
    // frame. Latched, so that a click shorter than a frame is still seen.
    MouseState MouseLatch;
    MouseState Mouse;
    // SetJoystickRequired(FALSE): start without a controller, and pick one up
    // or let it go while running. When the last look for one was made.
    BOOL bJoystickOptional;
    DWORD dwJoystickScanTime;

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

// Called by the window procedure with every message: records mouse buttons
// and the wheel for the next UpdateInput.
void LatchMouseMessage(UINT message, WPARAM wParam);
