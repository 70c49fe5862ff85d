#include "app/window.h"
#include "app/window_state.h"
#include "input/input_state.h"
#include "graphics/graphics.h"

namespace {

constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_CLASSDC;
// NOTE: the class record's cbSize is its own size: 48 bytes in 32-bit
// programs, 80 in 64-bit ones (its handles and pointers are wider).
static_assert(sizeof(WNDCLASSEXA) == (sizeof(void *) == 4 ? 48 : 80), "WNDCLASSEXA");
// Candidate-window bits and the composition and guideline windows of the
// input method: cleared so it draws none of its own windows over ours.
constexpr LPARAM kImeKeepMask = 0x3FFFFFF0;
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, which
// older SDK headers lack.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-3));
// The dots per inch of 100 % display scaling.
constexpr float kDefaultDpi = 96.0f;

// A window the program did not make resizable has no sizing border and no
// maximise box: its client area is always the back buffer's size.
DWORD WindowStyle(int windowed) {
    if (!windowed) {
        return WS_POPUP;
    }
    return windowState.resizable ? WS_OVERLAPPEDWINDOW
                                 : WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
}

DWORD WindowExStyle(int windowed) {
    return windowed ? (WS_EX_APPWINDOW | WS_EX_WINDOWEDGE) : WS_EX_APPWINDOW;
}

// The place of a window of client size width x height as InitFramework
// puts it.
// NOTE: centred by the client size, not the outer size: a framed window
// sits half its frame right of and below the exact centre.
POINT CentredPlace(int width, int height) {
    return {(GetSystemMetrics(SM_CXSCREEN) - width) / 2,
            (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

// The outer size of a window of this style around a client area of
// width x height.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle) {
    RECT rect;
    SetRect(&rect, 0, 0, width, height);
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void SetStyles(DWORD style, DWORD exStyle) {
    SetWindowLongPtrA(windowState.hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowLongPtrA(windowState.hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
}

// The messages of sizing and of the display mode; true when handled (the
// result is 0).
bool HandleModeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSKEYDOWN:
        // Alt+Enter (bit 29: Alt held), when the program asked for the switch.
        // A held key repeats with bit 30 set: one press, one switch.
        if (wParam != VK_RETURN || (lParam & (1 << 29)) == 0 || !windowState.altEnterToggles) {
            return false;
        }
        if ((lParam & (1 << 30)) == 0) {
            windowState.toggleAsked = TRUE;
        }
        return true;
    case WM_SYSCHAR:
        // The character of Alt+Enter would only beep.
        return wParam == '\r' && windowState.altEnterToggles;
    case WM_ENTERSIZEMOVE:
        windowState.sizing = TRUE;
        return false;
    case WM_EXITSIZEMOVE:
        // The back buffer follows a drag once it ends, not at each step.
        windowState.sizing = FALSE;
        windowState.resizeAsked = windowState.resizable;
        return false;
    case WM_SIZE:
        // Maximised, or restored from maximised or minimised: at once. A
        // minimised window keeps its back buffer (its client area is 0 x 0).
        if (!windowState.sizing && (wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) &&
            windowState.resizable) {
            windowState.resizeAsked = TRUE;
        }
        return false;
    }
    return false;
}

} // namespace

// All zero until InitFramework records the window, and again after
// ExitFramework.
WindowState windowState;

int GetWidth() { return windowState.width; }

int GetHeight() { return windowState.height; }

int IsWindowed() { return windowState.windowed; }

HWND GetWindowHandle() { return windowState.hwnd; }

HINSTANCE GetInstanceHandle() { return windowState.instance; }

POINT GetCursorPosition() {
    POINT point = {0, 0};
    if (windowState.hwnd == nullptr) {
        return point;
    }
    GetCursorPos(&point);
    ScreenToClient(windowState.hwnd, &point);
    return point;
}

void SetWindowTitle(const char *title) {
    if (windowState.hwnd != nullptr && title != nullptr) {
        SetWindowTextA(windowState.hwnd, title);
    }
}

int IsWindowFocused() {
    return windowState.hwnd != nullptr && GetForegroundWindow() == windowState.hwnd ? 1 : 0;
}

int IsWindowMinimized() {
    return windowState.hwnd != nullptr && IsIconic(windowState.hwnd) ? 1 : 0;
}

void SetEscapeQuits(BOOL quits) { windowState.escapeForProgram = !quits; }

int ShowMessage(const char *text, const char *caption) {
    return MessageBoxA(nullptr, text, caption, MB_OK);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The side buttons' messages answer TRUE, as their documentation asks.
    if (InputWindowMessage(hwnd, message, wParam)) {
        return TRUE;
    }
    switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
        // Closing only asks the loop to end; ExitFramework destroys the windowState.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && !windowState.escapeForProgram) {
            PostQuitMessage(0);
        }
        break;
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_SIZE:
        if (HandleModeMessage(message, wParam, lParam)) {
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            return 0;
        }
        break;
    case WM_IME_SETCONTEXT:
        lParam &= kImeKeepMask;
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HRESULT RegisterFrameworkClass(const char *name) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = kClassStyle;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = windowState.instance;
    // Null when the executable carries no such icon: the default icon is used.
    wc.hIcon = LoadIconA(windowState.instance, "MAINICO");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = name;
    wc.hIconSm = nullptr;
    return RegisterClassExA(&wc) != 0 ? S_OK : E_FAIL;
}

HRESULT CreateFrameworkWindow() {
    const DWORD style = WindowStyle(windowState.windowed);
    const DWORD exStyle = WindowExStyle(windowState.windowed);

    const POINT place = CentredPlace(windowState.width, windowState.height);
    const SIZE outer = OuterSize(windowState.width, windowState.height, style, exStyle);
    windowState.hwnd =
        CreateWindowExA(exStyle, windowState.name, windowState.name, style, place.x, place.y,
                        outer.cx, outer.cy, nullptr, nullptr, windowState.instance, nullptr);
    return windowState.hwnd != nullptr ? S_OK : E_FAIL;
}

void PrepareFullScreen() {
    if (windowState.hwnd == nullptr || !windowState.windowed) {
        return;
    }
    RECT rect = {};
    if (GetWindowRect(windowState.hwnd, &rect)) {
        windowState.windowedPlace = {rect.left, rect.top};
        windowState.placeKnown = TRUE;
    }
    windowState.windowedWidth = windowState.width;
    windowState.windowedHeight = windowState.height;
    // Windows' rule for a full-screen window: a popup, no frame or caption.
    SetStyles(WindowStyle(0) | WS_VISIBLE, WindowExStyle(0));
    SetWindowPos(windowState.hwnd, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void SetWindowMode(int width, int height, int windowed) {
    windowState.width = width;
    windowState.height = height;
    windowState.windowed = windowed;
    if (windowState.hwnd == nullptr || !windowed) {
        return; // full screen: Direct3D fits the window to the mode
    }
    const DWORD style = WindowStyle(1);
    const DWORD exStyle = WindowExStyle(1);
    const LONG_PTR current = GetWindowLongPtrA(windowState.hwnd, GWL_STYLE);
    const SIZE outer = OuterSize(width, height, style, exStyle);
    if ((current & WS_CAPTION) != WS_CAPTION) {
        // Back from full screen: the frame, the last windowed place.
        SetStyles(style | WS_VISIBLE, exStyle);
        const POINT place =
            windowState.placeKnown ? windowState.windowedPlace : CentredPlace(width, height);
        SetWindowPos(windowState.hwnd, HWND_NOTOPMOST, place.x, place.y, outer.cx, outer.cy,
                     SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        return;
    }
    RECT client = {};
    GetClientRect(windowState.hwnd, &client);
    if (client.right - client.left != width || client.bottom - client.top != height) {
        SetWindowPos(windowState.hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MakeAskedWindowChanges() {
    if (windowState.toggleAsked) {
        windowState.toggleAsked = FALSE;
        ToggleDisplayMode();
    }
    if (windowState.resizeAsked) {
        windowState.resizeAsked = FALSE;
        RECT client = {};
        if (windowState.hwnd != nullptr && windowState.windowed && !IsIconic(windowState.hwnd) &&
            GetClientRect(windowState.hwnd, &client)) {
            const int width = client.right - client.left;
            const int height = client.bottom - client.top;
            if (width > 0 && height > 0 &&
                (width != windowState.width || height != windowState.height)) {
                ChangeDisplayMode(width, height, 1);
            }
        }
    }
}

void SetWindowResizable(BOOL resizable) {
    windowState.resizable = resizable != FALSE;
    if (windowState.hwnd == nullptr || !windowState.windowed) {
        return; // the style is chosen when the window is made or goes windowed
    }
    // The frame changes around the same client area.
    RECT rect = {};
    GetWindowRect(windowState.hwnd, &rect);
    const DWORD style = WindowStyle(1) | WS_VISIBLE;
    const SIZE outer = OuterSize(windowState.width, windowState.height, style, WindowExStyle(1));
    SetStyles(style, WindowExStyle(1));
    SetWindowPos(windowState.hwnd, nullptr, rect.left, rect.top, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void DeclareDpiAwareness() {
    // NOTE: loaded at run time: SetProcessDpiAwarenessContext is Windows 10
    // 1703's (per monitor, version 2) and SetProcessDPIAware Vista's. A
    // manifest that declared the awareness already makes these fail, which
    // changes nothing.
    const auto setContext =
        LoadSystemFunction<BOOL(WINAPI *)(HANDLE)>("user32.dll", "SetProcessDpiAwarenessContext");
    if (setContext != nullptr && (setContext(kPerMonitorAwareV2) || setContext(kPerMonitorAware))) {
        return;
    }
    const auto setAware = LoadSystemFunction<BOOL(WINAPI *)()>("user32.dll", "SetProcessDPIAware");
    if (setAware != nullptr) {
        setAware();
    }
}

float GetWindowDpiScale() {
    UINT dpi = 0;
    const auto getDpi = LoadSystemFunction<UINT(WINAPI *)(HWND)>("user32.dll", "GetDpiForWindow");
    if (windowState.hwnd != nullptr && getDpi != nullptr) {
        dpi = getDpi(windowState.hwnd);
    }
    if (dpi == 0) { // before Windows 10 1607, or no window: the system's
        HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi != 0 ? static_cast<float>(dpi) / kDefaultDpi : 1.0f;
}

void SetAltEnterToggles(BOOL toggles) { windowState.altEnterToggles = toggles; }

HRESULT ToggleDisplayMode() {
    if (windowState.windowed) {
        return ChangeDisplayMode(static_cast<int>(var.DisplayMode.Width),
                                 static_cast<int>(var.DisplayMode.Height), 0);
    }
    // A program that started full screen goes back to a window of its size.
    if (windowState.windowedWidth == 0) {
        windowState.windowedWidth = windowState.width;
        windowState.windowedHeight = windowState.height;
    }
    return ChangeDisplayMode(windowState.windowedWidth, windowState.windowedHeight, 1);
}
