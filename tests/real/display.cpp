#include "real/display.h"

#include <fw/app/framework.h>

#include <cstdio>
#include <string>

namespace display {

bool PumpUntil(const std::function<bool()> &done, DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        UpdateFramework();
        if (done()) {
            return true;
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
    return false;
}

bool PumpUntilQuit(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        if (UpdateFramework() == 0) {
            return true;
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
    return false;
}

bool HasXdotool() { return GetFileAttributesA("Z:\\usr\\bin\\xdotool") != INVALID_FILE_ATTRIBUTES; }

// NOTE: Wine starts a Unix program but hands back no process handle that can
// be waited on, so a shell around it leaves a marker file when it is done.
bool RunXdotool(const std::string &arguments) {
    static int runs = 0;
    char marker[64];
    snprintf(marker, sizeof marker, "/tmp/fw-xdotool-%lu-%d", GetCurrentProcessId(), ++runs);
    std::string command =
        "Z:\\bin\\sh -c \"/usr/bin/xdotool " + arguments + "; touch " + marker + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string windowsMarker = std::string("Z:") + marker;
    for (char &c : windowsMarker) {
        c = c == '/' ? '\\' : c;
    }
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(windowsMarker.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > kWaitMs) {
            return false;
        }
        Sleep(10);
    }
    DeleteFileA(windowsMarker.c_str());
    return true;
}

unsigned long XWindowOf(HWND window) {
    // Wine's X11 driver keeps the X window of a top-level window here.
    return static_cast<unsigned long>(
        reinterpret_cast<ULONG_PTR>(GetPropA(window, "__wine_x11_whole_window")));
}

namespace {

// There is no window manager on the test display: windowactivate would
// fail, windowfocus is what gives the window the keys. Runs `then` after it.
bool Focused(HWND window, const std::string &then) {
    const unsigned long xWindow = XWindowOf(window);
    if (xWindow == 0) {
        return false;
    }
    return RunXdotool("windowfocus --sync " + std::to_string(xWindow) + " " + then);
}

} // namespace

bool KeyDown(HWND window, const char *key) {
    return Focused(window, std::string("keydown ") + key);
}

bool KeyUp(HWND window, const char *key) { return Focused(window, std::string("keyup ") + key); }

bool Tap(HWND window, const char *key, int holdMs) {
    char seconds[32];
    snprintf(seconds, sizeof seconds, "%d.%03d", holdMs / 1000, holdMs % 1000);
    return Focused(window, std::string("keydown ") + key + " sleep " + seconds + " keyup " + key);
}

bool Click(HWND window, int x, int y, int button, int count) {
    const std::string at =
        std::to_string(XWindowOf(window)) + " " + std::to_string(x) + " " + std::to_string(y);
    return Focused(window, "mousemove --window " + at + " click --repeat " + std::to_string(count) +
                               " " + std::to_string(button));
}

} // namespace display
