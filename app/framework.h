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
/// Waits for the frame-rate cap (SetFrameRateLimit) and, while the window is
/// minimised or the program idles, sleeps; measures the frame clock, pumps
/// the window's messages, makes a display-mode switch or resize asked for
/// in the window (Alt+Enter, a resizable window's new size) and polls input;
/// 0 once the quit message has been taken from the queue, else 1.
int UpdateFramework();
/// Shuts everything down: sound, input, graphics, then the window; always 0.
/// The quit message that destroying the window posts is taken back, so that
/// InitFramework can start the framework again.
HRESULT ExitFramework();
/// Asks the frame loop to end at the next UpdateFramework.
void QuitFramework();
/// For a program built for the Windows GUI subsystem (no console window of
/// its own): standard output and error that were given no handle (no pipe,
/// file or console) go to the console of the parent process, where there is
/// one; handles that were given stay. InitFramework calls it first; call it
/// earlier to print before. Nothing happens in a console program.
void AttachParentConsole();

/// Caps the frame rate: UpdateFramework waits until the next frame is due,
/// `framesPerSecond` evenly spaced frames a second (on a high-resolution
/// waitable timer where the system has one, else 1 ms sleeps, then a short
/// spin). 0 (the default) or less: no cap, frames are paced by Present alone.
void SetFrameRateLimit(int framesPerSecond);
/// TRUE: UpdateFramework sleeps up to 100 ms, or until a message comes, as it
/// always does while the window is minimised; for a paused program. FALSE
/// (the default): it does not.
void SetIdleSleep(BOOL idle);
/// TRUE: the same sleep while the window is not the foreground window.
/// FALSE (the default): it does not.
void SetIdleSleepWhenUnfocused(BOOL idle);

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
