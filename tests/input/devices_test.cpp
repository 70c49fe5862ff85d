#include <fw/input/buttons.h>
#include <fw/input/input.h>

#include <fw/app/framework.h>
#include <fw/app/window.h>

#include <dbt.h>

#include "input_test.h"

#include <algorithm>
#include <cstring>

namespace {

using input_test::CaseName;
using input_test::HexOf;
using input_test::InputCalls;
using input_test::InputTest;
using input_test::kUnplugged;
using Strings = std::vector<std::string>;

const char kRangeX[] =
    "Joystick1::SetProperty(DIPROP_RANGE, size=24, header=16, obj=0, how=1, min=-1000, max=1000)";
const char kRangeY[] =
    "Joystick1::SetProperty(DIPROP_RANGE, size=24, header=16, obj=4, how=1, min=-1000, max=1000)";
const char kDeadZoneX[] =
    "Joystick1::SetProperty(DIPROP_DEADZONE, size=20, header=16, obj=0, how=1, data=4000)";
const char kDeadZoneY[] =
    "Joystick1::SetProperty(DIPROP_DEADZONE, size=20, header=16, obj=4, how=1, data=4000)";

bool AllZero(const void *data, size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

// ---- InitInput ------------------------------------------------------------

TEST_F(InputTest, InitInputCreatesKeyboardThenJoystickWithThePrescribedCalls) {
    ASSERT_EQ(InitInput(), 0);

    const std::string window = HexOf(GetWindowHandle());
    const Strings expected = {
        "DirectInput8Create(" + HexOf(GetInstanceHandle()) + ", 0x800, IID_IDirectInput8A, NULL)",
        "IDirectInput8::CreateDevice(GUID_SysKeyboard, NULL)",
        "Keyboard::SetDataFormat(c_dfDIKeyboard)",
        "Keyboard::SetCooperativeLevel(" + window + ", 0x6)",
        // DIPROP_BUFFERSIZE, 256 changes
        "Keyboard::SetProperty(0x1, size=20, header=16, obj=0, how=0)",
        "Keyboard::GetDeviceInfo(size=580)",
        "Keyboard::Acquire",
        "IDirectInput8::EnumDevices(4, NULL, 0x1)",
        "IDirectInput8::CreateDevice(Joystick1, NULL)",
        "Joystick1::SetDataFormat(c_dfDIJoystick)",
        "Joystick1::SetCooperativeLevel(" + window + ", 0x6)",
        kRangeX,
        kRangeY,
        kDeadZoneX,
        kDeadZoneY,
        "Joystick1::GetDeviceInfo(size=580)",
        "Joystick1::Acquire",
        "EnumDevicesCallback(Joystick1) = DIENUM_STOP",
    };
    EXPECT_EQ(InputCalls(), expected);
    EXPECT_TRUE(fake::Messages().empty());
}

// The framework's window and instance reach DirectInput. Start-up is made to
// fail at the last input step, so that it goes no further than input.
TEST_F(InputTest, InitInputUsesTheFrameworkInstanceAndWindow) {
    fake::Fail("Joystick1::SetProperty", kUnplugged, 4);
    InitFramework("fw", 800, 600, 1);
    const std::string instance = HexOf(GetModuleHandleA(nullptr));
    const std::string window = HexOf(fake::FakeWindow());
    ExitFramework();

    EXPECT_EQ(fake::CountOf("DirectInput8Create(" + instance + ", 0x800, "), 1);
    EXPECT_EQ(fake::CountOf("Keyboard::SetCooperativeLevel(" + window + ", 0x6)"), 1);
    EXPECT_EQ(fake::CountOf("Joystick1::SetCooperativeLevel(" + window + ", 0x6)"), 1);
}

// One row per scripted call result during InitInput: the status it returns,
// the boxes shown, and the last DirectInput call made (a failing step ends
// creation at once).
struct InitCase {
    const char *name;
    const char *script; // fake::Fail name
    int occurrence;
    HRESULT result;
    HRESULT status;
    Strings messages;
    std::string lastCall;
    friend void PrintTo(const InitCase &c, std::ostream *os) { *os << c.name; }
};

class InitInputResults : public InputTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(InitInputResults, StatusMessagesAndLastCall) {
    const InitCase &c = GetParam();
    fake::Fail(c.script, c.result, c.occurrence);

    EXPECT_EQ(InitInput(), c.status);
    EXPECT_EQ(fake::Messages(), c.messages);
    // The last step made; a controller that failed one is let go at once
    // (so that the next could be tried) and enumeration goes on.
    Strings steps;
    for (const std::string &call : InputCalls()) {
        if (call.rfind("EnumDevicesCallback", 0) != 0 && call != "Joystick1::Release") {
            steps.push_back(call);
        }
    }
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), c.lastCall);
    const bool joystickFailed = c.messages.size() == 2 && c.lastCall.rfind("Joystick1::", 0) == 0;
    EXPECT_EQ(fake::CountOf("Joystick1::Release"), joystickFailed ? 1 : 0);
}

