// Fake Win32 user interface, GDI, module, Sleep and multimedia timer calls
// (user32, gdi32, kernel32, winmm). Message boxes never show: each is
// recorded and answered with IDOK. Window calls are recorded and answered
// by scripts or with plausible values; the window procedure is called the
// way the system would for the messages a test posts.
//
// Log entries: "MessageBoxA(Error, text)" (text verbatim, "\n" included; a
// box with an owner window or a style other than MB_OK is recorded as
// "MessageBoxA(BAD ...)"), "RegisterClassExA(name)", "CreateWindowExA(name)",
// "ShowWindow(5)", "UpdateWindow", "DestroyWindow(0x..)",
// "UnregisterClassA(name)", "timeBeginPeriod(1)", "timeEndPeriod(1)",
// "Sleep(ms)", "PostQuitMessage(0)", "PeekMessageA", "TranslateMessage",
// "DispatchMessageA(0x...)", "PostThreadMessageA(0x12)".
#pragma once

#include <string>
#include <vector>

namespace fake {

// The texts of the message boxes shown so far, in order.
std::vector<std::string> Messages();

} // namespace fake
