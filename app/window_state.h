// The window state behind the accessors of window.h, and the class and
// window creation steps of InitFramework. Internal to the framework.
//
// The window state is the one place that holds the size and the mode of the
// window and of its back buffer: device creation and every reset read them
// from here (GetWidth, GetHeight, IsWindowed), and SetWindowMode takes a new
// mode once the device has it.
#pragma once

#include <windows.h>

struct WindowState {
    HINSTANCE instance; // set first by InitFramework: the sign that teardown is due
    HWND hwnd;
    int width; // the client size and the back buffer's
    int height;
    int windowed;
    // wsprintfA writes at most 1024 characters and the terminating NUL, so
    // no name can overrun this buffer.
    char name[1025];
    // SetEscapeQuits(FALSE): Escape is the program's, not a quit request.
    BOOL escapeForProgram;
    BOOL resizable;       // SetWindowResizable
    BOOL altEnterToggles; // SetAltEnterToggles
    // Where the window was and how large its client area, when it last left
    // windowed mode; a window that has not been windowed yet is centred.
    POINT windowedPlace;
    BOOL placeKnown;
    int windowedWidth;
    int windowedHeight;
    // Asked for inside the window procedure, made at the next UpdateFramework.
    BOOL toggleAsked; // Alt+Enter
    BOOL resizeAsked; // the client area of a resizable window took a new size
    BOOL sizing;      // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
};

extern WindowState windowState;

// A function of a system DLL the process has loaded, looked up at run time
// (newer than the oldest system fw runs on); NULL where the system lacks it.
template <class Function> Function LoadSystemFunction(const char *module, const char *name) {
    HMODULE handle = GetModuleHandleA(module);
    // Through void *: GetProcAddress's type is no function's.
    return handle != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(handle, name)))
               : nullptr;
}

// Declares the process per-monitor DPI aware where the system can, else
// system DPI aware; nothing on a system that knows neither.
void DeclareDpiAwareness();
// Registers the class named `name` with WndProc; E_FAIL when the system refuses.
HRESULT RegisterFrameworkClass(const char *name);
// Creates the window from the state; E_FAIL when the system refuses.
HRESULT CreateFrameworkWindow();

// Before a reset to full screen: a windowed window remembers its place and
// size and becomes a popup, as a full-screen window is created.
void PrepareFullScreen();
// After the device has taken a mode: records it. A window coming back from
// full screen gets its overlapped style again at its last windowed place; a
// windowed one gets that client size where it is.
void SetWindowMode(int width, int height, int windowed);

// What the window procedure asked for, made outside it: the Alt+Enter switch
// and the new client size of a resized window. Called by UpdateFramework
// after the messages are drained.
void MakeAskedWindowChanges();