Strings KeyboardFailed(const char *step) {
    return {std::string("CreateKeyboard : ") + step + "\n", "InitInput : CreateKeyboard\n"};
}
Strings JoystickFailed(const char *step) {
    return {std::string("CreateJoystick : ") + step + "\n", "InitInput : CreateJoystick\n"};
}

INSTANTIATE_TEST_SUITE_P(
    Input, InitInputResults,
    ::testing::Values(
        // Each failing creation step: its own box, then InitInput's.
        InitCase{"KeyboardCreateDevice", "IDirectInput8::CreateDevice", 1, kUnplugged, kUnplugged,
                 KeyboardFailed("CreateDevice"),
                 "IDirectInput8::CreateDevice(GUID_SysKeyboard, NULL)"},
        InitCase{"KeyboardSetDataFormat", "Keyboard::SetDataFormat", 1, kUnplugged, kUnplugged,
                 KeyboardFailed("SetDataFormat"), "Keyboard::SetDataFormat(c_dfDIKeyboard)"},
        InitCase{"KeyboardSetCooperativeLevel", "Keyboard::SetCooperativeLevel", 1,
                 DIERR_INVALIDPARAM, DIERR_INVALIDPARAM, KeyboardFailed("SetCooperativeLevel"),
                 "Keyboard::SetCooperativeLevel(0x0, 0x6)"},
        InitCase{"KeyboardGetDeviceInfo", "Keyboard::GetDeviceInfo", 1, kUnplugged, kUnplugged,
                 KeyboardFailed("GetDeviceInfo"), "Keyboard::GetDeviceInfo(size=580)"},
        InitCase{"EnumDevices", "IDirectInput8::EnumDevices", 1, kUnplugged, kUnplugged,
                 JoystickFailed("EnumDevices"), "IDirectInput8::EnumDevices(4, NULL, 0x1)"},
        InitCase{"JoystickSetDataFormat", "Joystick1::SetDataFormat", 1, kUnplugged, kUnplugged,
                 JoystickFailed("SetDataFormat"), "Joystick1::SetDataFormat(c_dfDIJoystick)"},
        InitCase{"JoystickSetCooperativeLevel", "Joystick1::SetCooperativeLevel", 1, kUnplugged,
                 kUnplugged, JoystickFailed("SetCooperativeLevel"),
                 "Joystick1::SetCooperativeLevel(0x0, 0x6)"},
        InitCase{"RangeX", "Joystick1::SetProperty", 1, kUnplugged, kUnplugged,
                 JoystickFailed("SetProperty DIPROP_RANGE DIJOFS_X"), kRangeX},
        InitCase{"RangeY", "Joystick1::SetProperty", 2, kUnplugged, kUnplugged,
                 JoystickFailed("SetProperty DIPROP_RANGE DIJOFS_Y"), kRangeY},
        InitCase{"DeadZoneX", "Joystick1::SetProperty", 3, kUnplugged, kUnplugged,
                 JoystickFailed("SetProperty DIJOFS_X"), kDeadZoneX},
        InitCase{"DeadZoneY", "Joystick1::SetProperty", 4, kUnplugged, kUnplugged,
                 JoystickFailed("SetProperty DIJOFS_Y"), kDeadZoneY},
        // Results that are ignored, and success codes of steps that are not
        // returned: creation goes on to the end.
        InitCase{"KeyboardAcquireIgnored",
                 "Keyboard::Acquire",
                 1,
                 DIERR_OTHERAPPHASPRIO,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{"JoystickGetDeviceInfoIgnored",
                 "Joystick1::GetDeviceInfo",
                 1,
                 kUnplugged,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{"JoystickAcquireIgnored",
                 "Joystick1::Acquire",
                 1,
                 DIERR_OTHERAPPHASPRIO,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{"KeyboardCreateDeviceSuccessCode",
                 "IDirectInput8::CreateDevice",
                 1,
                 S_FALSE,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{"KeyboardSetDataFormatSuccessCode",
                 "Keyboard::SetDataFormat",
                 1,
                 S_FALSE,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{"EnumDevicesSuccessCode",
                 "IDirectInput8::EnumDevices",
                 1,
                 S_FALSE,
                 0,
                 {},
                 "Joystick1::Acquire"},
        InitCase{
            "RangeXSuccessCode", "Joystick1::SetProperty", 1, S_FALSE, 0, {}, "Joystick1::Acquire"},
        // A success code where a step's result is the function's result:
        // InitInput takes any non-zero status as failure, with no step box.
        InitCase{"KeyboardGetDeviceInfoSuccessCode", "Keyboard::GetDeviceInfo", 1, S_FALSE, S_FALSE,
                 Strings{"InitInput : CreateKeyboard\n"}, "Keyboard::Acquire"},
        InitCase{"DeadZoneYSuccessCode", "Joystick1::SetProperty", 4, S_FALSE, S_FALSE,
                 Strings{"InitInput : CreateJoystick\n"}, "Joystick1::Acquire"}),
    CaseName());

// A device created before a later step failed stays until ReleaseInput; a
// controller that failed its set-up is let go at once, so that another could
// be tried.
TEST_F(InputTest, FailedCreationKeepsTheDevicesItMadeUntilReleaseInput) {
    fake::Fail("Joystick1::SetDataFormat", kUnplugged);
    ASSERT_EQ(InitInput(), kUnplugged);
    EXPECT_EQ(fake::CountOf("Keyboard::Release"), 0);
    EXPECT_EQ(fake::CountOf("Joystick1::Release"), 1);
    EXPECT_EQ(fake::CountOf("IDirectInput8::Release"), 0);
    EXPECT_EQ(fake::Alive(), 2);

    fake::ClearCalls();
    ReleaseInput();
    const Strings expected = {"Keyboard::Unacquire", "Keyboard::Release", "IDirectInput8::Release"};
    EXPECT_EQ(InputCalls(), expected);
}

TEST_F(InputTest, WithoutControllersCreateJoystickFailsWithoutABoxOfItsOwn) {
    fake::SetControllers({});
    EXPECT_EQ(InitInput(), E_FAIL);
    EXPECT_EQ(fake::Messages(), Strings{"InitInput : CreateJoystick\n"});
    const Strings calls = InputCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "IDirectInput8::EnumDevices(4, NULL, 0x1)");
}

TEST_F(InputTest, WithoutControllersFrameworkStartUpFails) {
    fake::SetControllers({});
    EXPECT_EQ(InitFramework("fw", 800, 600, 1), E_FAIL);
    const Strings expected = {"InitInput : CreateJoystick\n", "InitDirectInput : Failed\n"};
    EXPECT_EQ(fake::Messages(), expected);
    // The start-up failure ran the shutdown: nothing of input is left.
    EXPECT_EQ(fake::Alive(), 0);
    ExitFramework();
}

TEST_F(InputTest, WhenNoControllerOpensCreateJoystickFails) {
    fake::SetControllers({{"Joystick1", kUnplugged}, {"Joystick2", DIERR_DEVICENOTREG}});
    EXPECT_EQ(InitInput(), E_FAIL);
    EXPECT_EQ(fake::Messages(), Strings{"InitInput : CreateJoystick\n"});
    const Strings expected = {"IDirectInput8::CreateDevice(Joystick1, NULL)",
                              "EnumDevicesCallback(Joystick1) = DIENUM_CONTINUE",
                              "IDirectInput8::CreateDevice(Joystick2, NULL)",
                              "EnumDevicesCallback(Joystick2) = DIENUM_CONTINUE"};
    const Strings calls = InputCalls();
    EXPECT_EQ(Strings(calls.end() - 4, calls.end()), expected);
}

TEST_F(InputTest, OfTwoControllersTheFirstThatOpensIsUsedAndEnumerationStops) {
    fake::SetControllers({{"Joystick1"}, {"Joystick2"}});
    ASSERT_EQ(InitInput(), 0);
    EXPECT_EQ(fake::CallsOf("EnumDevicesCallback"),
              Strings{"EnumDevicesCallback(Joystick1) = DIENUM_STOP"});
    EXPECT_EQ(fake::CountOf("IDirectInput8::CreateDevice(Joystick2"), 0);
    EXPECT_EQ(fake::CountOf("Joystick2::"), 0);
    EXPECT_EQ(fake::CountOf("Joystick1::SetDataFormat"), 1);
}

TEST_F(InputTest, AControllerThatFailsToOpenIsSkipped) {
    fake::SetControllers({{"Joystick1", kUnplugged}, {"Joystick2"}});
    ASSERT_EQ(InitInput(), 0);
    const Strings expected = {"EnumDevicesCallback(Joystick1) = DIENUM_CONTINUE",
                              "EnumDevicesCallback(Joystick2) = DIENUM_STOP"};
    EXPECT_EQ(fake::CallsOf("EnumDevicesCallback"), expected);
    EXPECT_EQ(fake::CountOf("Joystick1::"), 0);
    EXPECT_EQ(fake::CountOf("Joystick2::SetDataFormat(c_dfDIJoystick)"), 1);
    EXPECT_EQ(fake::CountOf("Joystick2::Acquire"), 1);
}

// DirectInput8Create failing: InitInput shows its box and runs the whole
// shutdown itself (the window goes), then InitFramework adds its own box.
TEST_F(InputTest, DirectInputCreateFailureRunsExitFramework) {
    fake::Fail("DirectInput8Create", DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(InitFramework("fw", 800, 600, 1), DIERR_OLDDIRECTINPUTVERSION);

    const Strings calls = fake::Calls();
    const auto first = std::find(calls.begin(), calls.end(),
                                 "MessageBoxA(Error, InitInput : DirectInput8Create\n)");
    const auto second =
        std::find(calls.begin(), calls.end(), "MessageBoxA(Error, InitDirectInput : Failed\n)");
    ASSERT_NE(first, calls.end());
    ASSERT_NE(second, calls.end());
    const auto destroyed = std::find_if(
        first, second, [](const std::string &call) { return call.rfind("DestroyWindow", 0) == 0; });
    EXPECT_NE(destroyed, second) << "ExitFramework did not run between the two boxes";
    EXPECT_EQ(InputCalls().size(), 1u) << "no DirectInput call after the failed creation";
    ExitFramework();
}

// A success code from DirectInput8Create counts as failure too; the object
// it made is released by the ExitFramework that InitInput runs.
TEST_F(InputTest, DirectInputCreateSuccessCodeFailsAndReleasesTheObject) {
    fake::Fail("DirectInput8Create", S_FALSE);
    EXPECT_EQ(InitInput(), S_FALSE);
    EXPECT_EQ(fake::Messages(), Strings{"InitInput : DirectInput8Create\n"});
    const Strings expected = {"DirectInput8Create(" + HexOf(GetInstanceHandle()) +
                                  ", 0x800, IID_IDirectInput8A, NULL)",
                              "IDirectInput8::Release"};
    EXPECT_EQ(InputCalls(), expected);
    EXPECT_EQ(fake::Alive(), 0);
}

// ---- UpdateInput ----------------------------------------------------------

TEST_F(InputTest, UpdateInputWithoutDevicesReturnsEFailAndReadsNothing) {
    EXPECT_EQ(UpdateInput(), E_FAIL);
    EXPECT_TRUE(InputCalls().empty());
}

TEST_F(InputTest, UpdateInputReadsKeyboardThenJoystick) {
    ASSERT_EQ(InitInput(), 0);
    fake::ClearCalls();
    EXPECT_EQ(UpdateInput(), 0);
    const Strings expected = {"Keyboard::GetDeviceState(256)", "Joystick1::Poll",
                              "Joystick1::GetDeviceState(80)"};
    EXPECT_EQ(InputCalls(), expected);
}

// With the keyboard alone (start-up failed for want of a joystick), the
// result is the keyboard's: the read's, or Acquire's after any non-zero read.
struct KeyboardReadCase {
    const char *name;
    HRESULT read;
    HRESULT acquire;
    Strings calls;
    HRESULT status;
    friend void PrintTo(const KeyboardReadCase &c, std::ostream *os) { *os << c.name; }
};

class KeyboardRead : public InputTest, public ::testing::WithParamInterface<KeyboardReadCase> {};

TEST_P(KeyboardRead, ReacquiresOnAnyNonZeroRead) {
    const KeyboardReadCase &c = GetParam();
    fake::SetControllers({});
    ASSERT_EQ(InitInput(), E_FAIL);
    fake::ClearCalls();
    fake::Fail("Keyboard::GetDeviceState", c.read);
    fake::Fail("Keyboard::Acquire", c.acquire);

    EXPECT_EQ(UpdateInput(), c.status);
    EXPECT_EQ(InputCalls(), c.calls);
}

const Strings kReadAndAcquire = {"Keyboard::GetDeviceState(256)", "Keyboard::Acquire"};

INSTANTIATE_TEST_SUITE_P(
    Input, KeyboardRead,
    ::testing::Values(
        KeyboardReadCase{
            "Read", DI_OK, DIERR_OTHERAPPHASPRIO, {"Keyboard::GetDeviceState(256)"}, DI_OK},
        KeyboardReadCase{"InputLost", DIERR_INPUTLOST, DI_OK, kReadAndAcquire, DI_OK},
        KeyboardReadCase{"NotAcquiredAcquireRefused", DIERR_NOTACQUIRED, DIERR_OTHERAPPHASPRIO,
                         kReadAndAcquire, DIERR_OTHERAPPHASPRIO},
        KeyboardReadCase{"SuccessCode", S_FALSE, DI_NOEFFECT, kReadAndAcquire, DI_NOEFFECT}),
    CaseName());

TEST_F(InputTest, FailedKeyboardReadLeavesEveryKeyUp) {
    fake::SetKey(DIK_Z, 0x80);
    ASSERT_EQ(InitInput(), 0);
    UpdateInput();
    ASSERT_EQ(IsKeyDown(DIK_Z), 1);

    fake::Fail("Keyboard::GetDeviceState", DIERR_INPUTLOST);
    UpdateInput();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    EXPECT_EQ(GetKeyboardButtons(), 0u);
}

// Poll and read of the joystick: what is read, when Acquire follows, and
// what UpdateInput returns.
struct JoystickReadCase {
    const char *name;
    HRESULT poll;
    HRESULT read;
    bool reads;
    bool acquires;
    HRESULT status;
    friend void PrintTo(const JoystickReadCase &c, std::ostream *os) { *os << c.name; }
};

class JoystickRead : public InputTest, public ::testing::WithParamInterface<JoystickReadCase> {};

TEST_P(JoystickRead, PollReadAndReacquire) {
    const JoystickReadCase &c = GetParam();
    ASSERT_EQ(InitInput(), 0);
    fake::ClearCalls();
    fake::Fail("Joystick1::Poll", c.poll);
    fake::Fail("Joystick1::GetDeviceState", c.read);
    // Acquire's own result never counts.
    fake::Fail("Joystick1::Acquire", DIERR_OTHERAPPHASPRIO);

    EXPECT_EQ(UpdateInput(), c.status);
    Strings expected = {"Keyboard::GetDeviceState(256)", "Joystick1::Poll"};
    if (c.reads) {
        expected.push_back("Joystick1::GetDeviceState(80)");
    }
    if (c.acquires) {
        expected.push_back("Joystick1::Acquire");
    }
    EXPECT_EQ(InputCalls(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Input, JoystickRead,
    ::testing::Values(
        JoystickReadCase{"PollOk", DI_OK, DI_OK, true, false, DI_OK},
        JoystickReadCase{"PollNoEffect", DI_NOEFFECT, DI_OK, true, false, DI_OK},
        JoystickReadCase{"PollInputLost", DIERR_INPUTLOST, DI_OK, false, true, DIERR_INPUTLOST},
        JoystickReadCase{"PollNotAcquired", DIERR_NOTACQUIRED, DI_OK, false, true,
                         DIERR_NOTACQUIRED},
        JoystickReadCase{"PollOtherSuccessCode", 2, DI_OK, false, false, 2},
        JoystickReadCase{"ReadInputLost", DI_OK, DIERR_INPUTLOST, true, true, DIERR_INPUTLOST},
        JoystickReadCase{"ReadSuccessCode", DI_NOEFFECT, S_FALSE, true, false, S_FALSE}),
    CaseName());

// A stick held left reads centred while the joystick cannot be read, and
// its buttons read released; the next good read counts again.
struct FailedReadCase {
    const char *name;
    const char *script;
    friend void PrintTo(const FailedReadCase &c, std::ostream *os) { *os << c.name; }
};

class JoystickReadFails : public InputTest, public ::testing::WithParamInterface<FailedReadCase> {};

TEST_P(JoystickReadFails, FailedReadReadsNeutral) {
    DIJOYSTATE held = {};
    held.lX = -1000;
    held.rgbButtons[1] = 0x80;
    fake::SetJoyState(held);
    ASSERT_EQ(InitInput(), 0);
    UpdateInput();
    ASSERT_EQ(GetJoystickButtons(), BUTTON_LEFT | BUTTON_1);

    fake::Fail(GetParam().script, DIERR_INPUTLOST);
    UpdateInput();
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetStickX(), 0.0f);
    EXPECT_EQ(GetJoystickPov(), -1);
    EXPECT_EQ(GetButtonsReleased() & (BUTTON_LEFT | BUTTON_1), BUTTON_LEFT | BUTTON_1);

    UpdateInput();
    EXPECT_EQ(GetJoystickButtons(), BUTTON_LEFT | BUTTON_1) << "held still: read again";
}

INSTANTIATE_TEST_SUITE_P(Input, JoystickReadFails,
                         ::testing::Values(FailedReadCase{"PollFails", "Joystick1::Poll"},
                                           FailedReadCase{"ReadFails",
                                                          "Joystick1::GetDeviceState"}),
                         CaseName());

// A window that lost the focus: both reads fail; the keys read up and the
// stick centred.
TEST_F(InputTest, LostFocusClearsKeysAndTheStick) {
    fake::SetKey(DIK_UP, 0x80);
    DIJOYSTATE held = {};
    held.lX = -1000;
    fake::SetJoyState(held);
    ASSERT_EQ(InitInput(), 0);
    UpdateInput();
    ASSERT_EQ(GetButtons(), BUTTON_UP | BUTTON_LEFT);

    fake::Fail("Keyboard::GetDeviceState", DIERR_INPUTLOST);
    fake::Fail("Joystick1::Poll", DIERR_INPUTLOST);
    UpdateInput();
    EXPECT_EQ(GetButtons(), 0u);
}

// ---- ReleaseInput ---------------------------------------------------------

TEST_F(InputTest, ReleaseInputUnacquiresAndReleasesKeyboardJoystickThenDirectInput) {
    ASSERT_EQ(InitInput(), 0);
    fake::ClearCalls();
    ReleaseInput();
    const Strings expected = {"Keyboard::Unacquire", "Keyboard::Release", "Joystick1::Unacquire",
                              "Joystick1::Release", "IDirectInput8::Release"};
    EXPECT_EQ(InputCalls(), expected);
    EXPECT_EQ(fake::Alive(), 0);
    EXPECT_EQ(UpdateInput(), E_FAIL);
}

TEST_F(InputTest, ReleaseInputBeforeInitInputDoesNothing) {
    ReleaseInput();
    EXPECT_TRUE(InputCalls().empty());
    EXPECT_EQ(GetButtons(), 0u);
}

TEST_F(InputTest, ReleaseInputTwiceReleasesOnce) {
    ASSERT_EQ(InitInput(), 0);
    ReleaseInput();
    fake::ClearCalls();
    ReleaseInput();
    EXPECT_TRUE(InputCalls().empty());
}

TEST_F(InputTest, ReleaseInputZeroesEveryBuffer) {
    for (unsigned key = 0; key < 256; ++key) {
        fake::SetKey(key, 0x80);
    }
    DIJOYSTATE held = {};
    held.lX = -1000;
    held.lY = 1000;
    memset(held.rgbButtons, 0x80, sizeof held.rgbButtons);
    fake::SetJoyState(held);
    ASSERT_EQ(InitInput(), 0);
    UpdateInput();
    ASSERT_NE(GetButtons(), 0u);
    const DIDEVICEINSTANCEA *keyboardInfo = fake::DeviceInfoBuffer("Keyboard");
    const DIDEVICEINSTANCEA *joystickInfo = fake::DeviceInfoBuffer("Joystick1");
    ASSERT_NE(keyboardInfo, nullptr);
    ASSERT_NE(joystickInfo, nullptr);
    ASSERT_FALSE(AllZero(keyboardInfo, sizeof *keyboardInfo));

    ReleaseInput();
    for (unsigned key = 0; key < 256; ++key) {
        EXPECT_EQ(IsKeyDown(key), 0) << "key " << key;
    }
    for (unsigned button = 0; button < 32; ++button) {
        EXPECT_EQ(IsJoystickButtonDown(button), 0) << "button " << button;
    }
    EXPECT_EQ(IsJoystickLeft() + IsJoystickRight() + IsJoystickUp() + IsJoystickDown(), 0);
    EXPECT_EQ(GetButtons(), 0u);
    // The device-instance records are static storage of the framework's.
    EXPECT_TRUE(AllZero(keyboardInfo, sizeof *keyboardInfo));
    EXPECT_TRUE(AllZero(joystickInfo, sizeof *joystickInfo));
}

TEST_F(InputTest, DeviceInstanceRecordsAreOneArrayKeyboardFirst) {
    ASSERT_EQ(InitInput(), 0);
    const DIDEVICEINSTANCEA *keyboardInfo = fake::DeviceInfoBuffer("Keyboard");
    ASSERT_NE(keyboardInfo, nullptr);
    EXPECT_EQ(fake::DeviceInfoBuffer("Joystick1"), keyboardInfo + 1);
}

// ---- An optional controller: failures Wine's DirectInput does not produce ---

class OptionalInputTest : public InputTest {
  protected:
    void SetUp() override {
        InputTest::SetUp();
        SetJoystickRequired(FALSE);
    }
    void TearDown() override {
        SetJoystickRequired(TRUE);
        InputTest::TearDown();
    }
};

// Windows tells the window that the set of devices changed.
void DevicesChanged() { WndProc(fake::FakeWindow(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0); }

// One that appears but cannot be set up is let go in silence, and opens at
// the next change of devices once it can. Nothing is looked for without one.
TEST_F(OptionalInputTest, ControllerThatCannotBeSetUpIsLetGoWithoutABox) {
    fake::SetControllers({});
    ASSERT_EQ(InitInput(), 0);
    fake::SetControllers({{"Joystick1"}});
    for (int frame = 0; frame < 3; ++frame) {
        UpdateInput();
    }
    EXPECT_EQ(fake::CountOf("IDirectInput8::EnumDevices"), 1) << "only start-up's";

    fake::Fail("Joystick1::SetProperty", DIERR_UNSUPPORTED);
    DevicesChanged();
    UpdateInput();
    EXPECT_EQ(fake::CountOf("Joystick1::Release"), 1);
    EXPECT_EQ(IsJoystickConnected(), 0);
    DevicesChanged();
    UpdateInput();
    EXPECT_EQ(IsJoystickConnected(), 1);
    EXPECT_TRUE(fake::Messages().empty());
}

// A required controller pulled out and back, but now refusing its set-up,
// shows its failure once, however often the devices change.
TEST_F(InputTest, RequiredControllerBackButBrokenIsReportedOnce) {
    ASSERT_EQ(InitInput(), 0);
    fake::Fail("Joystick1::Poll", kUnplugged);
    UpdateInput();
    ASSERT_EQ(IsJoystickConnected(), 0);
    fake::FailAlways("Joystick1::SetDataFormat", DIERR_INVALIDPARAM);
    for (int change = 0; change < 3; ++change) {
        DevicesChanged();
        UpdateInput();
    }
    EXPECT_EQ(fake::Messages(), Strings{"CreateJoystick : SetDataFormat\n"});
    EXPECT_EQ(IsJoystickConnected(), 0);
}

// A pad that XInput serves (its device path holds "IG_") is left to XInput:
// the next controller is opened instead.
TEST_F(InputTest, ControllersThatXInputServesAreLeftToIt) {
    fake::SetControllers(
        {{"Joystick1", DI_OK, L"\\\\?\\hid#vid_045e&pid_028e&ig_00#7&1"}, {"Joystick2"}});
    ASSERT_EQ(InitInput(), 0);
    EXPECT_EQ(fake::CountOf("Joystick1::SetDataFormat"), 0);
    EXPECT_EQ(fake::CountOf("Joystick1::Release"), 1);
    EXPECT_EQ(fake::CountOf("Joystick2::Acquire"), 1);
}

// A read that says the device is gone lets it go, with its reading.
TEST_F(OptionalInputTest, ReadFailingWithUnpluggedLetsTheControllerGo) {
    ASSERT_EQ(InitInput(), 0);
    DIJOYSTATE left = {};
    left.lX = -JoystickRange;
    fake::SetJoyState(left);
    UpdateInput();
    ASSERT_EQ(GetJoystickButtons(), BUTTON_LEFT);

    fake::Fail("Joystick1::Poll", kUnplugged);
    UpdateInput();
    EXPECT_EQ(IsJoystickConnected(), 0);
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(fake::CountOf("Joystick1::Release"), 1);
    EXPECT_TRUE(fake::Messages().empty());
}

// A controller that is there but fails its set-up never fails an optional
// start: the program goes on without it, and without a box.
TEST_F(OptionalInputTest, AControllerThatCannotBeSetUpNeverFailsTheStart) {
    fake::Fail("Joystick1::SetDataFormat", DIERR_INVALIDPARAM);
    EXPECT_EQ(InitInput(), 0);
    EXPECT_EQ(IsJoystickConnected(), 0);
    EXPECT_TRUE(fake::Messages().empty());
}

} // namespace
