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

DWORD WindowStyle(int windowed) { return windowed ? WS_OVERLAPPEDWINDOW : WS_POPUP; }

DWORD WindowExStyle(int windowed) {
    return windowed ? (WS_EX_APPWINDOW | WS_EX_WINDOWEDGE) : WS_EX_APPWINDOW;
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
        // Alt+Enter (bit 29: Alt held), when the program asked for the switch.
        if (wParam == VK_RETURN && (lParam & (1 << 29)) != 0 && ToggleDisplayMode() != S_FALSE) {
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

    RECT rect;
    SetRect(&rect, 0, 0, windowState.width, windowState.height);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);

    // NOTE: centred by the client size, not the outer size: a framed window
    // sits half its frame right of and below the exact centre.
    windowState.hwnd = CreateWindowExA(
        exStyle, windowState.name, windowState.name, style, (screenWidth - windowState.width) / 2,
        (screenHeight - windowState.height) / 2, rect.right - rect.left, rect.bottom - rect.top,
        nullptr, nullptr, windowState.instance, nullptr);
    return windowState.hwnd != nullptr ? S_OK : E_FAIL;
}

void SetWindowMode(int width, int height, int windowed) {
    windowState.width = width;
    windowState.height = height;
    windowState.windowed = windowed;
    if (windowState.hwnd == nullptr || !windowed) {
        return; // full screen: Direct3D fits the window to the mode
    }
    const DWORD style = WindowStyle(1) | WS_VISIBLE;
    const DWORD exStyle = WindowExStyle(1);
    SetWindowLongPtrA(windowState.hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowLongPtrA(windowState.hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    RECT rect;
    SetRect(&rect, 0, 0, width, height);
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    SetWindowPos(windowState.hwnd, HWND_NOTOPMOST, 0, 0, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOMOVE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}
