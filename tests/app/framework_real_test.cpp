// The framework whole on Wine's real platform: window, Direct3D 9,
// DirectSound over ALSA's null device and the DirectInput keyboard, with the
// game controller that this machine lacks supplied by the test.
#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/input/buttons.h>
#include <fw/input/input.h>
#include <fw/sound/sound.h>

#include "real/display.h"
#include "real/pixels.h"
#include "real/virtual_joystick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

class RealFramework : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0); }
    void TearDown() override { ExitFramework(); }
};

TEST_F(RealFramework, StartsEverySubsystemOnTheRealPlatform) {
    HWND window = GetWindowHandle();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 800);
    EXPECT_EQ(client.bottom - client.top, 600);
    EXPECT_NE(GetDevice(), nullptr);
    EXPECT_GT(GetSoundSampleRate(), 0u);
    EXPECT_EQ(virtual_joystick::Alive(), 1);
}

// The dots per inch Wine gives the display, from its registry (96 where
// the prefix sets none); tests/app/dpi.sh runs the test below at 144.
DWORD DisplayDpi() {
    DWORD dpi = 0, size = sizeof dpi;
    if (RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_REG_DWORD,
                     nullptr, &dpi, &size) != ERROR_SUCCESS) {
        dpi = 96;
    }
    return dpi;
}

// At any display scaling the client area is the pixels asked for, and the
// scale call says the display's dots per inch over 96.
TEST_F(RealFramework, ClientAreaIsThePixelsAskedForAtTheDisplaysDpi) {
    RECT client = {};
    ASSERT_TRUE(GetClientRect(GetWindowHandle(), &client));
    const DWORD dpi = DisplayDpi();
    std::printf("client area %ld x %ld at %lu dots per inch, scale %.3f\n", client.right,
                client.bottom, dpi, GetWindowDpiScale());
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    EXPECT_FLOAT_EQ(GetWindowDpiScale(), static_cast<float>(dpi) / 96.0f);
    EXPECT_EQ(var.d3dpp.BackBufferWidth, 800u) << "the back buffer is the client area";
}

TEST_F(RealFramework, FramesAreClearedAndPresented) {
    for (int frame = 0; frame < 5; ++frame) {
        ASSERT_EQ(UpdateFramework(), 1);
        ASSERT_EQ(ClearAndBeginScene(0xFF204060, 0), 0);
        EXPECT_EQ(EndScene(), 0);
        EXPECT_EQ(Flip(0xFFFFFFFF), 0);
    }
}

TEST_F(RealFramework, CloseRequestsEndTheLoopButKeepTheWindow) {
    HWND window = GetWindowHandle();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(display::PumpUntilQuit());
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(RealFramework, EscapeOnTheDisplayEndsTheLoop) {
    if (!display::HasXdotool()) {
        GTEST_SKIP() << "xdotool is not installed; no key can be pressed on the display";
    }
    HWND window = GetWindowHandle();
    if (display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "the window has no X window: not Wine's X11 driver";
    }
    ASSERT_TRUE(display::KeyDown(window, "Escape"));
    const bool quit = display::PumpUntilQuit();
    display::KeyUp(window, "Escape");
    EXPECT_TRUE(quit);
}

TEST_F(RealFramework, ShutdownLeavesNoWindowAndMayRunAgain) {
    HWND window = GetWindowHandle();
    EXPECT_EQ(ExitFramework(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FindWindowA("fw", nullptr), nullptr);
    EXPECT_EQ(GetDevice(), nullptr);
    EXPECT_EQ(GetSoundSampleRate(), 0u);
    EXPECT_EQ(virtual_joystick::Alive(), 0);
    EXPECT_EQ(ExitFramework(), 0);
    EXPECT_EQ(GetWindowHandle(), nullptr);
}

// A program that starts fw again (another window size, say) runs its loop
// and draws: the first window's end leaves no quit message behind.
TEST_F(RealFramework, SecondStartRunsItsLoopAndDraws) {
    ASSERT_EQ(ExitFramework(), 0);
    ASSERT_EQ(InitFramework("fw", 640, 480, 1), 0);
    int frames = 0;
    pixels::Image image;
    while (frames < 10 && UpdateFramework() == 1) {
        ASSERT_EQ(ClearAndBeginScene(0xFF20C040, 0), 0);
        EndScene();
        if (++frames == 10) {
            IDirect3DSurface9 *back = nullptr;
            ASSERT_EQ(GetDevice()->GetRenderTarget(0, &back), D3D_OK);
            const auto read = pixels::Read(GetDevice(), back, &image);
            back->Release();
            ASSERT_TRUE(read);
        }
        Flip(0xFFFFFFFF);
    }
    EXPECT_EQ(frames, 10);
    ASSERT_EQ(image.width, 640u);
    EXPECT_TRUE(pixels::AreaIs(image, pixels::Inner(image, 4), 0xFF20C040, 2));
}

// COM belongs to the program as much as to fw: the apartment the program made
// before fw started outlives shutdowns, twice in a row included (start-up
// failures run ExitFramework twice).
TEST(RealFrameworkCom, TheProgramsApartmentOutlivesTwoShutdowns) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    ExitFramework();
    ExitFramework();
    const HRESULT again = CoInitialize(nullptr);
    EXPECT_EQ(again, S_FALSE) << "the program's apartment was ended by fw";
    if (SUCCEEDED(again)) {
        CoUninitialize();
    }
    CoUninitialize();
}

// ---- The frame clock --------------------------------------------------------

double Seconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) / frequency.QuadPart;
}

