// Driving the framework's real window on the test display: pumping the frame
// loop until something happens, and pressing keys the way a user would, on
// the X display behind Wine (xdotool), so they travel the whole way through
// the window system, the message queue and DirectInput.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace display {

constexpr DWORD kWaitMs = 5000;

// Runs UpdateFramework (messages, then input) until `done` holds or `ms`
// have passed; whether `done` held.
bool PumpUntil(const std::function<bool()> &done, DWORD ms = kWaitMs);

// Runs UpdateFramework until it returns 0 (the quit message was taken) or
// `ms` have passed; whether it did.
bool PumpUntilQuit(DWORD ms = kWaitMs);

// Whether xdotool can be run (it is a Unix program, outside Wine).
bool HasXdotool();

// Runs `xdotool <arguments>` and waits for it to end; false when it could not
// be started or did not end within kWaitMs.
bool RunXdotool(const std::string &arguments);

// The X window behind a Wine window, or 0 when the window has none (not
// Wine's X11 driver).
unsigned long XWindowOf(HWND window);

// Gives the X window of `window` the keyboard focus and holds `key` (an
// xdotool key name such as "Up" or "Escape") down, or lets it go.
bool KeyDown(HWND window, const char *key);
bool KeyUp(HWND window, const char *key);
// Gives `window` the focus, then presses and releases `key` with `holdMs`
// between (a quick finger, or a key-sending tool).
bool Tap(HWND window, const char *key, int holdMs);

// Moves the pointer to client point (x, y) of `window` (focused) and clicks
// xdotool's `button` there (1 left, 2 middle, 3 right, 4 and 5 the wheel
// away from and towards the user) `count` times, all in one go.
bool Click(HWND window, int x, int y, int button, int count = 1);

} // namespace display
