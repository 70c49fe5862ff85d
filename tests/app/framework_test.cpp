#include <fw/app/framework.h>
#include <fw/app/window.h>

#include "fake/d3d9.h"
#include "fake/dinput.h"
#include "fake/dsound.h"
#include "fake/fake.h"
#include "fake/win32.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class Framework : public fake::Test {
  protected:
    void TearDown() override {
        ExitFramework();
        fake::Test::TearDown();
    }

    // Position of the first log entry that starts with `prefix`; -1 if none.
    static int IndexOf(const std::string &prefix) {
        const std::vector<std::string> calls = fake::Calls();
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].compare(0, prefix.size(), prefix) == 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Asserts that the entries named by the prefixes appear in this order.
    static void ExpectOrder(const std::vector<std::string> &prefixes) {
        int previous = -1;
        for (const std::string &prefix : prefixes) {
            const int index = IndexOf(prefix);
            EXPECT_GT(index, previous) << prefix << " out of order or missing";
            previous = index;
        }
    }
};

TEST_F(Framework, StartsTheWindowThenInputSoundAndGraphics) {
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    EXPECT_TRUE(fake::Messages().empty());
    ExpectOrder({"GetModuleHandleA(NULL)", "RegisterClassExA(fw)", "CreateWindowExA(fw)",
                 "ShowWindow(5)", "UpdateWindow", "timeBeginPeriod(1)", "DirectInput8Create",
                 "DirectSoundCreate8", "Direct3DCreate9"});
    EXPECT_EQ(GetWindowHandle(), fake::FakeWindow());
    EXPECT_EQ(GetInstanceHandle(), GetModuleHandleA(nullptr));
    EXPECT_EQ(GetWidth(), 800);
    EXPECT_EQ(GetHeight(), 600);
    EXPECT_EQ(IsWindowed(), 1);
}

TEST_F(Framework, ShutsDownSoundThenInputThenGraphicsThenTheWindow) {
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    fake::ClearCalls();
    EXPECT_EQ(ExitFramework(), 0);
    // The sound worker is asked to stop before anything else is released.
    ExpectOrder({"PostThreadMessageA(0x12)", "IDirectSound8::Release", "Keyboard::Unacquire",
                 "IDirectInput8::Release", "IDirect3DDevice9::Release", "IDirect3D9::Release",
                 "DestroyWindow(0x1000)", "timeEndPeriod(1)", "UnregisterClassA(fw)"});
    EXPECT_EQ(GetWindowHandle(), nullptr);
    EXPECT_EQ(GetInstanceHandle(), nullptr);
}

TEST_F(Framework, SecondShutdownOnlyRepeatsTheReleases) {
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    ExitFramework();
    fake::ClearCalls();
    EXPECT_EQ(ExitFramework(), 0);
    EXPECT_EQ(fake::CountOf("DestroyWindow"), 0);
    EXPECT_EQ(fake::CountOf("timeEndPeriod"), 0);
    EXPECT_EQ(fake::CountOf("UnregisterClassA"), 0);
    EXPECT_EQ(fake::CountOf("CoUninitialize"), 0); // balanced by the first
    EXPECT_EQ(fake::CountOf("DirectSoundCreate8"), 0);
}

struct StartupFailure {
    const char *name;
    void (*script)();
    std::vector<std::string> messages;
    HRESULT status;
    // CoUninitialize calls: one once sound start-up's CoInitialize has run,
    // however often ExitFramework runs.
    int comReleases;
    // The first subsystem entry that must not be reached, or "".
    const char *notReached;
};

