/// \file
/// Input devices: the DirectInput 8 object, one keyboard and one game
/// controller (joystick), both non-exclusive and foreground on the
/// framework's window.
///
/// InitFramework starts input first, once the window exists; a game
/// controller is required, so start-up fails without one, unless the program
/// called SetJoystickRequired(FALSE) before: then it starts with the keyboard
/// alone. An XInput pad (an Xbox-style pad, buttons.h) counts as a controller.
/// Every attached DirectInput controller is tried in enumeration order: one
/// that cannot be set up (pedals, a wheel) is let go for the next; those that
/// XInput serves are left to XInput.
///
/// Hot-plug: a controller pulled out reads neutral at once (stick centred,
/// buttons up, hat centred), required or not. Controllers are looked for
/// again only when Windows says the set of devices changed (WM_DEVICECHANGE,
/// which the window procedure hands to input), never on a timer: enumerating
/// them can take tens of milliseconds on a PC with many HID devices. A
/// required controller that comes back but cannot be set up shows its failure
/// once.
///
/// UpdateFramework reads the devices once per frame into fixed buffers,
/// re-acquiring a device whose read fails (the window lost the focus). A
/// failed read reads neutral for that frame: every key up, the stick and hat
/// centred, the controller's buttons up. The keyboard also keeps each key
/// change in between (DirectInput's buffered data). buttons.h turns the
/// buffers into the button mask. ExitFramework releases everything;
/// ReleaseInput may run before InitInput, on a partly created state and
/// twice. Main thread only.
#pragma once

#include <windows.h>

#include <dinput.h>

/// The X and Y axes read from -JoystickRange to +JoystickRange.
constexpr LONG JoystickRange = 1000;
/// Dead zone of X and Y in 1/10000 of the travel: 40 % around the centre reads 0.
constexpr LONG JoystickDeadZone = 4000;

/// Creates DirectInput, the keyboard and the joystick; 0 on success, else the
/// failing call's code. When DirectInput itself cannot be created it runs
/// ExitFramework before returning.
HRESULT InitInput();
/// Step of InitInput: the keyboard; GetDeviceInfo's result, or the failing
/// call's after its message.
HRESULT CreateKeyboard();
/// Step of InitInput: the first game controller that opens and can be set up;
/// the last SetProperty's result, E_FAIL when none is attached or opens, or,
/// for a required controller, the first failing set-up step's result after its
/// message.
HRESULT CreateJoystick();
/// Opens and sets up the enumerated controller; DIENUM_STOP once one is ready,
/// DIENUM_CONTINUE (the device let go) when it cannot be.
BOOL CALLBACK EnumJoystickCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context);

/// Reads the keyboard and the joystick. Returns the joystick's result, or the
/// keyboard's when there is no joystick, E_FAIL with no device at all.
HRESULT UpdateInput();

/// Releases both devices and DirectInput and zeroes every buffer.
void ReleaseInput();

/// Call before InitFramework. FALSE: start-up succeeds without a game
/// controller (its part of the button mask reads 0) and one is picked up or
/// let go while the program runs. TRUE (the default): start-up fails without one.
void SetJoystickRequired(BOOL required);
/// 1 while a DirectInput game controller is open, else 0 (XInput pads:
/// IsPadConnected in buttons.h).
int IsJoystickConnected();

/// TRUE: the characters typed from now on are gathered for GetTypedText
/// (buttons.h), as when a text field has the focus. FALSE (the default):
/// none are.
void SetTextInput(BOOL on);
