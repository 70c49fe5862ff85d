#include <fw/input/buttons.h>
#include <fw/input/input.h>

#include "input_test.h"

#include <climits>
#include <cstring>

namespace {

using input_test::CaseName;
using input_test::InputTest;

// Starts input with the fake's scripted state and reads it once.
void ReadDevices() {
    ASSERT_EQ(InitInput(), 0);
    ASSERT_EQ(UpdateInput(), 0);
}

DIJOYSTATE Stick(LONG x, LONG y) {
    DIJOYSTATE state = {};
    state.lX = x;
    state.lY = y;
    return state;
}

// ---- Mask table -----------------------------------------------------------

struct KeyCase {
    const char *name;
    unsigned key;
    DWORD button;
    friend void PrintTo(const KeyCase &c, std::ostream *os) { *os << c.name; }
};

class KeyButton : public InputTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyButton, KeySetsItsBitAlone) {
    fake::SetKey(GetParam().key, 0x80);
    ReadDevices();
    EXPECT_EQ(GetKeyboardButtons(), GetParam().button);
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetButtons(), GetParam().button);
    EXPECT_EQ(IsKeyDown(GetParam().key), 1);
}

INSTANTIATE_TEST_SUITE_P(Input, KeyButton,
                         ::testing::Values(KeyCase{"CursorUp", 0xC8, 0x1},
                                           KeyCase{"CursorDown", 0xD0, 0x2},
                                           KeyCase{"CursorLeft", 0xCB, 0x4},
                                           KeyCase{"CursorRight", 0xCD, 0x8},
                                           KeyCase{"Z", 0x2C, 0x100}, KeyCase{"X", 0x2D, 0x200},
                                           KeyCase{"C", 0x2E, 0x400}, KeyCase{"A", 0x1E, 0x800},
                                           KeyCase{"S", 0x1F, 0x1000}, KeyCase{"D", 0x20, 0x2000},
                                           KeyCase{"Q", 0x10, 0x4000}, KeyCase{"W", 0x11, 0x8000},
                                           KeyCase{"E", 0x12, 0x10000}),
                         CaseName());

struct JoystickCase {
    const char *name;
    DIJOYSTATE state;
    DWORD button;
    friend void PrintTo(const JoystickCase &c, std::ostream *os) { *os << c.name; }
};

DIJOYSTATE ButtonHeld(int index) {
    DIJOYSTATE state = {};
    state.rgbButtons[index] = 0x80;
    return state;
}

class JoystickButton : public InputTest, public ::testing::WithParamInterface<JoystickCase> {};

TEST_P(JoystickButton, InputSetsItsBitAlone) {
    fake::SetJoyState(GetParam().state);
    ReadDevices();
    EXPECT_EQ(GetJoystickButtons(), GetParam().button);
    EXPECT_EQ(GetKeyboardButtons(), 0u);
    EXPECT_EQ(GetButtons(), GetParam().button);
}

INSTANTIATE_TEST_SUITE_P(
    Input, JoystickButton,
    ::testing::Values(JoystickCase{"Centred", Stick(0, 0), 0},
                      JoystickCase{"StickUp", Stick(0, -1), 0x1},
                      JoystickCase{"StickDown", Stick(0, 1), 0x2},
                      JoystickCase{"StickLeft", Stick(-1, 0), 0x4},
                      JoystickCase{"StickRight", Stick(1, 0), 0x8},
                      JoystickCase{"StickUpLeftFull", Stick(-1000, -1000), 0x5},
                      JoystickCase{"StickDownRightFull", Stick(1000, 1000), 0xA},
                      JoystickCase{"Button0", ButtonHeld(0), 0x100},
                      JoystickCase{"Button1", ButtonHeld(1), 0x200},
                      JoystickCase{"Button2", ButtonHeld(2), 0x400},
                      JoystickCase{"Button3", ButtonHeld(3), 0x800},
                      JoystickCase{"Button4", ButtonHeld(4), 0x1000},
                      JoystickCase{"Button5", ButtonHeld(5), 0x2000},
                      JoystickCase{"Button6", ButtonHeld(6), 0x4000},
                      JoystickCase{"Button7", ButtonHeld(7), 0x8000},
                      JoystickCase{"Button8", ButtonHeld(8), 0x10000}),
    CaseName());

struct DirectionCase {
    const char *name;
    LONG x, y;
    int up, down, left, right;
    friend void PrintTo(const DirectionCase &c, std::ostream *os) { *os << c.name; }
};

