/// \file
/// Button state: the keyboard and joystick buffers that UpdateInput read last,
/// as one mask of thirteen buttons (four directions, nine action buttons, each
/// fed by a key and by the joystick), and single queries for any key, any
/// joystick button and each stick direction.
///
/// Everything here only reads the buffers: answers change at the next
/// UpdateInput and are all 0 before InitInput and after ReleaseInput. The mask
/// is level-based. The Pressed and Released queries answer for what happened
/// since the previous UpdateInput, each edge in exactly one frame: a key's come
/// from the keyboard's buffered changes, so a key that went down and up
/// between two frames reads pressed and released in the next one (and not
/// down); where the buffer overflowed they come from the two states. A mask
/// bit reads pressed when one of its keys was pressed, or when it went from up
/// to down; released likewise.
///
/// The analogue stick: the device keeps its 40 % dead zone on each axis (the
/// mask's directions rely on it), and GetStickX and GetStickY undo its
/// stretch to recover where the stick is outside that zone, then apply a radial
/// dead zone of the same 40 %: the stick reads 0 while both axes are inside
/// the device's dead zone, its length grows from 0 to 1 between 40 % and full
/// travel in any direction, and it never exceeds 1 (a corner reads 0.707 on
/// each axis). Pushed along one axis, the value is the axis reading / 1000;
/// an axis inside the device's zone still reads 0, so a stick pushed nearly
/// straight up reads exactly 0 on X.
///
/// The mouse buttons and the wheel come from the window's messages, latched
/// between two UpdateInput calls: a click shorter than a frame is seen as
/// pressed and released in one frame. The mouse is captured while a button is
/// held, so a release outside the window is seen; a button still held when
/// the window loses the focus or the capture counts as released.
///
/// Xbox-style pads (XInput, up to four, 0 to 3): read once a frame while
/// connected; an empty slot is asked about once a second (or at once when
/// Windows says the devices changed), so a pad plugged in shows within a
/// second. Pulled out, a pad reads neutral at once. Pad 0 also feeds the mask
/// and the stick queries, as the joystick does: the left stick and the d-pad
/// give the directions; A, B, X, Y, the left and right shoulders, Back, Start
/// and the left stick's click give BUTTON_0 to BUTTON_8. Buttons are XInput's
/// XINPUT_GAMEPAD_* flags. Edges are seen between two reads, so a pad button
/// tapped within one frame can be missed (XInput keeps no history).
#pragma once

#include <windows.h>

#include <xinput.h>

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

/// GetJoystickButtons() | GetKeyboardButtons(), and pad 0's buttons (see above).
DWORD GetButtons();
/// The mask bits set by the joystick: directions from the sign of lX and lY
/// (the dead zone already reads 0), buttons 0 to 8 from bit 0x80 of their byte.
DWORD GetJoystickButtons();
/// The mask bits set by the keyboard: a key is down when its byte is 0x80.
DWORD GetKeyboardButtons();

/// 1 when key `key` (a DIK code, 1 to 255) is down, else 0: as the last
/// UpdateInput's newest reading has it. A key let go between the state read
/// and the buffer read reads up and released, never down and released.
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
/// A key pressed and let go between two UpdateInput calls reads pressed and
/// released in the same frame. NOTE: under Wine 10 the release of such a tap
/// can reach DirectInput's buffered data only after the frame that read its
/// press; it then reads released in a later frame, still once.
int IsKeyReleased(unsigned key);
/// How often key `key` (a DIK code, 1 to 255) went down since the previous
/// UpdateInput (up to 255); 0 for other codes.
int GetKeyPressCount(unsigned key);

/// The stick's X position, -1 (left) to 1 (right), 0 within the dead zone or
/// without a controller: the joystick's, or pad 0's left stick while the
/// joystick's is at rest.
float GetStickX();
/// The stick's Y position, -1 (up) to 1 (down), 0 within the dead zone or
/// without a controller; as GetStickX.
float GetStickY();
/// The point-of-view hat: hundredths of a degree clockwise from up (0 to
/// 35999), -1 when it is centred or there is no controller.
int GetJoystickPov();

/// 1 while mouse button `button` (0 left, 1 right, 2 middle, 3 and 4 the side
/// buttons) is held, else 0 (also for any other number).
int IsMouseButtonDown(unsigned button);
/// 1 when mouse button `button` went down since the previous frame, else 0.
int IsMouseButtonPressed(unsigned button);
/// 1 when mouse button `button` went up since the previous frame, else 0.
int IsMouseButtonReleased(unsigned button);
/// Wheel steps turned since the previous frame: positive away from the user.
int GetMouseWheel();

/// The characters typed since the previous UpdateInput as UTF-8 (NUL-ended,
/// "" when none or while SetTextInput is off): what the keyboard layout and
/// the input method make of the keys, so "é" or "東" come whole. Backspace,
/// Enter, Tab, Escape and the arrows are not text: read them as keys. At most
/// 256 bytes a frame; characters beyond are dropped whole, never cut.
const char *GetTypedText();

/// 1 while XInput pad `pad` (0 to 3) is connected, else 0.
int IsPadConnected(unsigned pad);
/// The XINPUT_GAMEPAD_* flags held on pad `pad`; 0 when not connected.
WORD GetPadButtons(unsigned pad);
/// 1 while every flag of `button` (XINPUT_GAMEPAD_A, ...) is held on pad `pad`.
int IsPadButtonDown(unsigned pad, WORD button);
/// 1 when `button` went down on pad `pad` in the last UpdateInput.
int IsPadButtonPressed(unsigned pad, WORD button);
/// 1 when `button` went up on pad `pad` in the last UpdateInput (a pad pulled
/// out lets its buttons go).
int IsPadButtonReleased(unsigned pad, WORD button);
/// Stick `stick` (0 left, 1 right) of pad `pad`: -1 (left) to 1 (right), 0
/// inside XInput's dead zone for that stick; its length never exceeds 1.
float GetPadStickX(unsigned pad, unsigned stick);
/// As GetPadStickX, -1 (up) to 1 (down), as GetStickY.
float GetPadStickY(unsigned pad, unsigned stick);
/// Trigger `trigger` (0 left, 1 right) of pad `pad`: 0 up to XInput's
/// threshold, then to 1 fully pulled.
float GetPadTrigger(unsigned pad, unsigned trigger);
/// Runs pad `pad`'s low- and high-frequency motors at `low` and `high` (0 to
/// 1). The motors stop while the window is not in front and at ExitFramework.
/// E_INVALIDARG for a pad outside 0 to 3, E_FAIL for one not connected.
HRESULT SetPadVibration(unsigned pad, float low, float high);
