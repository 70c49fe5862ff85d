/// \file
/// The framework's one window: its state, class, procedure and accessors, and
/// ShowMessage, through which every error of the framework is reported.
/// InitFramework creates the window and ExitFramework destroys it; the state
/// is all zero before and after.
#pragma once

#include <windows.h>

/// The client width InitFramework was given; 0 before it.
int GetWidth();
/// The client height InitFramework was given; 0 before it.
int GetHeight();
/// 1 for a windowed program, 0 for full screen (and before InitFramework).
int IsWindowed();
/// The framework's window; NULL while there is none.
HWND GetWindowHandle();
/// The program's instance handle; NULL outside InitFramework and ExitFramework.
HINSTANCE GetInstanceHandle();
/// The cursor in client coordinates; (0, 0) while there is no window.
POINT GetCursorPosition();
/// A modal box with no owner window and an OK button; returns MessageBoxA's
/// result. Every caller passes the caption "Error".
int ShowMessage(const char *text, const char *caption);

/// Sets the window's title (the class name stays); no effect while there is
/// no window.
void SetWindowTitle(const char *title);
/// 1 while the framework's window is the foreground window (it has the
/// keyboard), else 0; 0 while there is no window.
int IsWindowFocused();
/// 1 while the framework's window is minimised, else 0.
int IsWindowMinimized();
/// TRUE (the default): Escape posts the quit message. FALSE: Escape is left
/// to the program (IsKeyDown(DIK_ESCAPE)), as any other key.
void SetEscapeQuits(BOOL quits);

/// The window's procedure: the close box, Alt+F4 and Escape (unless
/// SetEscapeQuits(FALSE)) post the quit message; mouse buttons, the wheel and
/// device changes are recorded for input; the rest goes to DefWindowProcA.
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
