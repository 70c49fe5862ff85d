// Fake Win32 user interface, GDI, Sleep and multimedia timer calls (user32,
// gdi32, kernel32, winmm). Message boxes never show: each is recorded and
// answered with IDOK. Window calls are pure fakes with plausible answers; on
// the test's own thread the message queue is the fake's, and dispatching a
// message calls the registered window procedure as the system would. On other
// threads (the sound worker) PeekMessageA, PostThreadMessageA and Sleep reach
// the real functions.
//
// Log entries: "MessageBoxA(Error, text)" (text verbatim, "\n" included; a box
// with an owner window or a style other than MB_OK is recorded as
// "MessageBoxA(BAD ...)"), "GetModuleHandleA(NULL)", "RegisterClassExA(name)",
// "CreateWindowExA(name)", "ShowWindow(5)", "UpdateWindow",
// "DestroyWindow(0x1000)" or "DestroyWindow(NULL)", "UnregisterClassA(name)", "timeBeginPeriod(1)",
// "timeEndPeriod(1)", "Sleep(ms)", "MsgWaitForMultipleObjects(ms)" (the real
// wait follows), "PostQuitMessage(0)", "PeekMessageA" (its filter honoured),
// "TranslateMessage(0x...)", "DispatchMessageA(0x...)",
// "DefWindowProcA(0x..., 0x..., 0x...)", "PostThreadMessageA(0x12)",
// "GetCursorPos", "ScreenToClient", "SystemParametersInfoA(0x4b, 1, NULL, 0)" (action,
// parameter, data or NULL, profile flags; nothing is changed).
//
// Scripts (fake::Fail): "RegisterClassExA" and "CreateWindowExA" fail with
// any result; "Sleep" scripted returns at once without sleeping.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fake {

// The texts of the message boxes shown so far, in order.
std::vector<std::string> Messages();

// The handle the fake CreateWindowExA gives out.
HWND FakeWindow();

// What the last RegisterClassExA and CreateWindowExA were given.
struct WindowClass {
    WNDCLASSEXA wc;
    std::string className;
};
const WindowClass &LastClass();
struct CreatedWindow {
    DWORD exStyle;
    std::string className, title;
    DWORD style;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    HINSTANCE instance;
    void *param;
};
const CreatedWindow &LastWindow();

// Screen size that GetSystemMetrics reports (default 1024 x 768) and the frame
// AdjustWindowRectEx adds to a WS_CAPTION window (8 on three sides, 31 on top).
void SetScreenSize(int width, int height);
constexpr int kFrameSide = 8;
constexpr int kFrameTop = 31;

// Puts a message in the test thread's fake queue, behind those already there.
void QueueMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Messages still queued.
int QueuedMessages();

// The cursor's screen position and the client origin ScreenToClient uses.
void SetCursor(int x, int y);
constexpr int kClientLeft = 100;
constexpr int kClientTop = 50;

} // namespace fake
