#include "input/input.h"

#include "app/framework.h"
#include "app/window.h"
#include "input/buttons.h"
#include "input/input_state.h"

#include <cstring>

namespace {

constexpr DWORD kCooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
// How often an optional controller is looked for while none is open:
// enumeration can take a few milliseconds, so not every frame.
constexpr DWORD kJoystickScanMs = 1000;
// A device that is gone for good (the header's value is unsigned).
constexpr HRESULT kUnplugged = static_cast<HRESULT>(DIERR_UNPLUGGED);

} // namespace

InputState inputState;

namespace {

HRESULT Report(const char *text, HRESULT result) {
    ShowMessage(text, "Error");
    return result;
}

HRESULT SetAxisRange(LPDIRECTINPUTDEVICE8A device, DWORD axis) {
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = axis;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = -JoystickRange;
    range.lMax = JoystickRange;
    return device->SetProperty(DIPROP_RANGE, &range.diph);
}

HRESULT SetAxisDeadZone(LPDIRECTINPUTDEVICE8A device, DWORD axis) {
    DIPROPDWORD deadZone = {};
    deadZone.diph.dwSize = sizeof deadZone;
    deadZone.diph.dwHeaderSize = sizeof deadZone.diph;
    deadZone.diph.dwObj = axis;
    deadZone.diph.dwHow = DIPH_BYOFFSET;
    deadZone.dwData = JoystickDeadZone;
    return device->SetProperty(DIPROP_DEADZONE, &deadZone.diph);
}

// The steps of CreateJoystick after the device is open. On a failure,
// `failure` names it with the text to show.
HRESULT SetUpJoystick(LPDIRECTINPUTDEVICE8A joystick, const char **failure) {
    HRESULT hr = joystick->SetDataFormat(&c_dfDIJoystick);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetDataFormat\n";
        return hr;
    }
    hr = joystick->SetCooperativeLevel(GetWindowHandle(), kCooperativeLevel);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetCooperativeLevel\n";
        return hr;
    }
    hr = SetAxisRange(joystick, DIJOFS_X);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_X\n";
        return hr;
    }
    hr = SetAxisRange(joystick, DIJOFS_Y);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_Y\n";
        return hr;
    }
    hr = SetAxisDeadZone(joystick, DIJOFS_X);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetProperty DIJOFS_X\n";
        return hr;
    }
    hr = SetAxisDeadZone(joystick, DIJOFS_Y);
    if (FAILED(hr)) {
        *failure = "CreateJoystick : SetProperty DIJOFS_Y\n";
        return hr;
    }
    inputState.JoystickInfo().dwSize = sizeof(DIDEVICEINSTANCEA);
    joystick->GetDeviceInfo(&inputState.JoystickInfo());
    joystick->Acquire();
    return hr;
}

void Press(MouseState &latch, unsigned button) {
    latch.dwDown |= 1u << button;
    latch.dwPressed |= 1u << button;
}

void Release(MouseState &latch, unsigned button) {
    latch.dwDown &= ~(1u << button);
    latch.dwReleased |= 1u << button;
}

// This frame's mouse: the buttons held now, those that went down or up since
// the last frame, and the whole wheel steps turned (the rest of a step is
// kept for the next frame).
void TakeMouseLatch() {
    MouseState &latch = inputState.MouseLatch;
    inputState.Mouse.dwDown = latch.dwDown;
    inputState.Mouse.dwPressed = latch.dwPressed;
    inputState.Mouse.dwReleased = latch.dwReleased;
    inputState.Mouse.wheel = latch.wheel / WHEEL_DELTA;
    latch.wheel -= inputState.Mouse.wheel * WHEEL_DELTA;
    latch.dwPressed = 0;
    latch.dwReleased = 0;
}

void DropJoystick() {
    LPDIRECTINPUTDEVICE8A &joystick = inputState.lpJoystick();
    joystick->Unacquire();
    joystick->Release();
    joystick = nullptr;
    memset(&inputState.JoystickInfo(), 0, sizeof(DIDEVICEINSTANCEA));
    memset(&inputState.JoyState, 0, sizeof inputState.JoyState);
}

// Hot-plug: opens the first attached controller, as CreateJoystick does but
// without a box; one that cannot be set up is let go. At most once per
// kJoystickScanMs.
void ScanForJoystick() {
    const DWORD now = GetTickCount();
    if (now - inputState.dwJoystickScanTime < kJoystickScanMs) {
        return;
    }
    inputState.dwJoystickScanTime = now;
    inputState.lpDI->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoystickCallback, nullptr,
                                 DIEDFL_ATTACHEDONLY);
    LPDIRECTINPUTDEVICE8A joystick = inputState.lpJoystick();
    if (joystick == nullptr) {
        return;
    }
    const char *failure = nullptr;
    if (FAILED(SetUpJoystick(joystick, &failure))) {
        DropJoystick();
    }
}

} // namespace

HRESULT InitInput() {
    HRESULT hr = DirectInput8Create(GetInstanceHandle(), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<void **>(&inputState.lpDI), nullptr);
    if (hr != 0) {
        ShowMessage("InitInput : DirectInput8Create\n", "Error");
        ExitFramework();
        return hr;
    }
    hr = CreateKeyboard();
    if (hr != 0) {
        return Report("InitInput : CreateKeyboard\n", hr);
    }
    hr = CreateJoystick();
    inputState.dwJoystickScanTime = GetTickCount();
    // An optional controller may be missing; any other failure is one.
    const bool missing = hr == E_FAIL && inputState.lpJoystick() == nullptr;
    if (hr != 0 && !(missing && inputState.bJoystickOptional)) {
        return Report("InitInput : CreateJoystick\n", hr);
    }
    return 0;
}

