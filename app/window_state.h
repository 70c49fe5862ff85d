// The window state behind the accessors of window.h, and the class and
// window creation steps of InitFramework. Internal to the application shell.
#pragma once

#include <windows.h>

struct WindowState {
    HINSTANCE instance; // set first by InitFramework: the sign that teardown is due
    HWND hwnd;
    int width;
    int height;
    int windowed;
    // wsprintfA writes at most 1024 characters and the terminating NUL, so
    // no name can overrun this buffer.
    char name[1025];
    // SetEscapeQuits(FALSE): Escape is the program's, not a quit request.
    BOOL escapeForProgram;
};

extern WindowState windowState;

// Registers the class named `name` with WndProc; E_FAIL when the system refuses.
HRESULT RegisterFrameworkClass(const char *name);
// Creates the window from the state; E_FAIL when the system refuses.
HRESULT CreateFrameworkWindow();

// Takes a new client size and windowed flag after a display-mode change; a
// windowed window gets the windowed style and that client size.
void SetWindowMode(int width, int height, int windowed);