TEST_F(Framework, EachFailingStepShowsItsMessageAndShutsDown) {
    const StartupFailure cases[] = {
        {"class registration",
         [] { fake::Fail("RegisterClassExA", E_FAIL); },
         {"RegisterClassEx : Failed\n"},
         E_FAIL,
         0,
         "CreateWindowExA"},
        {"window creation",
         [] { fake::Fail("CreateWindowExA", E_FAIL); },
         {"CreateWindowEx : Failed\n"},
         E_FAIL,
         0,
         "DirectInput8Create"},
        {"DirectInput creation",
         [] { fake::Fail("DirectInput8Create", DIERR_OUTOFMEMORY); },
         {"InitInput : DirectInput8Create\n", "InitDirectInput : Failed\n"},
         DIERR_OUTOFMEMORY,
         0,
         "DirectSoundCreate8"},
        {"no game controller",
         [] { fake::SetControllers({}); },
         {"InitInput : CreateJoystick\n", "InitDirectInput : Failed\n"},
         E_FAIL,
         0,
         "DirectSoundCreate8"},
        {"sound device",
         [] { fake::Fail("DirectSoundCreate8", DSERR_NODRIVER); },
         {"InitSound : Failed\n"},
         DSERR_NODRIVER,
         1,
         "Direct3DCreate9"},
        {"sound success code other than 0",
         [] { fake::Fail("DirectSoundCreate8", S_FALSE); },
         {"InitSound : Failed\n"},
         S_FALSE,
         1,
         "Direct3DCreate9"},
        {"Direct3D object",
         [] { fake::Fail("Direct3DCreate9", E_FAIL); },
         {"InitDirectX : Failed\n"},
         E_FAIL,
         1,
         ""},
        {"graphics device",
         [] { fake::FailAlways("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE); },
         {"CreateDirectXDevice : Can't Create DirectX9 Device\n", "InitDirectX : Failed\n"},
         E_FAIL,
         1,
         ""},
    };
    for (const StartupFailure &c : cases) {
        SCOPED_TRACE(c.name);
        fake::ClearCalls();
        fake::ResetScripts();
        fake::ResetDirectInput();
        c.script();

        EXPECT_EQ(InitFramework("fw", 800, 600, 1), c.status);
        EXPECT_EQ(fake::Messages(), c.messages);
        // Only the first shutdown tears the window down.
        EXPECT_EQ(fake::CountOf("CoUninitialize"), c.comReleases);
        EXPECT_EQ(fake::CountOf("DestroyWindow"), 1);
        EXPECT_EQ(fake::CountOf("timeEndPeriod(1)"), 1);
        EXPECT_EQ(fake::CountOf("UnregisterClassA(fw)"), 1);
        // The window goes after the step's own box (for DirectInput, before
        // the framework's: that shutdown runs inside input start-up).
        EXPECT_GT(IndexOf("UnregisterClassA"), IndexOf("MessageBoxA(Error, " + c.messages.front()));
        if (*c.notReached != '\0') {
            EXPECT_EQ(fake::CountOf(c.notReached), 0);
        }
        EXPECT_EQ(GetWindowHandle(), nullptr);
        EXPECT_EQ(GetInstanceHandle(), nullptr);
        EXPECT_EQ(fake::Alive(), 0);
    }
}

TEST_F(Framework, FailedRegistrationStillTearsDownWithANullWindow) {
    fake::Fail("RegisterClassExA", E_FAIL);
    EXPECT_EQ(InitFramework("fw", 800, 600, 1), E_FAIL);
    EXPECT_EQ(fake::CountOf("DestroyWindow(NULL)"), 1);
    EXPECT_EQ(fake::CountOf("timeBeginPeriod"), 0);
}

class FramePump : public Framework {
  protected:
    void SetUp() override {
        Framework::SetUp();
        ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
        fake::ClearCalls();
    }
};

TEST_F(FramePump, EmptyQueueSleepsOncePollsInputAndGoesOn) {
    EXPECT_EQ(UpdateFramework(), 1);
    EXPECT_EQ(fake::CountOf("Sleep(0)"), 1); // the sound worker sleeps 500 ms
    ExpectOrder({"PeekMessageA", "Sleep(0)", "Keyboard::GetDeviceState(256)"});
}

TEST_F(FramePump, QuitMessageEndsTheDrainAndLeavesLaterMessagesQueued) {
    fake::QueueMessage(WM_KEYDOWN, 'A');
    fake::QueueMessage(WM_QUIT);
    fake::QueueMessage(WM_PAINT);
    EXPECT_EQ(UpdateFramework(), 0);
    EXPECT_EQ(fake::CallsOf("TranslateMessage"),
              std::vector<std::string>{"TranslateMessage(0x100)"});
    EXPECT_EQ(fake::CallsOf("DispatchMessageA"),
              std::vector<std::string>{"DispatchMessageA(0x100)"});
    EXPECT_EQ(fake::QueuedMessages(), 1);
    // Input is polled in the quitting pass too, after the one Sleep(0).
    ExpectOrder({"Sleep(0)", "Keyboard::GetDeviceState(256)"});
    EXPECT_EQ(fake::CountOf("Sleep(0)"), 1);
}

TEST_F(FramePump, CloseEscapeAndQuitFrameworkEndTheLoop) {
    struct Case {
        const char *name;
        void (*request)();
    };
    const Case cases[] = {
        {"close box", [] { fake::QueueMessage(WM_CLOSE); }},
        {"Alt+F4", [] { fake::QueueMessage(WM_DESTROY); }},
        {"Escape", [] { fake::QueueMessage(WM_KEYDOWN, VK_ESCAPE); }},
        {"QuitFramework", [] { QuitFramework(); }},
    };
    for (const Case &c : cases) {
        c.request();
        EXPECT_EQ(UpdateFramework(), 0) << c.name;
        EXPECT_EQ(UpdateFramework(), 1) << c.name;
    }
    // Closing never destroys the window; only ExitFramework does.
    EXPECT_EQ(fake::CountOf("DestroyWindow"), 0);
}

// A held Alt+Enter repeats with bit 30 set: one switch for the press, made
// after the messages are drained, outside the window procedure.
TEST_F(FramePump, AltEnterSwitchesOncePerPressAfterTheMessages) {
    SetAltEnterToggles(TRUE);
    constexpr LPARAM kAlt = 1 << 29, kRepeat = 1 << 30;
    fake::QueueMessage(WM_SYSKEYDOWN, VK_RETURN, kAlt);
    for (int repeat = 0; repeat < 3; ++repeat) {
        fake::QueueMessage(WM_SYSKEYDOWN, VK_RETURN, kAlt | kRepeat);
    }
    EXPECT_EQ(UpdateFramework(), 1);
    EXPECT_EQ(UpdateFramework(), 1);
    SetAltEnterToggles(FALSE);

    ASSERT_EQ(fake::Device().resets.size(), 1u);
    EXPECT_EQ(fake::Device().resets[0].Windowed, FALSE);
    EXPECT_EQ(IsWindowed(), 0);
    EXPECT_EQ(fake::CountOf("DefWindowProcA(0x104"), 0) << "taken, not passed on";
    const std::vector<std::string> calls = fake::Calls();
    const auto reset = std::find(calls.begin(), calls.end(), "IDirect3DDevice9::Reset");
    EXPECT_EQ(std::find(reset, calls.end(), "DispatchMessageA(0x104)"), calls.end());
}

// A program that idles (paused) waits for a message or 100 ms each frame.
TEST_F(FramePump, AnIdleProgramWaitsForAMessageEachFrame) {
    SetIdleSleep(TRUE);
    EXPECT_EQ(UpdateFramework(), 1);
    SetIdleSleep(FALSE);
    EXPECT_EQ(UpdateFramework(), 1);
    // (The sound worker waits 500 ms at a time on its own thread.)
    EXPECT_EQ(fake::CountOf("MsgWaitForMultipleObjects(100)"), 1);
}

TEST_F(Framework, WithoutAWindowNothingIsPumped) {
    EXPECT_EQ(UpdateFramework(), 1);
    EXPECT_EQ(fake::CountOf("PeekMessageA"), 0);
    EXPECT_EQ(fake::CountOf("Sleep(0)"), 0);
}

} // namespace
