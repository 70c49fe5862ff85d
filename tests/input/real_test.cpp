// Input on Wine's own DirectInput: the real keyboard, and the virtual
// joystick of tests/real standing in for the game controller this machine
// cannot have.
#include <fw/input/buttons.h>
#include <fw/input/input.h>

#include <fw/app/framework.h>
#include <fw/app/window.h>

#include "real/boxes.h"
#include "real/display.h"
#include "real/virtual_joystick.h"

#include <gtest/gtest.h>

#include <fw/fw.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

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

// Input lost: the read fails, the stick held left reads centred at once, and
// the device is acquired again, so the next frame reads it held again.
TEST_F(RealInput, LostJoystickReadsNeutralAndIsReacquired) {
    virtual_joystick::SetAxes(-virtual_joystick::kAxisFull, 0);
    ASSERT_EQ(UpdateInput(), DI_OK);
    ASSERT_EQ(GetJoystickButtons(), BUTTON_LEFT);

    virtual_joystick::LoseInput();
    EXPECT_EQ(UpdateInput(), DIERR_INPUTLOST);
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetStickX(), 0.0f);
    EXPECT_TRUE(virtual_joystick::Acquired());

    EXPECT_EQ(UpdateInput(), DI_OK);
    EXPECT_EQ(GetJoystickButtons(), BUTTON_LEFT);
}

// ---- Edges, the analogue stick and the mouse ------------------------------

constexpr int kQuietFrames = 5;

// Counts the frames in which `edge` holds: frames until `done` holds (at
// most display::kWaitMs), then kQuietFrames more, in which no edge may be
// left over.
int EdgeFrames(const std::function<bool()> &edge, const std::function<bool()> &done) {
    int frames = 0;
    display::PumpUntil([&] {
        frames += edge() ? 1 : 0;
        return done();
    });
    for (int frame = 0; frame < kQuietFrames; ++frame) {
        Sleep(10);
        UpdateFramework();
        frames += edge() ? 1 : 0;
    }
    return frames;
}

// X held on the display: pressed in one frame (as key and as BUTTON_1), held
// in the next ones, released in one frame after it is let go.
TEST_F(RealInput, KeyPressAndReleaseAreSeenInExactlyOneFrame) {
    HWND window = GetWindowHandle();
    if (!display::HasXdotool() || display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "no key can be pressed on the display (no xdotool or no X window)";
    }
    ASSERT_TRUE(display::KeyDown(window, "x"));
    const int pressed =
        EdgeFrames([] { return IsKeyPressed(DIK_X) == 1 && GetButtonsPressed() == BUTTON_1; },
                   [] { return IsKeyDown(DIK_X) == 1; });
    const int heldAfter = IsKeyDown(DIK_X);
    ASSERT_TRUE(display::KeyUp(window, "x"));
    const int released =
        EdgeFrames([] { return IsKeyReleased(DIK_X) == 1 && GetButtonsReleased() == BUTTON_1; },
                   [] { return IsKeyDown(DIK_X) == 0; });
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(heldAfter, 1) << "the key was held through the quiet frames";
    EXPECT_EQ(released, 1);
    EXPECT_EQ(GetButtonsPressed() | GetButtonsReleased(), 0u);
}

// Each click happens whole between two frames (the test does not pump while
// xdotool runs): it is still seen, pressed and released once. X's buttons 8
// and 9 are the side buttons.
TEST_F(RealInput, ClicksAndWheelBetweenFramesAreSeenOnce) {
    HWND window = GetWindowHandle();
    if (!display::HasXdotool() || display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "no click can be made on the display (no xdotool or no X window)";
    }
    struct Click {
        int xdotoolButton;
        unsigned button;
    };
    for (const Click click : {Click{1, 0}, Click{3, 1}, Click{2, 2}, Click{8, 3}, Click{9, 4}}) {
        SCOPED_TRACE(click.button);
        ASSERT_TRUE(display::Click(window, 400, 300, click.xdotoolButton));
        int down = 0;
        const int pressed = EdgeFrames(
            [&] {
                down += IsMouseButtonDown(click.button);
                return IsMouseButtonPressed(click.button) == 1;
            },
            [&] { return IsMouseButtonReleased(click.button) == 1; });
        EXPECT_EQ(pressed, 1);
        EXPECT_EQ(IsMouseButtonDown(click.button), 0);
        EXPECT_LE(down, 1) << "down at most in the frame that saw the press";
    }
    const POINT cursor = GetCursorPosition();
    RECT client;
    GetClientRect(window, &client);
    EXPECT_TRUE(PtInRect(&client, cursor)) << cursor.x << ", " << cursor.y;

    for (const int steps : {2, -3}) {
        ASSERT_TRUE(display::Click(window, 400, 300, steps > 0 ? 4 : 5, std::abs(steps)));
        int turned = 0;
        EdgeFrames(
            [&] {
                turned += GetMouseWheel();
                return false;
            },
            [&] { return turned == steps; });
        EXPECT_EQ(turned, steps);
    }
}

