#include "input/input.h"

#include "app/framework.h"
#include "app/window.h"
#include "input/input_state.h"

#include <cstring>

namespace {

constexpr DWORD kCooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

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
    if (hr != 0) {
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
    hr = joystick->SetDataFormat(&c_dfDIJoystick);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetDataFormat\n", hr);
    }
    hr = joystick->SetCooperativeLevel(GetWindowHandle(), kCooperativeLevel);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetCooperativeLevel\n", hr);
    }
    hr = SetAxisRange(joystick, DIJOFS_X);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_X\n", hr);
    }
    hr = SetAxisRange(joystick, DIJOFS_Y);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_Y\n", hr);
    }
    hr = SetAxisDeadZone(joystick, DIJOFS_X);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetProperty DIJOFS_X\n", hr);
    }
    hr = SetAxisDeadZone(joystick, DIJOFS_Y);
    if (FAILED(hr)) {
        return Report("CreateJoystick : SetProperty DIJOFS_Y\n", hr);
    }
    inputState.JoystickInfo().dwSize = sizeof(DIDEVICEINSTANCEA);
    joystick->GetDeviceInfo(&inputState.JoystickInfo());
    joystick->Acquire();
    return hr;
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
    LPDIRECTINPUTDEVICE8A keyboard = inputState.lpKeyboard();
    if (keyboard != nullptr) {
        // A failed read leaves every key up for this frame.
        memset(inputState.KeyState, 0, sizeof inputState.KeyState);
        hr = keyboard->GetDeviceState(sizeof inputState.KeyState, inputState.KeyState);
        if (hr != 0) {
            hr = keyboard->Acquire();
        }
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
        joystick->Acquire();
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
    memset(inputState.DeviceInfo, 0, sizeof inputState.DeviceInfo);
    memset(&inputState.JoyState, 0, sizeof inputState.JoyState);
    if (inputState.lpDI != nullptr) {
        inputState.lpDI->Release();
        inputState.lpDI = nullptr;
    }
}
