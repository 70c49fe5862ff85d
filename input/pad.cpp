// Xbox-style pads through XInput, loaded at run time: the program starts
// where the system has no XInput, and simply sees no pad.
#include "input/buttons.h"
#include "input/input_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// XInput 1.4 (Windows 8 and later), else 9.1.0 (Vista and 7).
const char *const kXInputLibraries[] = {"xinput1_4.dll", "xinput9_1_0.dll"};
// An empty slot is asked at most once a second (asking one costs time on
// some systems): one slot every quarter of a second, in turn, or all of
// them after Windows says the devices changed.
constexpr DWORD kPadScanMs = 250;
constexpr double kStickFull = 32767.0;
constexpr double kTriggerFull = 255.0;

bool ValidPad(unsigned pad) { return pad < kPadCount && inputState.Pad[pad].bConnected; }

// A stick through XInput's documented radial dead zone: 0 inside it, then a
// length growing to 1 at full travel; y down.
void StickPosition(SHORT rawX, SHORT rawY, SHORT deadZone, float *x, float *y) {
    *x = 0.0f;
    *y = 0.0f;
    const double dx = rawX;
    const double dy = -static_cast<double>(rawY); // XInput's y points up
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length <= deadZone) {
        return;
    }
    const double scale = std::min(1.0, (length - deadZone) / (kStickFull - deadZone)) / length;
    *x = static_cast<float>(dx * scale);
    *y = static_cast<float>(dy * scale);
}

// Stick `stick` (0 left, 1 right) of a connected pad, else (0, 0).
void PadStick(unsigned pad, unsigned stick, float *x, float *y) {
    *x = 0.0f;
    *y = 0.0f;
    if (!ValidPad(pad) || stick > 1) {
        return;
    }
    const XINPUT_GAMEPAD &g = inputState.Pad[pad].Gamepad;
    if (stick == 0) {
        StickPosition(g.sThumbLX, g.sThumbLY, XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE, x, y);
    } else {
        StickPosition(g.sThumbRX, g.sThumbRY, XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE, x, y);
    }
}

void Vibrate(unsigned pad, WORD low, WORD high) {
    XINPUT_VIBRATION vibration = {low, high};
    inputState.pXInputSetState(pad, &vibration);
}

void SetPadDisconnected(PadState &pad) {
    pad.bConnected = FALSE;
    memset(&pad.Gamepad, 0, sizeof pad.Gamepad);
    pad.wVibration[0] = 0;
    pad.wVibration[1] = 0;
}

void ReadPad(unsigned index) {
    PadState &pad = inputState.Pad[index];
    XINPUT_STATE state = {};
    if (inputState.pXInputGetState(index, &state) == ERROR_SUCCESS) {
        pad.bConnected = TRUE;
        pad.Gamepad = state.Gamepad;
    } else {
        SetPadDisconnected(pad); // pulled out: neutral at once
    }
}

} // namespace

void OpenPads() {
    memset(inputState.Pad, 0, sizeof inputState.Pad);
    inputState.bPadVibrationMuted = FALSE;
    if (inputState.hXInput == nullptr) {
        for (const char *name : kXInputLibraries) {
            inputState.hXInput = LoadLibraryA(name);
            if (inputState.hXInput != nullptr) {
                break;
            }
        }
        if (inputState.hXInput == nullptr) {
            return;
        }
        inputState.pXInputGetState = reinterpret_cast<decltype(inputState.pXInputGetState)>(
            reinterpret_cast<void (*)()>(GetProcAddress(inputState.hXInput, "XInputGetState")));
        inputState.pXInputSetState = reinterpret_cast<decltype(inputState.pXInputSetState)>(
            reinterpret_cast<void (*)()>(GetProcAddress(inputState.hXInput, "XInputSetState")));
        if (inputState.pXInputGetState == nullptr || inputState.pXInputSetState == nullptr) {
            inputState.pXInputGetState = nullptr;
            inputState.pXInputSetState = nullptr;
            return;
        }
    }
    if (inputState.pXInputGetState == nullptr) {
        return;
    }
    // Every slot once at start-up, so that a pad already there counts from
    // the start (its buttons are read in the first frame, and those held
    // read pressed there, as keys do).
    for (unsigned pad = 0; pad < kPadCount; ++pad) {
        ReadPad(pad);
        memset(&inputState.Pad[pad].Gamepad, 0, sizeof(XINPUT_GAMEPAD));
    }
    inputState.dwPadScanTime = GetTickCount();
}

void UpdatePads(BOOL devicesChanged, BOOL focused) {
    if (inputState.pXInputGetState == nullptr) {
        return;
    }
    const DWORD now = GetTickCount();
    const bool scanDue = now - inputState.dwPadScanTime >= kPadScanMs;
    for (unsigned index = 0; index < kPadCount; ++index) {
        PadState &pad = inputState.Pad[index];
        pad.wPreviousButtons = pad.Gamepad.wButtons;
        if (pad.bConnected || devicesChanged || (scanDue && index == inputState.nextPadScan)) {
            ReadPad(index);
        }
    }
    if (scanDue) {
        inputState.dwPadScanTime = now;
        inputState.nextPadScan = (inputState.nextPadScan + 1) % kPadCount;
    }
    // The motors stop while the program is not in front, and take up what
    // the program asked for when it is again.
    if (focused == inputState.bPadVibrationMuted) {
        inputState.bPadVibrationMuted = !focused;
        for (unsigned index = 0; index < kPadCount; ++index) {
            const PadState &pad = inputState.Pad[index];
            if (pad.bConnected) {
                Vibrate(index, focused ? pad.wVibration[0] : 0, focused ? pad.wVibration[1] : 0);
            }
        }
    }
}

