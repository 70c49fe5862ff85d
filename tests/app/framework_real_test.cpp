// The framework whole on Wine's real platform: window, Direct3D 9,
// DirectSound over ALSA's null device and the DirectInput keyboard, with the
// game controller that this machine lacks supplied by the test.
#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/input/buttons.h>
#include <fw/sound/sound.h>

#include "real/display.h"
#include "real/pixels.h"
#include "real/virtual_joystick.h"

#include <gtest/gtest.h>

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

} // namespace
