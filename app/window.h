// The framework's one window: its state, class, procedure and accessors, and
// ShowMessage, through which every error of the framework is reported.
// InitFramework creates the window and ExitFramework destroys it; the state
// is all zero before and after.
#pragma once

#include <windows.h>

int GetWidth();
int GetHeight();
int IsWindowed();
HWND GetWindowHandle();
HINSTANCE GetInstanceHandle();
// The cursor in client coordinates; (0, 0) while there is no window.
POINT GetCursorPosition();
// A modal box with no owner window and an OK button; returns MessageBoxA's
// result. Every caller passes the caption "Error".
int ShowMessage(const char *text, const char *caption);

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