// The analogue stick and the hat from the virtual joystick: 0 inside the
// device's 40 % dead zone, along one axis the axis reading / 1000, and a
// length that grows from 0 at 40 % to 1 at full travel in any direction.
struct AnalogueCase {
    const char *name;
    double x, y; // fractions of full deflection
    DWORD pov;
    float stickX, stickY;
    int readPov;
    friend void PrintTo(const AnalogueCase &c, std::ostream *os) { *os << c.name; }
};

class RealAnalogue : public RealInput, public ::testing::WithParamInterface<AnalogueCase> {};

TEST_P(RealAnalogue, StickAndHatReadAsTheControllerIsHeld) {
    const AnalogueCase &c = GetParam();
    virtual_joystick::SetAxes(std::lround(c.x * virtual_joystick::kAxisFull),
                              std::lround(c.y * virtual_joystick::kAxisFull));
    virtual_joystick::SetPov(c.pov);
    ASSERT_EQ(UpdateInput(), DI_OK);
    // The reading is whole units of 1/1000.
    EXPECT_NEAR(GetStickX(), c.stickX, 0.003);
    EXPECT_NEAR(GetStickY(), c.stickY, 0.003);
    EXPECT_LE(std::hypot(GetStickX(), GetStickY()), 1.0 + 1e-6);
    EXPECT_EQ(GetJoystickPov(), c.readPov);
}

constexpr DWORD kCentred = 0xFFFFFFFF;

INSTANTIATE_TEST_SUITE_P(
    Input, RealAnalogue,
    ::testing::Values(AnalogueCase{"AtRest", 0, 0, kCentred, 0, 0, -1},
                      AnalogueCase{"InsideDeadZone", 0.39, -0.39, kCentred, 0, 0, -1},
                      // (0.7 - 0.4) / 0.6
                      AnalogueCase{"RightPastDeadZone", 0.7, 0, kCentred, 0.5f, 0, -1},
                      AnalogueCase{"FullUp", 0, -1, 0, 0, -1, 0},
                      // length 0.707 -> (0.707 - 0.4) / 0.6 = 0.512 at 45 degrees
                      AnalogueCase{"HalfDownRight", 0.5, 0.5, 13500, 0.362f, 0.362f, 13500},
                      AnalogueCase{"FullUpLeft", -1, -1, 31500, -0.7071f, -0.7071f, 31500},
                      AnalogueCase{"HatLeft", 0, 0, 27000, 0, 0, 27000}),
    CaseName());

// ---- Controllers coming and going -----------------------------------------

// A required controller pulled out reads neutral at once (a stick held down
// when it went no longer moves the player) and is opened again when it comes
// back, without a box.
TEST(RealController, PulledOutControllerReadsNeutralAndIsOpenedAgain) {
    boxes::Answerer answerer;
    virtual_joystick::Reset();
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    virtual_joystick::SetAxes(0, virtual_joystick::kAxisFull);
    virtual_joystick::SetPov(9000);
    virtual_joystick::SetButton(2, true);
    UpdateFramework();
    ASSERT_EQ(GetJoystickButtons(), BUTTON_DOWN | BUTTON_2);

    virtual_joystick::SetPlugged(false);
    UpdateFramework();
    EXPECT_EQ(IsJoystickConnected(), 0);
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetStickY(), 0.0f);
    EXPECT_EQ(GetJoystickPov(), -1);
    EXPECT_EQ(GetButtonsReleased(), BUTTON_DOWN | BUTTON_2);
    EXPECT_EQ(virtual_joystick::Alive(), 0) << "the dead device is released";

    virtual_joystick::SetPlugged(true);
    EXPECT_TRUE(
        display::PumpUntil([] { return GetJoystickButtons() == (BUTTON_DOWN | BUTTON_2); }));
    EXPECT_EQ(virtual_joystick::Alive(), 1);
    ExitFramework();
    EXPECT_TRUE(answerer.Texts().empty()) << answerer.Texts().front();
}

