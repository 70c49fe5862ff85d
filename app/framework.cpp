#include "app/framework.h"

#include "app/window.h"
#include "app/window_state.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "input/input_state.h"
#include "sound/sound.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>

namespace {

// Frames over which GetFramesPerSecond averages.
constexpr int kRateFrames = 30;

// The frame clock, in performance-counter ticks.
struct FrameClock {
    LONGLONG frequency; // 0 until the clock starts
    LONGLONG start;
    LONGLONG last;
    float frameTime;
    LONGLONG durations[kRateFrames]; // the last frames' lengths, a ring
    int frames;                      // how many of them hold a length
    int next;
} frameClock;

LONGLONG Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

void StartFrameClock() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frameClock = FrameClock{};
    frameClock.frequency = frequency.QuadPart;
    frameClock.start = frameClock.last = Now();
}

void TickFrameClock() {
    if (frameClock.frequency == 0) {
        StartFrameClock();
    }
    const LONGLONG now = Now();
    const LONGLONG duration = now - frameClock.last;
    frameClock.last = now;
    frameClock.frameTime = static_cast<float>(
        std::min(static_cast<double>(duration) / frameClock.frequency, double{FRAME_TIME_MAX}));
    frameClock.durations[frameClock.next] = duration;
    frameClock.next = (frameClock.next + 1) % kRateFrames;
    frameClock.frames = std::min(frameClock.frames + 1, kRateFrames);
}

// How long UpdateFramework sleeps, at most, while the window is minimised
// or the program idles; a message wakes it sooner.
constexpr DWORD kIdleWaitMs = 100;
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803), which older SDK
// headers lack.
constexpr DWORD kHighResolutionTimer = 0x00000002;

// The frame-rate cap and the idle sleep.
struct FramePacing {
    LONGLONG frequency; // performance-counter ticks a second
    LONGLONG period;    // ticks between capped frames; 0: no cap
    LONGLONG due;       // when the next capped frame may begin; 0: at once
    HANDLE timer;       // a high-resolution waitable timer, or NULL
    bool timerTried;
    BOOL idle;
    BOOL idleUnfocused;
} pacing;

// The high-resolution waitable timer where the system has one; NULL
// elsewhere (earlier systems refuse the flag).
HANDLE HighResolutionTimer() {
    if (!pacing.timerTried) {
        pacing.timerTried = true;
        const auto create =
            LoadSystemFunction<HANDLE(WINAPI *)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD)>(
                "kernel32.dll", "CreateWaitableTimerExW");
        if (create != nullptr) {
            pacing.timer = create(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
        }
    }
    return pacing.timer;
}

// Waits until the counter reaches `due`: on the high-resolution timer to
// within half a millisecond, else in 1 ms sleeps (the timer resolution is
// 1 ms from InitFramework on) to within two; the rest is spun, since either
// wakes up late by up to its resolution.
void WaitUntil(LONGLONG due) {
    HANDLE timer = HighResolutionTimer();
    const LONGLONG margin = pacing.frequency / (timer != nullptr ? 2000 : 500);
    for (LONGLONG left = due - Now(); left > 0; left = due - Now()) {
        if (left <= margin) {
            YieldProcessor();
        } else if (timer != nullptr) {
            LARGE_INTEGER when; // negative: relative, in 100 ns units
            when.QuadPart = -((left - margin) * 10000000 / pacing.frequency);
            if (!SetWaitableTimer(timer, &when, 0, nullptr, nullptr, FALSE) ||
                WaitForSingleObject(timer, INFINITE) != WAIT_OBJECT_0) {
                Sleep(1);
            }
        } else {
            Sleep(1);
        }
    }
}

// The cap: each frame begins one period after the one before, so the frames
// are evenly spaced; a frame later than a whole period starts the spacing
// again from now instead of letting frames bunch up to catch up.
void PaceFrame() {
    if (pacing.period == 0) {
        return;
    }
    const LONGLONG now = Now();
    if (pacing.due == 0 || now - pacing.due > pacing.period) {
        pacing.due = now;
    } else {
        WaitUntil(pacing.due);
    }
    pacing.due += pacing.period;
}

// A minimised window, or a program that asked for it, sleeps until a message
// comes or a while has passed, instead of drawing flat out.
void IdleWait() {
    HWND window = windowState.hwnd;
    if (window != nullptr && (IsIconic(window) || pacing.idle ||
                              (pacing.idleUnfocused && GetForegroundWindow() != window))) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kIdleWaitMs, QS_ALLINPUT);
    }
}