class Direction : public InputTest, public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(Direction, QueriesFollowTheSignOfTheAxes) {
    const DirectionCase &c = GetParam();
    fake::SetJoyState(Stick(c.x, c.y));
    ReadDevices();
    EXPECT_EQ(IsJoystickUp(), c.up);
    EXPECT_EQ(IsJoystickDown(), c.down);
    EXPECT_EQ(IsJoystickLeft(), c.left);
    EXPECT_EQ(IsJoystickRight(), c.right);
}

INSTANTIATE_TEST_SUITE_P(Input, Direction,
                         ::testing::Values(DirectionCase{"Centred", 0, 0, 0, 0, 0, 0},
                                           DirectionCase{"Up", 0, -1, 1, 0, 0, 0},
                                           DirectionCase{"Down", 0, 1000, 0, 1, 0, 0},
                                           DirectionCase{"Left", -1000, 0, 0, 0, 1, 0},
                                           DirectionCase{"Right", 1, 0, 0, 0, 0, 1},
                                           DirectionCase{"UpRight", 5, -5, 1, 0, 0, 1}),
                         CaseName());

// ---- Down tests -----------------------------------------------------------

struct ByteCase {
    const char *name;
    BYTE value;
    int down;
    friend void PrintTo(const ByteCase &c, std::ostream *os) { *os << c.name; }
};

class KeyByte : public InputTest, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(KeyByte, KeyIsDownOnlyAtExactly0x80) {
    fake::SetKey(DIK_Z, GetParam().value);
    ReadDevices();
    EXPECT_EQ(IsKeyDown(DIK_Z), GetParam().down);
    EXPECT_EQ(GetButtons(), GetParam().down ? BUTTON_0 : 0u);
}

INSTANTIATE_TEST_SUITE_P(Input, KeyByte,
                         ::testing::Values(ByteCase{"Up", 0x00, 0}, ByteCase{"Exactly80", 0x80, 1},
                                           ByteCase{"Bit80WithOthers", 0x81, 0},
                                           ByteCase{"AllBits", 0xFF, 0},
                                           ByteCase{"LowBitsOnly", 0x7F, 0}),
                         CaseName());

class JoystickByte : public InputTest, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(JoystickByte, ButtonIsDownWhenBit0x80IsSet) {
    DIJOYSTATE state = {};
    state.rgbButtons[0] = GetParam().value;
    fake::SetJoyState(state);
    ReadDevices();
    EXPECT_EQ(IsJoystickButtonDown(0), GetParam().down);
    EXPECT_EQ(GetButtons(), GetParam().down ? BUTTON_0 : 0u);
}

INSTANTIATE_TEST_SUITE_P(Input, JoystickByte,
                         ::testing::Values(ByteCase{"Up", 0x00, 0}, ByteCase{"Exactly80", 0x80, 1},
                                           ByteCase{"Bit80WithOthers", 0x81, 1},
                                           ByteCase{"AllBits", 0xFF, 1},
                                           ByteCase{"LowBitsOnly", 0x7F, 0}),
                         CaseName());

// ---- Combinations and unused bits -----------------------------------------

TEST_F(InputTest, ButtonHeldOnBothDevicesIsSetOnce) {
    fake::SetKey(DIK_UP, 0x80);
    fake::SetKey(DIK_Z, 0x80);
    DIJOYSTATE state = Stick(0, -1000);
    state.rgbButtons[0] = 0x80;
    fake::SetJoyState(state);
    ReadDevices();
    EXPECT_EQ(GetButtons(), BUTTON_UP | BUTTON_0);
}

TEST_F(InputTest, OppositeCursorKeysSetBothBits) {
    fake::SetKey(DIK_UP, 0x80);
    fake::SetKey(DIK_DOWN, 0x80);
    ReadDevices();
    EXPECT_EQ(GetButtons(), BUTTON_UP | BUTTON_DOWN);
}

TEST_F(InputTest, JoystickButtons9To31SetNoBitButAreReported) {
    DIJOYSTATE state = {};
    memset(state.rgbButtons + 9, 0x80, sizeof state.rgbButtons - 9);
    fake::SetJoyState(state);
    ReadDevices();
    EXPECT_EQ(GetButtons(), 0u);
    for (unsigned button = 9; button < 32; ++button) {
        EXPECT_EQ(IsJoystickButtonDown(button), 1) << "button " << button;
    }
}

