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
/// Measures the frame clock, pumps the window's messages and polls input; 0
/// once the quit message has been taken from the queue, else 1.
int UpdateFramework();
/// Shuts everything down: sound, input, graphics, then the window; always 0.
/// The quit message that destroying the window posts is taken back, so that
/// InitFramework can start the framework again.
HRESULT ExitFramework();
/// Asks the frame loop to end at the next UpdateFramework.
void QuitFramework();

/// The longest step GetFrameTime reports, in seconds: a frame held up by a
/// debugger, a window drag or a load counts as this long.
constexpr float FRAME_TIME_MAX = 0.1f;

/// Seconds between the last two UpdateFramework calls (the first after
/// InitFramework counts from its end), at most FRAME_TIME_MAX; 0 before.
float GetFrameTime();
/// Seconds from the end of InitFramework to the last UpdateFramework (the
/// same all through one frame); 0 before.
double GetTime();
/// Frames per second over the last 30 frames (fewer at the start); 0 before
/// the first frame.
float GetFramesPerSecond();
