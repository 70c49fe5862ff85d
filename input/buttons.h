/// \file
/// Button state: the keyboard and joystick buffers that UpdateInput read last,
/// as one mask of thirteen buttons (four directions, nine action buttons, each
/// fed by a key and by the joystick), and single queries for any key, any
/// joystick button and each stick direction.
///
/// Everything here only reads the buffers: answers change at the next
/// UpdateInput and are all 0 before InitInput and after ReleaseInput. The mask
/// is level-based; the Pressed and Released queries compare it (or a key) with
/// the previous UpdateInput's, so an edge is seen in exactly one frame.
///
/// The analogue stick: the device keeps its 40 % dead zone on each axis (the
/// mask's directions rely on it), and GetStickX and GetStickY undo its
/// stretch to recover where the stick is outside that zone, then apply a radial
/// dead zone of the same 40 %: the stick reads 0 while both axes are inside
/// the device's dead zone, its length grows from 0 to 1 between 40 % and full
/// travel in any direction, and it never exceeds 1 (a corner reads 0.707 on
/// each axis). Pushed along one axis, the value is the axis reading / 1000.
///
/// The mouse buttons and the wheel come from the window's messages, latched
/// between two UpdateInput calls: a click shorter than a frame is seen as
/// pressed and released in one frame. A button let go outside the window
/// counts as released when the window loses the focus.
#pragma once

#include <windows.h>

constexpr DWORD BUTTON_UP = 0x1;    ///< DIK_UP, or lY < 0
constexpr DWORD BUTTON_DOWN = 0x2;  ///< DIK_DOWN, or lY > 0
constexpr DWORD BUTTON_LEFT = 0x4;  ///< DIK_LEFT, or lX < 0
constexpr DWORD BUTTON_RIGHT = 0x8; ///< DIK_RIGHT, or lX > 0
constexpr DWORD BUTTON_0 = 0x100;   ///< DIK_Z, or joystick button 0
constexpr DWORD BUTTON_1 = 0x200;   ///< DIK_X, or button 1
constexpr DWORD BUTTON_2 = 0x400;   ///< DIK_C, or button 2
constexpr DWORD BUTTON_3 = 0x800;   ///< DIK_A, or button 3
constexpr DWORD BUTTON_4 = 0x1000;  ///< DIK_S, or button 4
constexpr DWORD BUTTON_5 = 0x2000;  ///< DIK_D, or button 5
constexpr DWORD BUTTON_6 = 0x4000;  ///< DIK_Q, or button 6
constexpr DWORD BUTTON_7 = 0x8000;  ///< DIK_W, or button 7
constexpr DWORD BUTTON_8 = 0x10000; ///< DIK_E, or button 8

/// GetJoystickButtons() | GetKeyboardButtons().
DWORD GetButtons();
/// The mask bits set by the joystick: directions from the sign of lX and lY
/// (the dead zone already reads 0), buttons 0 to 8 from bit 0x80 of their byte.
DWORD GetJoystickButtons();
/// The mask bits set by the keyboard: a key is down when its byte is 0x80.
DWORD GetKeyboardButtons();

/// 1 when key `key` (a DIK code, 1 to 255) is down, else 0.
int IsKeyDown(unsigned key);
/// 1 when bit 0x80 of joystick button `button` (0 to 31) is set, else 0.
int IsJoystickButtonDown(unsigned button);
/// 1 while the stick is pushed up (out of the dead zone), else 0.
int IsJoystickUp();
/// 1 while the stick is pushed down, else 0.
int IsJoystickDown();
/// 1 while the stick is pushed left, else 0.
int IsJoystickLeft();
/// 1 while the stick is pushed right, else 0.
int IsJoystickRight();

/// The mask bits that went down in the last UpdateInput (held now, not before).
DWORD GetButtonsPressed();
/// The mask bits that went up in the last UpdateInput (held before, not now).
DWORD GetButtonsReleased();
/// 1 when key `key` (a DIK code, 1 to 255) went down in the last UpdateInput.
int IsKeyPressed(unsigned key);
/// 1 when key `key` (a DIK code, 1 to 255) went up in the last UpdateInput.
int IsKeyReleased(unsigned key);

/// The stick's X position, -1 (left) to 1 (right), 0 within the dead zone or
/// without a controller.
float GetStickX();
/// The stick's Y position, -1 (up) to 1 (down), 0 within the dead zone or
/// without a controller.
float GetStickY();
/// The point-of-view hat: hundredths of a degree clockwise from up (0 to
/// 35999), -1 when it is centred or there is no controller.
int GetJoystickPov();

/// 1 while mouse button `button` (0 left, 1 right, 2 middle) is held over the
/// window, else 0.
int IsMouseButtonDown(unsigned button);
/// 1 when mouse button `button` went down since the previous frame, else 0.
int IsMouseButtonPressed(unsigned button);
/// 1 when mouse button `button` went up since the previous frame, else 0.
int IsMouseButtonReleased(unsigned button);
/// Wheel steps turned since the previous frame: positive away from the user.
int GetMouseWheel();