// A standard handle the process was given (a console, a file, a pipe).
bool HasStandardHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Start-up failures: the box, then the whole shutdown, then the status.
HRESULT FailStartup(const char *message, HRESULT status) {
    ShowMessage(message, "Error");
    ExitFramework();
    return status;
}

} // namespace

void AttachParentConsole() {
    const bool output = HasStandardHandle(STD_OUTPUT_HANDLE);
    const bool error = HasStandardHandle(STD_ERROR_HANDLE);
    // NOTE: a handle the program was given (a script's pipe or file) is
    // kept: only what has none is sent to the parent's console.
    if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    if (!output && std::freopen("CONOUT$", "w", stdout) != nullptr) {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    if (!error) {
        std::freopen("CONOUT$", "w", stderr);
    }
}

HRESULT InitFramework(const char *name, int width, int height, int windowed) {
    AttachParentConsole();
    DeclareDpiAwareness();
    windowState.instance = GetModuleHandleA(nullptr);
    windowState.width = width;
    windowState.height = height;
    windowState.windowed = windowed;
    wsprintfA(windowState.name, "%s", name);

    if (RegisterFrameworkClass(name) != S_OK) {
        return FailStartup("RegisterClassEx : Failed\n", E_FAIL);
    }
    if (CreateFrameworkWindow() != S_OK) {
        return FailStartup("CreateWindowEx : Failed\n", E_FAIL);
    }
    ShowWindow(windowState.hwnd, SW_SHOW);
    UpdateWindow(windowState.hwnd);
    timeBeginPeriod(1);

    HRESULT hr = InitInput();
    if (hr != 0) {
        return FailStartup("InitDirectInput : Failed\n", hr);
    }
    hr = InitSound();
    if (hr != 0) {
        return FailStartup("InitSound : Failed\n", hr);
    }
    hr = InitDirectX();
    if (hr != 0) {
        return FailStartup("InitDirectX : Failed\n", hr);
    }
    StartFrameClock();
    return 0;
}

int UpdateFramework() {
    PaceFrame();
    IdleWait();
    TickFrameClock();
    int result = 1;
    if (windowState.hwnd != nullptr) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // Whatever is queued behind the quit message stays undispatched.
            if (msg.message == WM_QUIT) {
                result = 0;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            TakeTypedCharacters();
        }
        Sleep(0);
        if (result != 0) {
            // Alt+Enter and sizing, outside the window procedure.
            MakeAskedWindowChanges();
        }
    }
    UpdateInput();
    return result;
}

HRESULT ExitFramework() {
    // Sound first: its worker thread must have ended before anything else goes.
    ReleaseSound();
    ReleaseInput();
    ReleaseDirectX();
    if (windowState.instance != nullptr) {
        // NOTE: destroying the window sends it WM_DESTROY, on which the window
        // procedure posts the quit message. Left in the thread's queue, it
        // would end the loop of a next InitFramework at once; a quit message
        // that was there before is the program's and stays.
        MSG msg;
        const bool quitPending = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
        DestroyWindow(windowState.hwnd);
        if (!quitPending) {
            PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
        timeEndPeriod(1);
        if (pacing.timer != nullptr) {
            CloseHandle(pacing.timer);
        }
        pacing.timer = nullptr;
        pacing.timerTried = false;
        UnregisterClassA(windowState.name, windowState.instance);
        windowState.instance = nullptr;
        windowState.hwnd = nullptr;
    }
    return 0;
}

void QuitFramework() { PostQuitMessage(0); }

void SetFrameRateLimit(int framesPerSecond) {
    if (pacing.frequency == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        pacing.frequency = frequency.QuadPart;
    }
    pacing.period = framesPerSecond > 0 ? pacing.frequency / framesPerSecond : 0;
    pacing.due = 0;
}

void SetIdleSleep(BOOL idle) { pacing.idle = idle; }

void SetIdleSleepWhenUnfocused(BOOL idle) { pacing.idleUnfocused = idle; }

float GetFrameTime() { return frameClock.frameTime; }

double GetTime() {
    if (frameClock.frequency == 0) {
        return 0.0;
    }
    return static_cast<double>(frameClock.last - frameClock.start) / frameClock.frequency;
}

float GetFramesPerSecond() {
    LONGLONG total = 0;
    for (int i = 0; i < frameClock.frames; ++i) {
        total += frameClock.durations[i];
    }
    if (total <= 0) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(frameClock.frames) * frameClock.frequency /
                              total);
}
