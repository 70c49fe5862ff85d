// Input on Wine's own DirectInput: the real keyboard, and the virtual
// joystick of tests/real standing in for the game controller this machine
// cannot have.
#include <fw/input/buttons.h>
#include <fw/input/input.h>

#include <fw/app/framework.h>
#include <fw/app/window.h>

#include "real/display.h"
#include "real/virtual_joystick.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

struct CaseName {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case> &info) const {
        return info.param.name;
    }
};

class RealInput : public ::testing::Test {
  protected:
    void SetUp() override {
        virtual_joystick::Reset();
        ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    }
    void TearDown() override { ExitFramework(); }
};

TEST_F(RealInput, StartsWithTheVirtualJoystickAndReadsBothDevices) {
    EXPECT_EQ(virtual_joystick::Alive(), 1);
    EXPECT_TRUE(virtual_joystick::Acquired());
    // The virtual joystick needs no polling (DI_NOEFFECT), so this also
    // takes the read after such a Poll.
    EXPECT_EQ(UpdateInput(), DI_OK);
    EXPECT_EQ(GetJoystickButtons(), 0u) << "a stick at rest reads centred";
}

TEST_F(RealInput, ExitFrameworkReleasesTheDevices) {
    ExitFramework();
    EXPECT_EQ(virtual_joystick::Alive(), 0);
    EXPECT_EQ(UpdateInput(), E_FAIL);
    EXPECT_EQ(GetButtons(), 0u);
}

// A key pressed on the X display reaches the mask through Wine's keyboard.
TEST_F(RealInput, CursorUpOnTheDisplayReachesTheMask) {
    if (!display::HasXdotool()) {
        GTEST_SKIP() << "xdotool is not installed; no key can be pressed on the display";
    }
    HWND window = GetWindowHandle();
    if (display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "the window has no X window: not Wine's X11 driver";
    }

    // NOTE: another program's window may take the focus; the press is tried
    // again then.
    bool pressed = false;
    for (int attempt = 0; attempt < 3 && !pressed; ++attempt) {
        ASSERT_TRUE(display::KeyDown(window, "Up"));
        pressed = display::PumpUntil([] { return GetButtons() == BUTTON_UP; }, 2000);
        if (!pressed) {
            display::KeyUp(window, "Up");
        }
    }
    const int keyDown = IsKeyDown(DIK_UP);
    const DWORD keyboardButtons = GetKeyboardButtons();
    ASSERT_TRUE(display::KeyUp(window, "Up"));
    EXPECT_TRUE(pressed) << "GetButtons() = " << GetButtons();
    EXPECT_EQ(keyDown, 1);
    EXPECT_EQ(keyboardButtons, BUTTON_UP);

    EXPECT_TRUE(display::PumpUntil([] { return GetButtons() == 0; }))
        << "GetButtons() = " << GetButtons();
}

// The range and dead zone that CreateJoystick sets, applied by the device:
// rest and the inner 40 % read 0, full deflection the range's ends.
struct StickCase {
    const char *name;
    double x, y; // fractions of full deflection
    DWORD buttons;
    LONG readX, readY; // exact readings; kAnyOutside where only the sign is fixed
    friend void PrintTo(const StickCase &c, std::ostream *os) { *os << c.name; }
};
constexpr LONG kAnyOutside = LONG_MIN;

class RealStick : public RealInput, public ::testing::WithParamInterface<StickCase> {};

TEST_P(RealStick, RangeAndDeadZoneShapeTheReading) {
    const StickCase &c = GetParam();
    virtual_joystick::SetAxes(std::lround(c.x * virtual_joystick::kAxisFull),
                              std::lround(c.y * virtual_joystick::kAxisFull));
    ASSERT_EQ(UpdateInput(), DI_OK);
    EXPECT_EQ(GetJoystickButtons(), c.buttons);
    const DIJOYSTATE reading = virtual_joystick::LastReading();
    if (c.readX != kAnyOutside) {
        EXPECT_EQ(reading.lX, c.readX);
    }
    if (c.readY != kAnyOutside) {
        EXPECT_EQ(reading.lY, c.readY);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Input, RealStick,
    ::testing::Values(StickCase{"AtRest", 0, 0, 0, 0, 0},
                      StickCase{"InsideDeadZoneLeftUp", -0.39, -0.39, 0, 0, 0},
                      StickCase{"InsideDeadZoneRightDown", 0.39, 0.39, 0, 0, 0},
                      StickCase{"OutsideDeadZoneRight", 0.5, 0, BUTTON_RIGHT, kAnyOutside, 0},
                      StickCase{"OutsideDeadZoneUp", 0, -0.5, BUTTON_UP, 0, kAnyOutside},
                      StickCase{"FullLeft", -1, 0, BUTTON_LEFT, -1000, 0},
                      StickCase{"FullRight", 1, 0, BUTTON_RIGHT, 1000, 0},
                      StickCase{"FullUp", 0, -1, BUTTON_UP, 0, -1000},
                      StickCase{"FullDownRight", 1, 1, BUTTON_DOWN | BUTTON_RIGHT, 1000, 1000}),
    CaseName());

TEST_F(RealInput, JoystickButtonsReachTheMask) {
    virtual_joystick::SetButton(0, true);
    virtual_joystick::SetButton(8, true);
    virtual_joystick::SetButton(9, true);
    ASSERT_EQ(UpdateInput(), DI_OK);
    EXPECT_EQ(GetButtons(), BUTTON_0 | BUTTON_8);
    EXPECT_EQ(IsJoystickButtonDown(9), 1);

    virtual_joystick::SetButton(0, false);
    UpdateInput();
    EXPECT_EQ(GetButtons(), BUTTON_8);
}

// Input lost: the read fails, the stick keeps its last reading, and the
// device is acquired again for the next frame.
TEST_F(RealInput, LostJoystickKeepsItsReadingAndIsReacquired) {
    virtual_joystick::SetAxes(-virtual_joystick::kAxisFull, 0);
    ASSERT_EQ(UpdateInput(), DI_OK);
    ASSERT_EQ(GetJoystickButtons(), BUTTON_LEFT);

    virtual_joystick::SetAxes(0, 0);
    virtual_joystick::LoseInput();
    EXPECT_EQ(UpdateInput(), DIERR_INPUTLOST);
    EXPECT_EQ(GetJoystickButtons(), BUTTON_LEFT);
    EXPECT_TRUE(virtual_joystick::Acquired());

    EXPECT_EQ(UpdateInput(), DI_OK);
    EXPECT_EQ(GetJoystickButtons(), 0u);
}

} // namespace