// Pedals that refuse the joystick's format come first: they are let go and
// the joystick after them is opened, with no box.
TEST(RealController, AControllerThatCannotBeSetUpIsSkippedForTheNext) {
    boxes::Answerer answerer;
    virtual_joystick::Reset();
    virtual_joystick::SetBrokenFirst(true);
    const HRESULT started = InitFramework("fw", 800, 600, 1);
    virtual_joystick::SetBrokenFirst(false);
    ASSERT_EQ(started, 0);
    EXPECT_EQ(IsJoystickConnected(), 1);
    virtual_joystick::SetButton(0, true);
    UpdateFramework();
    EXPECT_EQ(GetJoystickButtons(), BUTTON_0);
    ExitFramework();
    EXPECT_TRUE(answerer.Texts().empty()) << answerer.Texts().front();
}

// Started without a controller, then one plugged in and pulled out while the
// loop runs: picked up, read, let go, picked up again; never a box.
TEST(RealController, OptionalControllerIsPickedUpAndLetGo) {
    boxes::Answerer answerer;
    virtual_joystick::Reset();
    virtual_joystick::SetPlugged(false);
    SetJoystickRequired(FALSE);
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    EXPECT_EQ(IsJoystickConnected(), 0);
    UpdateFramework();
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetJoystickPov(), -1);

    virtual_joystick::SetAxes(-virtual_joystick::kAxisFull, 0);
    virtual_joystick::SetPov(9000);
    virtual_joystick::SetPlugged(true);
    EXPECT_TRUE(display::PumpUntil([] { return IsJoystickConnected() == 1; }));
    EXPECT_EQ(GetJoystickButtons(), BUTTON_LEFT);
    EXPECT_EQ(GetButtonsPressed() & BUTTON_LEFT, BUTTON_LEFT);
    EXPECT_FLOAT_EQ(GetStickX(), -1.0f);
    EXPECT_EQ(GetJoystickPov(), 9000);
    EXPECT_EQ(virtual_joystick::Alive(), 1);

    virtual_joystick::SetPlugged(false);
    EXPECT_TRUE(display::PumpUntil([] { return IsJoystickConnected() == 0; }));
    EXPECT_EQ(GetJoystickButtons(), 0u);
    EXPECT_EQ(GetStickX(), 0.0f);
    EXPECT_EQ(GetJoystickPov(), -1);
    EXPECT_EQ(virtual_joystick::Alive(), 0) << "the dead device is released";

    virtual_joystick::SetPlugged(true);
    EXPECT_TRUE(display::PumpUntil([] { return GetJoystickButtons() == BUTTON_LEFT; }));
    ExitFramework();
    EXPECT_TRUE(answerer.Texts().empty()) << answerer.Texts().front();
}

// ---- Taps and typed text --------------------------------------------------