// Every key and every joystick input held: only the thirteen bits of the
// table can be set.
TEST_F(InputTest, EverythingHeldSetsOnlyTheThirteenBits) {
    for (unsigned key = 0; key < 256; ++key) {
        fake::SetKey(key, 0x80);
    }
    DIJOYSTATE state = Stick(-1000, -1000);
    memset(state.rgbButtons, 0xFF, sizeof state.rgbButtons);
    fake::SetJoyState(state);
    ReadDevices();
    EXPECT_EQ(GetButtons(), 0x1FF0Fu);
    EXPECT_EQ(GetJoystickButtons(), 0x1FF05u);
    EXPECT_EQ(GetKeyboardButtons(), 0x1FF0Fu);
}

TEST_F(InputTest, QueriesReadTheStateOfTheLastUpdateOnly) {
    fake::SetKey(DIK_X, 0x80);
    ReadDevices();
    fake::SetKey(DIK_X, 0);
    EXPECT_EQ(GetButtons(), BUTTON_1);
    EXPECT_EQ(GetButtons(), BUTTON_1);
    UpdateInput();
    EXPECT_EQ(GetButtons(), 0u);
}

TEST_F(InputTest, BeforeInitInputEveryQueryIsZero) {
    EXPECT_EQ(GetButtons(), 0u);
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetKeyboardButtons(), 0u);
    for (unsigned key = 0; key < 256; ++key) {
        EXPECT_EQ(IsKeyDown(key), 0) << "key " << key;
    }
    for (unsigned button = 0; button < 32; ++button) {
        EXPECT_EQ(IsJoystickButtonDown(button), 0) << "button " << button;
    }
    EXPECT_EQ(IsJoystickUp() + IsJoystickDown() + IsJoystickLeft() + IsJoystickRight(), 0);
}

// ---- Index guards ---------------------------------------------------------

TEST_F(InputTest, IsKeyDownAnswersCodes1To255Only) {
    for (unsigned key = 0; key < 256; ++key) {
        fake::SetKey(key, 0x80);
    }
    ReadDevices();
    EXPECT_EQ(IsKeyDown(0), 0);
    EXPECT_EQ(IsKeyDown(1), 1);
    EXPECT_EQ(IsKeyDown(255), 1);
    EXPECT_EQ(IsKeyDown(256), 0);
    EXPECT_EQ(IsKeyDown(UINT_MAX), 0);
}

TEST_F(InputTest, IsKeyDownReadsTheLastStateByte) {
    fake::SetKey(255, 0x80);
    ReadDevices();
    EXPECT_EQ(IsKeyDown(255), 1);
    EXPECT_EQ(IsKeyDown(254), 0);
}

TEST_F(InputTest, IsJoystickButtonDownAnswersButtons0To31Only) {
    DIJOYSTATE state = {};
    memset(state.rgbButtons, 0x80, sizeof state.rgbButtons);
    fake::SetJoyState(state);
    ReadDevices();
    EXPECT_EQ(IsJoystickButtonDown(0), 1);
    EXPECT_EQ(IsJoystickButtonDown(31), 1);
    EXPECT_EQ(IsJoystickButtonDown(32), 0);
    EXPECT_EQ(IsJoystickButtonDown(1000), 0);
    EXPECT_EQ(IsJoystickButtonDown(UINT_MAX), 0);
}

// Every query that takes a key, pad or mouse-button number answers 0 (or
// E_INVALIDARG) outside its range, with everything held.
TEST_F(InputTest, NumbersOutsideTheirRangeReadZero) {
    for (unsigned key = 0; key < 256; ++key) {
        fake::SetKey(key, 0x80);
    }
    ReadDevices();
    for (const unsigned key : {0u, 256u, UINT_MAX}) {
        EXPECT_EQ(IsKeyPressed(key) + IsKeyReleased(key) + GetKeyPressCount(key), 0) << key;
    }
    EXPECT_EQ(IsKeyPressed(255), 1);
    for (const unsigned button : {5u, 32u, UINT_MAX}) {
        EXPECT_EQ(IsMouseButtonDown(button) + IsMouseButtonPressed(button) +
                      IsMouseButtonReleased(button),
                  0);
    }
    for (const unsigned pad : {4u, UINT_MAX}) {
        EXPECT_EQ(IsPadConnected(pad) + IsPadButtonDown(pad, XINPUT_GAMEPAD_A) +
                      IsPadButtonPressed(pad, XINPUT_GAMEPAD_A) +
                      IsPadButtonReleased(pad, XINPUT_GAMEPAD_A),
                  0);
        EXPECT_EQ(GetPadStickX(pad, 0) + GetPadStickY(pad, 1) + GetPadTrigger(pad, 0), 0.0f);
        EXPECT_EQ(SetPadVibration(pad, 1.0f, 1.0f), E_INVALIDARG);
    }
}

