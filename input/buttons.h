/// \file
/// Button state: the keyboard and joystick buffers that UpdateInput read last,
/// as one mask of thirteen buttons (four directions, nine action buttons, each
/// fed by a key and by the joystick), and single queries for any key, any
/// joystick button and each stick direction.
///
/// Everything here only reads the buffers: answers change at the next
/// UpdateInput and are all 0 before InitInput and after ReleaseInput. The mask
/// is level-based; callers that need presses keep the previous mask.
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