LONGLONG Counter() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Every reading lies between performance-counter readings taken around the
// calls that bound it, however long the machine makes each step last; one
// sleep longer than FRAME_TIME_MAX shows the clamp.
TEST(RealFrameClock, FollowsThePerformanceCounter) {
    EXPECT_EQ(GetFrameTime(), 0.0f);
    const LONGLONG beforeInit = Counter();
    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    const LONGLONG afterInit = Counter();
    EXPECT_EQ(GetTime(), 0.0);

    LONGLONG before[8], after[8];
    for (int frame = 0; frame < 8; ++frame) {
        Sleep(frame == 4 ? 150 : 5);
        before[frame] = Counter();
        UpdateFramework();
        after[frame] = Counter();
        SCOPED_TRACE(frame);
        EXPECT_GE(GetTime(), Seconds(before[frame] - afterInit) - 1e-6);
        EXPECT_LE(GetTime(), Seconds(after[frame] - beforeInit) + 1e-6);
        if (frame > 0) {
            const double shortest = Seconds(before[frame] - after[frame - 1]);
            const double longest = Seconds(after[frame] - before[frame - 1]);
            EXPECT_GE(GetFrameTime(), std::min<double>(shortest, FRAME_TIME_MAX) - 1e-6);
            EXPECT_LE(GetFrameTime(), std::min<double>(longest, FRAME_TIME_MAX) + 1e-6);
        }
    }
    // Eight frames so far, the first from the end of InitFramework.
    const double shortest = Seconds(before[7] - afterInit);
    const double longest = Seconds(after[7] - beforeInit);
    EXPECT_GE(GetFramesPerSecond(), 8 / longest - 1e-3);
    EXPECT_LE(GetFramesPerSecond(), 8 / shortest + 1e-3);
    ExitFramework();
}

// ---- Escape for the program -------------------------------------------------

TEST_F(RealFramework, EscapeTakenByTheProgramLeavesTheLoopRunning) {
    HWND window = GetWindowHandle();
    if (!display::HasXdotool() || display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "no key can be pressed on the display (no xdotool or no X window)";
    }
    SetEscapeQuits(FALSE);
    bool quit = false;
    ASSERT_TRUE(display::KeyDown(window, "Escape"));
    const bool seen = display::PumpUntil([] { return IsKeyPressed(DIK_ESCAPE) == 1; });
    ASSERT_TRUE(display::KeyUp(window, "Escape"));
    // Until the key-up has reached input and no key message waits: the
    // window procedure has had the key-down by then.
    MSG pending;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < display::kWaitMs &&
           (IsKeyDown(DIK_ESCAPE) ||
            PeekMessageA(&pending, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE))) {
        quit = quit || UpdateFramework() == 0;
        Sleep(10);
    }
    EXPECT_TRUE(seen) << "Escape reached the program as a key";
    EXPECT_FALSE(IsKeyDown(DIK_ESCAPE));
    EXPECT_FALSE(quit);
    EXPECT_EQ(UpdateFramework(), 1);
    QuitFramework();
    EXPECT_EQ(UpdateFramework(), 0) << "quitting is the program's now";
}

// ---- Window state -----------------------------------------------------------

TEST_F(RealFramework, TitleFocusAndMinimisedAsWin32SeesThem) {
    HWND window = GetWindowHandle();
    SetWindowTitle("fw: paused");
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "fw: paused");
    EXPECT_EQ(FindWindowA("fw", nullptr), window) << "the class keeps its name";

    SetForegroundWindow(window);
    EXPECT_TRUE(display::PumpUntil([] { return IsWindowFocused() == 1; }));
    EXPECT_EQ(GetForegroundWindow(), window);

    // Another window of this program takes the foreground.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(display::PumpUntil([] { return IsWindowFocused() == 0; }));
    EXPECT_NE(GetForegroundWindow(), window);
    DestroyWindow(other);

    EXPECT_EQ(IsWindowMinimized(), 0);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(display::PumpUntil([] { return IsWindowMinimized() == 1; }));
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(display::PumpUntil([] { return IsWindowMinimized() == 0; }));
    EXPECT_FALSE(IsIconic(window));

    ExitFramework();
    EXPECT_EQ(IsWindowFocused(), 0);
    EXPECT_EQ(IsWindowMinimized(), 0);
}

} // namespace
