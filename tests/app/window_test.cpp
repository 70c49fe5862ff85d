#include <fw/app/framework.h>
#include <fw/app/window.h>

#include "fake/fake.h"
#include "fake/win32.h"

#include <string>
#include <vector>

namespace {

class Window : public fake::Test {
  protected:
    void TearDown() override {
        ExitFramework();
        fake::Test::TearDown();
    }
};

TEST_F(Window, ClassIsRegisteredAsTabled) {
    InitFramework("fw", 800, 600, 1);
    const WNDCLASSEXA &wc = fake::LastClass().wc;
    // 48 bytes in a 32-bit build, 80 in a 64-bit one.
    EXPECT_EQ(wc.cbSize, sizeof(WNDCLASSEXA));
    EXPECT_EQ(wc.style, 0x0043u);
    EXPECT_EQ(wc.lpfnWndProc, WndProc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(fake::CountOf("LoadIconA(MAINICO)"), 1);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(wc.hbrBackground, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    EXPECT_EQ(fake::LastClass().className, "fw");
    EXPECT_EQ(wc.hIconSm, nullptr);
}

TEST_F(Window, StyleSizeAndPlacementFollowTheWindowedFlag) {
    struct Case {
        const char *name;
        int windowed;
        BOOL resizable;
        DWORD style, exStyle;
        int width, height;
    };
    const int outerWidth = 800 + 2 * fake::kFrameSide;
    const int outerHeight = 600 + fake::kFrameTop + fake::kFrameSide;
    const Case cases[] = {
        // Without a sizing border and a maximise box unless the program asks
        // for a resizable window: the client area stays the back buffer's.
        {"windowed", 1, FALSE, 0x00CA0000, 0x00040100, outerWidth, outerHeight},
        {"windowed by any non-zero flag", -7, FALSE, 0x00CA0000, 0x00040100, outerWidth,
         outerHeight},
        {"windowed, resizable", 1, TRUE, 0x00CF0000, 0x00040100, outerWidth, outerHeight},
        {"full screen", 0, FALSE, 0x80000000, 0x00040000, 800, 600},
        {"full screen, resizable", 0, TRUE, 0x80000000, 0x00040000, 800, 600},
    };
    for (const Case &c : cases) {
        fake::SetScreenSize(1280, 1024);
        SetWindowResizable(c.resizable);
        InitFramework("fw", 800, 600, c.windowed);
        const fake::CreatedWindow &w = fake::LastWindow();
        EXPECT_EQ(w.style, c.style) << c.name;
        EXPECT_EQ(w.exStyle, c.exStyle) << c.name;
        EXPECT_EQ(w.className, "fw") << c.name;
        EXPECT_EQ(w.title, "fw") << c.name;
        // Centred by the client size, not by the outer size.
        EXPECT_EQ(w.x, (1280 - 800) / 2) << c.name;
        EXPECT_EQ(w.y, (1024 - 600) / 2) << c.name;
        EXPECT_EQ(w.width, c.width) << c.name;
        EXPECT_EQ(w.height, c.height) << c.name;
        EXPECT_EQ(w.parent, nullptr) << c.name;
        EXPECT_EQ(w.menu, nullptr) << c.name;
        EXPECT_EQ(w.instance, GetModuleHandleA(nullptr)) << c.name;
        EXPECT_EQ(w.param, nullptr) << c.name;
        EXPECT_EQ(IsWindowed(), c.windowed) << c.name;
        ExitFramework();
    }
    SetWindowResizable(FALSE);
}

TEST_F(Window, LongNamesAreCopiedWithoutOverrun) {
    const std::string name(5000, 'n');
    InitFramework(name.c_str(), 640, 480, 1);
    // wsprintfA stops at its 1024-byte limit; the class keeps the caller's text.
    const std::string &copied = fake::LastWindow().className;
    EXPECT_LE(copied.size(), 1024u);
    EXPECT_GE(copied.size(), 1000u);
    EXPECT_EQ(copied, name.substr(0, copied.size()));
    EXPECT_EQ(fake::LastClass().className, name);
    EXPECT_EQ(GetWidth(), 640);
    EXPECT_EQ(GetHeight(), 480);
}

struct ProcCase {
    const char *name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool quits;
    // The DefWindowProcA entry expected, or "" when default processing must not run.
    const char *defaultCall;
};

TEST_F(Window, ProcedureAnswersEachMessageAsTabled) {
    const ProcCase cases[] = {
        {"close box", WM_CLOSE, 0, 0, true, ""},
        {"destroy", WM_DESTROY, 0, 0, true, ""},
        {"escape", WM_KEYDOWN, VK_ESCAPE, 0x10001, true, "DefWindowProcA(0x100, 0x1b, 0x10001)"},
        {"other key", WM_KEYDOWN, 'A', 0, false, "DefWindowProcA(0x100, 0x41, 0x0)"},
        {"screen saver", WM_SYSCOMMAND, SC_SCREENSAVE, 0, false, ""},
        {"monitor power, low bits set", WM_SYSCOMMAND, SC_MONITORPOWER | 0x2, 2, false, ""},
        {"other system command", WM_SYSCOMMAND, SC_CLOSE, 0, false,
         "DefWindowProcA(0x112, 0xf060, 0x0)"},
        {"input method context", WM_IME_SETCONTEXT, 1, static_cast<LPARAM>(0xFFFFFFFFu), false,
         "DefWindowProcA(0x281, 0x1, 0x3ffffff0)"},
        {"mouse", WM_LBUTTONDOWN, 1, 0x00200010, false, "DefWindowProcA(0x201, 0x1, 0x200010)"},
    };
    for (const ProcCase &c : cases) {
        fake::ClearCalls();
        const LRESULT result = WndProc(fake::FakeWindow(), c.message, c.wParam, c.lParam);
        EXPECT_EQ(result, 0) << c.name;
        EXPECT_EQ(fake::CountOf("PostQuitMessage(0)"), c.quits ? 1 : 0) << c.name;
        const std::vector<std::string> defaults = fake::CallsOf("DefWindowProcA");
        if (*c.defaultCall == '\0') {
            EXPECT_TRUE(defaults.empty()) << c.name;
        } else {
            EXPECT_EQ(defaults, std::vector<std::string>{c.defaultCall}) << c.name;
        }
    }
}

TEST_F(Window, CursorPositionNeedsAWindow) {
    fake::SetCursor(150, 80);
    POINT before = GetCursorPosition();
    EXPECT_EQ(before.x, 0);
    EXPECT_EQ(before.y, 0);
    EXPECT_EQ(fake::CountOf("GetCursorPos"), 0);

    ASSERT_EQ(InitFramework("fw", 800, 600, 1), 0);
    POINT inside = GetCursorPosition();
    EXPECT_EQ(inside.x, 150 - fake::kClientLeft);
    EXPECT_EQ(inside.y, 80 - fake::kClientTop);

    ExitFramework();
    fake::ClearCalls();
    POINT after = GetCursorPosition();
    EXPECT_EQ(after.x, 0);
    EXPECT_EQ(after.y, 0);
    EXPECT_EQ(fake::CountOf("GetCursorPos"), 0);
}

TEST_F(Window, ShowMessageIsAnOwnerlessOkBox) {
    EXPECT_EQ(ShowMessage("Flip : SetRenderTarget : Failed\n", "Error"), IDOK);
    EXPECT_EQ(fake::Messages(), std::vector<std::string>{"Flip : SetRenderTarget : Failed\n"});
}

} // namespace