HRESULT CreateKeyboard() {
    if (inputState.lpDI == nullptr) {
        return E_FAIL;
    }
    LPDIRECTINPUTDEVICE8A &keyboard = inputState.lpKeyboard();
    HRESULT hr = inputState.lpDI->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : CreateDevice\n", hr);
    }
    hr = keyboard->SetDataFormat(&c_dfDIKeyboard);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : SetDataFormat\n", hr);
    }
    hr = keyboard->SetCooperativeLevel(GetWindowHandle(), kCooperativeLevel);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : SetCooperativeLevel\n", hr);
    }
    inputState.KeyboardInfo().dwSize = sizeof(DIDEVICEINSTANCEA);
    hr = keyboard->GetDeviceInfo(&inputState.KeyboardInfo());
    if (FAILED(hr)) {
        return Report("CreateKeyboard : GetDeviceInfo\n", hr);
    }
    // Without the focus this fails; UpdateInput acquires again on every failed read.
    keyboard->Acquire();
    return hr;
}

HRESULT CreateJoystick() {
    if (inputState.lpDI == nullptr) {
        return E_FAIL;
    }
    HRESULT hr = inputState.lpDI->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoystickCallback, nullptr,
                                              DIEDFL_ATTACHEDONLY);
    if (FAILED(hr)) {
        return Report("CreateJoystick : EnumDevices\n", hr);
    }
    LPDIRECTINPUTDEVICE8A joystick = inputState.lpJoystick();
    // NOTE: no message here; InitInput's own says that the joystick is missing.
    if (joystick == nullptr) {
        return E_FAIL;
    }
    const char *failure = nullptr;
    hr = SetUpJoystick(joystick, &failure);
    return FAILED(hr) ? Report(failure, hr) : hr;
}

BOOL CALLBACK EnumJoystickCallback(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    if (inputState.lpDI == nullptr || instance == nullptr) {
        return DIENUM_STOP;
    }
    const HRESULT hr =
        inputState.lpDI->CreateDevice(instance->guidInstance, &inputState.lpJoystick(), nullptr);
    return FAILED(hr) ? DIENUM_CONTINUE : DIENUM_STOP;
}

HRESULT UpdateInput() {
    HRESULT hr = E_FAIL;
    inputState.dwPreviousButtons = GetButtons();
    memcpy(inputState.PreviousKeyState, inputState.KeyState, sizeof inputState.KeyState);
    TakeMouseLatch();
    LPDIRECTINPUTDEVICE8A keyboard = inputState.lpKeyboard();
    if (keyboard != nullptr) {
        // A failed read leaves every key up for this frame.
        memset(inputState.KeyState, 0, sizeof inputState.KeyState);
        hr = keyboard->GetDeviceState(sizeof inputState.KeyState, inputState.KeyState);
        if (hr != 0) {
            hr = keyboard->Acquire();
        }
    }
    if (inputState.lpJoystick() == nullptr && inputState.bJoystickOptional &&
        inputState.lpDI != nullptr) {
        ScanForJoystick();
    }
    LPDIRECTINPUTDEVICE8A joystick = inputState.lpJoystick();
    if (joystick == nullptr) {
        return hr;
    }
    // NOTE: JoyState is not cleared: a failed read keeps the last good one.
    hr = joystick->Poll();
    if (hr == DI_OK || hr == DI_NOEFFECT) {
        hr = joystick->GetDeviceState(sizeof inputState.JoyState, &inputState.JoyState);
    }
    if (FAILED(hr)) {
        const HRESULT acquired = joystick->Acquire();
        // An optional controller that is gone for good is let go (its part
        // of the mask reads 0) and looked for again.
        if (inputState.bJoystickOptional && (hr == kUnplugged || acquired == kUnplugged)) {
            DropJoystick();
        }
    }
    return hr;
}

void ReleaseInput() {
    for (LPDIRECTINPUTDEVICE8A &device : inputState.lpDevice) {
        if (device != nullptr) {
            device->Unacquire();
            device->Release();
            device = nullptr;
        }
    }
    memset(inputState.KeyState, 0, sizeof inputState.KeyState);
    memset(inputState.PreviousKeyState, 0, sizeof inputState.PreviousKeyState);
    inputState.dwPreviousButtons = 0;
    memset(inputState.DeviceInfo, 0, sizeof inputState.DeviceInfo);
    memset(&inputState.JoyState, 0, sizeof inputState.JoyState);
    inputState.Mouse = MouseState{};
    inputState.MouseLatch = MouseState{};
    if (inputState.lpDI != nullptr) {
        inputState.lpDI->Release();
        inputState.lpDI = nullptr;
    }
}

void SetJoystickRequired(BOOL required) { inputState.bJoystickOptional = !required; }

int IsJoystickConnected() { return inputState.lpJoystick() != nullptr ? 1 : 0; }

void LatchMouseMessage(UINT message, WPARAM wParam) {
    MouseState &latch = inputState.MouseLatch;
    switch (message) {
    case WM_LBUTTONDOWN:
        return Press(latch, 0);
    case WM_RBUTTONDOWN:
        return Press(latch, 1);
    case WM_MBUTTONDOWN:
        return Press(latch, 2);
    case WM_LBUTTONUP:
        return Release(latch, 0);
    case WM_RBUTTONUP:
        return Release(latch, 1);
    case WM_MBUTTONUP:
        return Release(latch, 2);
    case WM_KILLFOCUS:
        // The button-up messages go elsewhere now: every button is let go.
        latch.dwReleased |= latch.dwDown;
        latch.dwDown = 0;
        return;
    case WM_MOUSEWHEEL:
        latch.wheel += GET_WHEEL_DELTA_WPARAM(wParam);
        return;
    }
}
