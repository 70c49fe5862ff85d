/// \file
/// Input devices: the DirectInput 8 object, one keyboard and one game
/// controller (joystick), both non-exclusive and foreground on the
/// framework's window.
///
/// InitFramework starts input first, once the window exists; a joystick is
/// required, so start-up fails without one, unless the program called
/// SetJoystickRequired(FALSE) before: then it starts with the keyboard alone,
/// and a controller plugged in or pulled out while it runs is picked up (within
/// about a second) or let go without a message. UpdateFramework reads both devices
/// once per frame into fixed buffers, re-acquiring a device whose read fails
/// (the window lost the focus); buttons.h turns the buffers into the button
/// mask. ExitFramework releases everything; ReleaseInput may run before
/// InitInput, on a partly created state and twice. Main thread only.
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
/// Step of InitInput: the first game controller; the last SetProperty's
/// result, or E_FAIL when no game controller could be opened.
HRESULT CreateJoystick();
/// Opens the enumerated controller; DIENUM_STOP once one is open.
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
/// 1 while a game controller is open, else 0.
int IsJoystickConnected();