// A frame loop at 10 frames a second; keys tapped for 2 ms between two frames
// (after the one frame, before the next): each tap reads pressed and released
// once, and the key does not read down. A loaded machine may hand a tap to the
// program a frame late (two taps then read in one frame), or its release only
// after a frame has read its press (seen under Wine 10): every frame is
// judged, such a split tap reads down from its press until the frame that
// reads it released (never in that frame), and the frames run on until every
// tap is in or two seconds have passed.
TEST_F(RealInput, TapsBetweenSlowFramesAreEachSeenOnce) {
    HWND window = GetWindowHandle();
    if (!display::HasXdotool() || display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "no key can be pressed on the display (no xdotool or no X window)";
    }
    struct TapKey {
        const char *name;
        unsigned key;
        DWORD button;
    };
    const TapKey keys[] = {
        {"space", DIK_SPACE, 0}, {"Return", DIK_RETURN, 0}, {"z", DIK_Z, BUTTON_0}};
    constexpr int kTaps = 5;
    for (const TapKey &key : keys) {
        SCOPED_TRACE(key.name);
        // `open`: a press was read whose release is still to come; the key
        // reads down exactly then.
        int frame = 0, presses = 0, split = 0;
        bool open = false;
        auto update = [&] {
            UpdateFramework();
            ++frame;
            const int count = GetKeyPressCount(key.key);
            const int pressed = IsKeyPressed(key.key);
            const int released = IsKeyReleased(key.key);
            presses += count;
            split += pressed && !released ? 1 : 0;
            EXPECT_EQ(pressed, count > 0 ? 1 : 0) << "frame " << frame;
            EXPECT_TRUE(!released || pressed || open)
                << "a release before its press, frame " << frame;
            const int down = IsKeyDown(key.key);
            EXPECT_TRUE(!down || pressed || (open && !released)) << "frame " << frame;
            EXPECT_TRUE(down || !pressed || released) << "frame " << frame;
            EXPECT_EQ(GetButtonsPressed() & key.button, pressed ? key.button : 0)
                << "frame " << frame;
            EXPECT_EQ(GetButtonsReleased() & key.button, released ? key.button : 0)
                << "frame " << frame;
            open = down != 0;
        };
        for (int tap = 0; tap < kTaps; ++tap) {
            update();
            Sleep(50);
            ASSERT_TRUE(display::Tap(window, key.name, 2));
            Sleep(50);
            update();
        }
        for (int late = 0; late < 20 && (presses < kTaps || open); ++late) {
            Sleep(100);
            update();
        }
        EXPECT_EQ(presses, kTaps);
        EXPECT_FALSE(open) << "a press never released";
        update();
        EXPECT_EQ(presses, kTaps) << "no edge left over";
        EXPECT_EQ(IsKeyReleased(key.key), 0) << "no edge left over";
        std::printf("%s: %d taps, %d of them split over two frames\n", key.name, kTaps, split);
    }
}