// ---- Key edges from the keyboard's buffer -----------------------------------

// One frame's buffered changes and the state read with them, after a frame
// with the keys as `before`: the edges that frame reports, and the next
// frame's (with Z as `next`, no change buffered). Z reads as `next` already:
// the level is the newest reading.
struct EdgeCase {
    const char *name;
    bool before, after, next; // Z in the three state reads
    std::vector<fake::KeyChange> changes;
    bool overflow;
    int presses;
    int released;
    DWORD maskPressed, maskReleased;
    int pressedNextFrame;
    friend void PrintTo(const EdgeCase &c, std::ostream *os) { *os << c.name; }
};

class KeyEdges : public InputTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(KeyEdges, EachChangeIsSeenOnce) {
    const EdgeCase &c = GetParam();
    fake::SetKey(DIK_Z, c.before ? 0x80 : 0);
    ReadDevices();
    UpdateInput(); // past the first read, whose buffer starts afresh

    fake::SetKey(DIK_Z, c.after ? 0x80 : 0);
    fake::QueueKeyChanges(c.changes, c.overflow);
    UpdateInput();
    EXPECT_EQ(GetKeyPressCount(DIK_Z), c.presses);
    EXPECT_EQ(IsKeyPressed(DIK_Z), c.presses > 0 ? 1 : 0);
    EXPECT_EQ(IsKeyReleased(DIK_Z), c.released);
    EXPECT_EQ(IsKeyDown(DIK_Z), c.next ? 1 : 0);
    EXPECT_EQ(GetButtons(), c.next ? BUTTON_0 : 0u);
    EXPECT_EQ(GetButtonsPressed(), c.maskPressed);
    EXPECT_EQ(GetButtonsReleased(), c.maskReleased);

    fake::SetKey(DIK_Z, c.next ? 0x80 : 0);
    UpdateInput();
    EXPECT_EQ(IsKeyPressed(DIK_Z) + (GetButtonsPressed() != 0 ? 1 : 0), c.pressedNextFrame);
    EXPECT_EQ(IsKeyReleased(DIK_Z) + (GetButtonsReleased() != 0 ? 1 : 0), 0);
}

constexpr fake::KeyChange kZDown = {DIK_Z, true};
constexpr fake::KeyChange kZUp = {DIK_Z, false};

INSTANTIATE_TEST_SUITE_P(
    Input, KeyEdges,
    ::testing::Values(
        EdgeCase{"TapBetweenTwoReads",
                 false,
                 false,
                 false,
                 {kZDown, kZUp},
                 false,
                 1,
                 1,
                 BUTTON_0,
                 BUTTON_0,
                 0},
        EdgeCase{"TwoTaps",
                 false,
                 false,
                 false,
                 {kZDown, kZUp, kZDown, kZUp},
                 false,
                 2,
                 1,
                 BUTTON_0,
                 BUTTON_0,
                 0},
        EdgeCase{"ReleasedAndPressedAgain",
                 true,
                 true,
                 true,
                 {kZUp, kZDown},
                 false,
                 1,
                 1,
                 BUTTON_0,
                 BUTTON_0,
                 0},
        EdgeCase{"HeldWithoutChange", true, true, true, {}, false, 0, 0, 0, 0, 0},
        // The press came between the state read and the buffer read: seen
        // now, and not again when the next state shows it.
        EdgeCase{
            "PressAfterTheStateRead", false, false, true, {kZDown}, false, 1, 0, BUTTON_0, 0, 0},
        // The release came between the two reads: up and released now.
        EdgeCase{
            "ReleaseAfterTheStateRead", true, true, false, {kZUp}, false, 0, 1, 0, BUTTON_0, 0},
        // An overflowed buffer is incomplete: the states tell the press.
        EdgeCase{
            "OverflowFallsBackToTheStates", false, true, true, {}, true, 1, 0, BUTTON_0, 0, 0}),
    CaseName());

} // namespace
