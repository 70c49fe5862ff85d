// Fake DirectInput 8: DirectInput8Create, IDirectInput8A and
// IDirectInputDevice8A. A pure fake: nothing reaches Wine's DirectInput.
//
// The keyboard is the device that CreateDevice(GUID_SysKeyboard) opens; the
// game controllers are a scripted list (by default one, "Joystick1", that
// opens) that EnumDevices offers in order, each with a GUID of its own.
// Devices read scripted state: key bytes and one DIJOYSTATE.
//
// Log entries (a device's entries carry its name, "Keyboard" or the
// controller's):
//   "DirectInput8Create(0x<instance>, 0x800, IID_IDirectInput8A, NULL)"
//   "IDirectInput8::CreateDevice(GUID_SysKeyboard, NULL)", a controller's
//       instance GUID is written as its name, its product GUID as
//       "<name> product"; other GUIDs in braces
//   "IDirectInput8::EnumDevices(4, NULL, 0x1)" (device type, context, flags)
//   "EnumDevicesCallback(Joystick1) = DIENUM_STOP" (the caller's answer)
//   "IDirectInput8::Release", "Keyboard::Release"
//   "Keyboard::SetDataFormat(c_dfDIKeyboard)" (or c_dfDIJoystick, else the
//       address)
//   "Keyboard::SetCooperativeLevel(0x<window>, 0x6)"
//   "Joystick1::SetProperty(DIPROP_RANGE, size=24, header=16, obj=0, how=1,
//       min=-1000, max=1000)"
//   "Joystick1::SetProperty(DIPROP_DEADZONE, size=20, header=16, obj=4,
//       how=1, data=4000)"
//   "Keyboard::GetDeviceInfo(size=580)", "Keyboard::Acquire",
//   "Keyboard::Unacquire", "Joystick1::Poll", "Keyboard::GetDeviceState(256)"
//
// Scripts (fake::Fail) use the entry's name up to the parenthesis:
// "DirectInput8Create", "IDirectInput8::CreateDevice",
// "IDirectInput8::EnumDevices", "Keyboard::SetDataFormat",
// "Joystick1::SetProperty", "Joystick1::Poll", ... A failing script makes the
// call fail without effect (no object, no data written); a scripted success
// code is returned after the call's normal effect.
#pragma once

#include <windows.h>

#include <dinput.h>

#include <string>
#include <vector>

namespace fake {

// A game controller that EnumDevices offers.
struct Controller {
    std::string name;
    // What CreateDevice with its instance GUID returns.
    HRESULT createResult = DI_OK;
    // The device path GetProperty(DIPROP_GUIDANDPATH) answers; none if empty.
    std::wstring path = {};
};

// A key change in the keyboard's buffer.
struct KeyChange {
    unsigned key;
    bool down;
};
// Changes the keyboard's GetDeviceData hands out next, in order; with
// `overflow` the read that empties them answers DI_BUFFEROVERFLOW.
void QueueKeyChanges(const std::vector<KeyChange> &changes, bool overflow = false);

// The attached controllers, in enumeration order.
void SetControllers(const std::vector<Controller> &controllers);

// The byte GetDeviceState of a keyboard gives for key `code`.
void SetKey(unsigned code, BYTE value);
// What GetDeviceState of a joystick gives.
void SetJoyState(const DIJOYSTATE &state);

// The buffer that the last GetDeviceInfo of device `name` was given, or null.
const DIDEVICEINSTANCEA *DeviceInfoBuffer(const std::string &name);

// Back to one controller that opens, keys up, joystick state zero.
void ResetDirectInput();

} // namespace fake
