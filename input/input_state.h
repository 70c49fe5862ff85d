// The input record that input.cpp fills and buttons.cpp reads. Internal to
// the input subsystem.
#pragma once

#include <windows.h>

#include <dinput.h>
#include <xinput.h>

#include <cstddef>

// Entries of the record's two device arrays, in the order ReleaseInput walks
// them.
enum InputDevice { KEYBOARD_DEVICE, JOYSTICK_DEVICE, DEVICE_COUNT };

// Mouse buttons (bit n: button n, 0 left, 1 right, 2 middle, 3 and 4 the
// side buttons) and the wheel.
struct MouseState {
    DWORD dwDown;     // held
    DWORD dwPressed;  // went down at least once
    DWORD dwReleased; // went up at least once
    int wheel;        // steps away from the user
};

// XInput's slots.
constexpr unsigned kPadCount = 4;

// One XInput slot: what the last look found, and the vibration the program
// asked for (applied while the window has the focus).
struct PadState {
    BOOL bConnected;
    XINPUT_GAMEPAD Gamepad;
    WORD wPreviousButtons;
    WORD wVibration[2]; // low- and high-frequency motor, 0 to 65535
};

// Typed text is gathered as UTF-8 between two frames; a frame takes at most
// this much (a character that does not fit is dropped whole, with the rest).
constexpr size_t kTypedTextBytes = 256;

struct InputState {
    // c_dfDIKeyboard layout: byte k is the key whose DIK code is k, 0x80 when
    // down: the state read, with any change buffered after it.
    BYTE KeyState[256];
    // KeyState as the previous UpdateInput left it.
    BYTE PreviousKeyState[256];
    // This frame's key edges: presses (saturating at 255) and releases per
    // key, from the keyboard's buffered data, or from the two states when the
    // buffer could not tell.
    BYTE KeyPresses[256];
    BYTE KeyReleases[256];
    // The button mask at the end of the previous and of this frame, and the
    // bits that went down or up in this frame.
    DWORD dwPreviousButtons;
    DWORD dwButtonsPressed;
    DWORD dwButtonsReleased;
    // The keyboard read failed last frame: its buffer starts afresh.
    BOOL bKeyboardUnread;
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
    // SetJoystickRequired(FALSE): start without a controller.
    BOOL bJoystickOptional;
    // Windows said the set of devices changed: look for controllers at the
    // next UpdateInput, and once more at dwDeviceRecheckTime.
    BOOL bDevicesChanged;
    BOOL bDeviceRecheck;
    DWORD dwDeviceRecheckTime;
    // A required controller's set-up failure on hot-plug is shown once.
    BOOL bJoystickFailureShown;
    HDEVNOTIFY hDeviceNotify;
    // XInput, loaded at run time; NULL where the system has none.
    HMODULE hXInput;
    DWORD(WINAPI *pXInputGetState)(DWORD, XINPUT_STATE *);
    DWORD(WINAPI *pXInputSetState)(DWORD, XINPUT_VIBRATION *);
    PadState Pad[kPadCount];
    // Empty slots are asked one at a time, the next one at dwPadScanTime.
    unsigned nextPadScan;
    DWORD dwPadScanTime;
    BOOL bPadVibrationMuted;
    // Typed text: on or off, gathered between frames (UTF-8, with a UTF-16
    // high surrogate waiting for its pair), and this frame's.
    BOOL bTextInput;
    char TypedLatch[kTypedTextBytes + 1];
    size_t typedLatchLength;
    BOOL bTypedLatchFull;
    WCHAR wPendingSurrogate;
    char TypedText[kTypedTextBytes + 1];

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
// (capturing the mouse while one is held), the wheel, and that Windows
// changed the set of devices. TRUE when the message is fully handled (the
// side buttons' messages answer TRUE).
BOOL InputWindowMessage(HWND window, UINT message, WPARAM wParam);

// Called by the message pump after each dispatched message while typed text
// is on: takes the characters that TranslateMessage queued, as UTF-16, and
// dispatches them on.
void TakeTypedCharacters();

// The XInput part of input: loads XInput, reads the pads, stops their motors.
void OpenPads();
void UpdatePads(BOOL devicesChanged, BOOL focused);
void ClosePads();
// This frame's button edges, from the key edges and the levels of the
// stick and pad 0 (buttons.cpp).
void TakeButtonEdges();

// Pad 0's share of the button mask, and its left stick (-1 to 1, y down).
DWORD GetPadMaskButtons();
void GetPadLeftStick(float *x, float *y);
// Whether some pad is connected.
BOOL AnyPadConnected();
