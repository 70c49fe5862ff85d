#include "app/framework.h"

#include "app/window.h"
#include "app/window_state.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "input/input_state.h"
#include "sound/sound.h"

#include <mmsystem.h>

#include <algorithm>

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

// Start-up failures: the box, then the whole shutdown, then the status.
HRESULT FailStartup(const char *message, HRESULT status) {
    ShowMessage(message, "Error");
    ExitFramework();
    return status;
}

} // namespace

HRESULT InitFramework(const char *name, int width, int height, int windowed) {
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
        UnregisterClassA(windowState.name, windowState.instance);
        windowState.instance = nullptr;
        windowState.hwnd = nullptr;
    }
    return 0;
}

void QuitFramework() { PostQuitMessage(0); }

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