void ClosePads() {
    if (inputState.pXInputSetState != nullptr) {
        for (unsigned index = 0; index < kPadCount; ++index) {
            if (inputState.Pad[index].bConnected) {
                Vibrate(index, 0, 0);
            }
        }
    }
    // NOTE: XInput stays loaded for the life of the process: a program may
    // start the framework again, and unloading a DLL that runs a thread of
    // its own for device changes gains nothing.
    memset(inputState.Pad, 0, sizeof inputState.Pad);
}

BOOL AnyPadConnected() {
    for (const PadState &pad : inputState.Pad) {
        if (pad.bConnected) {
            return TRUE;
        }
    }
    return FALSE;
}

DWORD GetPadMaskButtons() {
    if (!ValidPad(0)) {
        return 0;
    }
    struct PadButton {
        WORD pad;
        DWORD button;
    };
    // As DirectInput numbers an Xbox pad's buttons: A B X Y, the shoulders,
    // Back, Start, the left stick's click.
    static const PadButton kPadButtons[] = {
        {XINPUT_GAMEPAD_DPAD_UP, BUTTON_UP},
        {XINPUT_GAMEPAD_DPAD_DOWN, BUTTON_DOWN},
        {XINPUT_GAMEPAD_DPAD_LEFT, BUTTON_LEFT},
        {XINPUT_GAMEPAD_DPAD_RIGHT, BUTTON_RIGHT},
        {XINPUT_GAMEPAD_A, BUTTON_0},
        {XINPUT_GAMEPAD_B, BUTTON_1},
        {XINPUT_GAMEPAD_X, BUTTON_2},
        {XINPUT_GAMEPAD_Y, BUTTON_3},
        {XINPUT_GAMEPAD_LEFT_SHOULDER, BUTTON_4},
        {XINPUT_GAMEPAD_RIGHT_SHOULDER, BUTTON_5},
        {XINPUT_GAMEPAD_BACK, BUTTON_6},
        {XINPUT_GAMEPAD_START, BUTTON_7},
        {XINPUT_GAMEPAD_LEFT_THUMB, BUTTON_8},
    };
    const WORD held = inputState.Pad[0].Gamepad.wButtons;
    DWORD buttons = 0;
    for (const PadButton &row : kPadButtons) {
        if ((held & row.pad) != 0) {
            buttons |= row.button;
        }
    }
    float x, y;
    PadStick(0, 0, &x, &y);
    buttons |= (y < 0 ? BUTTON_UP : 0) | (y > 0 ? BUTTON_DOWN : 0) | (x < 0 ? BUTTON_LEFT : 0) |
               (x > 0 ? BUTTON_RIGHT : 0);
    return buttons;
}

void GetPadLeftStick(float *x, float *y) { PadStick(0, 0, x, y); }

int IsPadConnected(unsigned pad) { return ValidPad(pad) ? 1 : 0; }

WORD GetPadButtons(unsigned pad) {
    return ValidPad(pad) ? inputState.Pad[pad].Gamepad.wButtons : 0;
}

int IsPadButtonDown(unsigned pad, WORD button) {
    return button != 0 && (GetPadButtons(pad) & button) == button ? 1 : 0;
}

int IsPadButtonPressed(unsigned pad, WORD button) {
    if (button == 0 || !ValidPad(pad)) {
        return 0;
    }
    return IsPadButtonDown(pad, button) && (inputState.Pad[pad].wPreviousButtons & button) != button
               ? 1
               : 0;
}

int IsPadButtonReleased(unsigned pad, WORD button) {
    if (button == 0 || pad >= kPadCount) {
        return 0;
    }
    return (inputState.Pad[pad].wPreviousButtons & button) == button &&
                   !IsPadButtonDown(pad, button)
               ? 1
               : 0;
}

float GetPadStickX(unsigned pad, unsigned stick) {
    float x, y;
    PadStick(pad, stick, &x, &y);
    return x;
}

float GetPadStickY(unsigned pad, unsigned stick) {
    float x, y;
    PadStick(pad, stick, &x, &y);
    return y;
}

float GetPadTrigger(unsigned pad, unsigned trigger) {
    if (!ValidPad(pad) || trigger > 1) {
        return 0.0f;
    }
    const XINPUT_GAMEPAD &g = inputState.Pad[pad].Gamepad;
    const double value = trigger == 0 ? g.bLeftTrigger : g.bRightTrigger;
    constexpr double threshold = XINPUT_GAMEPAD_TRIGGER_THRESHOLD;
    if (value <= threshold) {
        return 0.0f;
    }
    return static_cast<float>((value - threshold) / (kTriggerFull - threshold));
}

HRESULT SetPadVibration(unsigned pad, float low, float high) {
    if (pad >= kPadCount) {
        return E_INVALIDARG;
    }
    if (!ValidPad(pad)) {
        return E_FAIL;
    }
    PadState &state = inputState.Pad[pad];
    state.wVibration[0] = static_cast<WORD>(std::lround(std::clamp(low, 0.0f, 1.0f) * 65535.0f));
    state.wVibration[1] = static_cast<WORD>(std::lround(std::clamp(high, 0.0f, 1.0f) * 65535.0f));
    if (!inputState.bPadVibrationMuted) {
        Vibrate(pad, state.wVibration[0], state.wVibration[1]);
    }
    return S_OK;
}
