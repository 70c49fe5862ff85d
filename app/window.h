/// \file
/// The framework's one window: its state, class, procedure and accessors, and
/// ShowMessage, through which every error of the framework is reported.
/// InitFramework creates the window and ExitFramework destroys it. Before
/// InitFramework the state is all zero; after ExitFramework the handles are
/// NULL, the size and mode keep their last values and the settings below
/// (SetEscapeQuits, SetWindowResizable, SetAltEnterToggles) stay for a next
/// InitFramework.
///
/// The window state holds the size and mode of the window and of its back
/// buffer, in one place: ChangeDisplayMode, Alt+Enter and a resized window
/// change them there. Mode switches follow Windows' rules: full screen is a
/// popup window; back in a window it has its frame, its last windowed size
/// and its last windowed place again. From InitFramework on the process is
/// per-monitor DPI aware, so the client area is the pixels the program asked
/// for at any display scaling. (Wine 8 treats every program as per-monitor
/// aware, declared or not: there only Windows shows the difference.)
#pragma once

#include <windows.h>

/// The client width, which is also the back buffer's: the one InitFramework
/// was given, then the one of the last display-mode change or resize; 0
/// before InitFramework.
int GetWidth();
/// The client height, as GetWidth.
int GetHeight();
/// 1 while windowed, 0 while full screen (and before InitFramework); follows
/// ChangeDisplayMode and Alt+Enter.
int IsWindowed();
/// The framework's window; NULL while there is none.
HWND GetWindowHandle();
/// The program's instance handle; NULL outside InitFramework and ExitFramework.
HINSTANCE GetInstanceHandle();
/// The cursor in client coordinates, which are the back buffer's pixels in
/// either mode; (0, 0) while there is no window.
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

/// FALSE (the default): the window has no sizing border and no maximise box.
/// TRUE: it can be resized and maximised, and the back buffer follows its
/// client area, through the loss path and the device notifications as
/// ChangeDisplayMode: once a drag ends, and at the next UpdateFramework after
/// maximise and restore. A minimised window keeps its back buffer. May be
/// called before InitFramework or at any time after.
void SetWindowResizable(BOOL resizable);
/// TRUE: each press of Alt+Enter in the window (not its key repeat) switches
/// between windowed, at the last windowed size, and full screen at the
/// display's size, at the next UpdateFramework, as ToggleDisplayMode. FALSE
/// (the default): Alt+Enter does nothing of the kind.
void SetAltEnterToggles(BOOL toggles);
/// Switches between windowed and full screen at once, as Alt+Enter does;
/// ChangeDisplayMode's result (graphics/graphics.h).
HRESULT ToggleDisplayMode();
/// The window's dots per inch over 96: 1.0 at 100 % display scaling, 1.5 at
/// 150 %; for sizing text. The system's scale while there is no window.
float GetWindowDpiScale();

/// The window's procedure: the close box, Alt+F4 and Escape (unless
/// SetEscapeQuits(FALSE)) post the quit message; mouse buttons, the wheel and
/// device changes are recorded for input; Alt+Enter and the sizing messages
/// are noted for the next UpdateFramework; the rest goes to DefWindowProcA.
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