// Typed text through Windows' key-sending interface (SendInput with Unicode
// characters, as key-sending tools and on-screen keyboards do): letters
// outside ASCII and outside the system's code page, and one outside the
// Basic Multilingual Plane (two UTF-16 units), come back as the same UTF-8;
// Enter stays a key.
// NOTE: xdotool types such characters by remapping a spare key for each,
// which Wine's X11 driver does not turn into characters.
TEST_F(RealInput, TypedTextComesBackAsUtf8) {
    const std::wstring wide = L"Gr\u00fc\u00dfe, \u6771\u4eac \u2713 \U0001F600";
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e, \xE6\x9D\xB1\xE4\xBA\xAC \xE2\x9C\x93 "
                             "\xF0\x9F\x98\x80";
    std::vector<INPUT> inputs;
    for (const wchar_t unit : wide) {
        for (const DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    }
    for (const DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_RETURN;
        // DirectInput tells keys by their scan code, as a keyboard sends them.
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(VK_RETURN, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up;
        inputs.push_back(input);
    }

    SetTextInput(TRUE);
    SetForegroundWindow(GetWindowHandle());
    UpdateFramework();
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    std::string typed;
    bool enter = false;
    display::PumpUntil([&] {
        typed += GetTypedText();
        enter = enter || IsKeyPressed(DIK_RETURN);
        return enter && typed.size() >= utf8.size();
    });
    EXPECT_EQ(typed, utf8);
    EXPECT_TRUE(enter);

    SetTextInput(FALSE);
    ASSERT_EQ(SendInput(2, inputs.data(), sizeof(INPUT)), 2u);
    display::PumpUntil([] { return false; }, 300);
    EXPECT_STREQ(GetTypedText(), "") << "no text while it is off";
}

// ---- An Xbox-style pad ------------------------------------------------------

// The XInput stand-in's script: a file named by FW_XINPUT, one line a pad.
class RealPad : public ::testing::Test {
  protected:
    void SetUp() override {
        snprintf(path_, sizeof path_, "fw-pad-%lu.txt", GetCurrentProcessId());
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        script_ = std::string(folder) + path_;
        SetEnvironmentVariableA("FW_XINPUT", script_.c_str());
        DeleteFileA((script_ + ".vibration").c_str());
    }
    void TearDown() override {
        ExitFramework();
        DeleteFileA(script_.c_str());
        DeleteFileA((script_ + ".vibration").c_str());
        SetEnvironmentVariableA("FW_XINPUT", nullptr);
        virtual_joystick::SetPlugged(true);
    }
    void Write(const char *lines) {
        FILE *file = fopen(script_.c_str(), "w");
        ASSERT_NE(file, nullptr);
        fputs(lines, file);
        fclose(file);
    }
    // The vibration file's last line.
    std::string LastVibration() {
        std::string last;
        FILE *file = fopen((script_ + ".vibration").c_str(), "r");
        if (file == nullptr) {
            return last;
        }
        char line[64];
        while (fgets(line, sizeof line, file) != nullptr) {
            last = line;
        }
        fclose(file);
        return last;
    }
    // Whether the xinput1_4.dll loaded is the stand-in beside this program.
    static bool StandInLoaded() {
        HMODULE xinput = GetModuleHandleA("xinput1_4.dll");
        char dll[MAX_PATH] = {}, program[MAX_PATH] = {};
        if (xinput == nullptr || !GetModuleFileNameA(xinput, dll, sizeof dll) ||
            !GetModuleFileNameA(nullptr, program, sizeof program)) {
            return false;
        }
        *strrchr(dll, '\\') = '\0';
        *strrchr(program, '\\') = '\0';
        return _stricmp(dll, program) == 0;
    }
    char path_[64];
    std::string script_;
};

// With no DirectInput controller, a pad satisfies a required controller, is
// read whole, feeds the mask and the stick, vibrates, reads neutral when
// pulled out and is found again when plugged back.
TEST_F(RealPad, PadIsReadVibratesAndComesAndGoes) {
    boxes::Answerer answerer;
    // A and d-pad up held, left stick full right, right stick full down,
    // left trigger full, right trigger at XInput's threshold.
    const char kPad[] = "pad 0 0x1001 32767 0 0 -32768 255 30\n";
    Write(kPad);
    virtual_joystick::Reset();
    virtual_joystick::SetPlugged(false);
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0) << "a pad is a controller";
    if (!StandInLoaded()) {
        GTEST_SKIP() << "the xinput1_4.dll stand-in is not beside this program";
    }
    UpdateFramework();
    EXPECT_EQ(IsPadConnected(0), 1);
    EXPECT_EQ(IsPadConnected(1), 0);
    EXPECT_EQ(IsPadConnected(4), 0);
    EXPECT_EQ(GetPadButtons(0), XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_DPAD_UP);
    EXPECT_EQ(IsPadButtonPressed(0, XINPUT_GAMEPAD_A), 1);
    EXPECT_FLOAT_EQ(GetPadStickX(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(GetPadStickY(0, 1), 1.0f) << "y reads down as the joystick's";
    EXPECT_FLOAT_EQ(GetPadTrigger(0, 0), 1.0f);
    EXPECT_EQ(GetPadTrigger(0, 1), 0.0f);
    EXPECT_FLOAT_EQ(GetStickX(), 1.0f) << "pad 0 stands in for the joystick";
    EXPECT_EQ(GetButtons(), BUTTON_UP | BUTTON_RIGHT | BUTTON_0);
    UpdateFramework();
    EXPECT_EQ(IsPadButtonPressed(0, XINPUT_GAMEPAD_A), 0) << "an edge is seen once";

    EXPECT_EQ(SetPadVibration(0, 1.0f, 0.5f), S_OK);
    EXPECT_EQ(LastVibration(), "pad 0 65535 32768\n");
    EXPECT_EQ(SetPadVibration(1, 1.0f, 1.0f), E_FAIL);
    EXPECT_EQ(SetPadVibration(4, 1.0f, 1.0f), E_INVALIDARG);

    Write("");
    UpdateFramework();
    EXPECT_EQ(IsPadConnected(0), 0);
    EXPECT_EQ(GetButtons(), 0u);
    EXPECT_EQ(GetStickX(), 0.0f);
    EXPECT_EQ(IsPadButtonReleased(0, XINPUT_GAMEPAD_A), 1);

    Write(kPad);
    EXPECT_TRUE(display::PumpUntil([] { return IsPadConnected(0) == 1; }, 2000));
    EXPECT_EQ(SetPadVibration(0, 0.25f, 0.0f), S_OK);
    ExitFramework();
    EXPECT_EQ(LastVibration(), "pad 0 0 0\n") << "the motors stop at shutdown";
    EXPECT_TRUE(answerer.Texts().empty()) << answerer.Texts().front();
}

} // namespace
