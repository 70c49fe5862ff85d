/// \file
/// Application shell: framework start-up, the per-frame service and shutdown.
///
/// InitFramework creates the window, raises the timer resolution to 1 ms and
/// starts input, sound and graphics in that order; any failure shows its
/// message, runs the whole of ExitFramework and returns the failing status.
/// ExitFramework releases sound, input and graphics (in that order, so the
/// sound worker has stopped before anything else goes), then tears the window
/// down; it may run any number of times. Everything here runs on the thread
/// that owns the window.
#pragma once

#include <windows.h>

/// Starts the framework with a window of class and title `name`, a client area of
/// `width` x `height` and `windowed` (0: full screen); 0 on success, else the
/// failing status, after its message box and a full ExitFramework.
HRESULT InitFramework(const char *name, int width, int height, int windowed);
/// Pumps the window's messages and polls input; 0 once the quit message has
/// been taken from the queue, else 1.
int UpdateFramework();
/// Shuts everything down: sound, input, graphics, then the window; always 0.
/// The quit message that destroying the window posts is taken back, so that
/// InitFramework can start the framework again.
HRESULT ExitFramework();
/// Asks the frame loop to end at the next UpdateFramework.
void QuitFramework();
