#include "fake/win32.h"

#include "fake/fake.h"

#include <mmsystem.h>

#include <algorithm>
#include <deque>

namespace fake {
namespace {

const DWORD testThread = GetCurrentThreadId();
bool OnTestThread() { return GetCurrentThreadId() == testThread; }

WindowClass lastClass;
CreatedWindow lastWindow;
int screenWidth = 1024, screenHeight = 768;
std::deque<MSG> queue;
POINT cursor;
const HWND kWindow = reinterpret_cast<HWND>(0x1000);

bool Fails(const char *name) {
    HRESULT ignored;
    return Scripted(name, &ignored);
}

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (owner != nullptr || type != MB_OK) {
        Record("MessageBoxA(BAD owner %p type %u, %s, %s)", static_cast<void *>(owner), type,
               caption, text);
    } else {
        Record("MessageBoxA(%s, %s)", caption, text);
    }
    return IDOK;
}

HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name) {
    if (name == nullptr) {
        Record("GetModuleHandleA(NULL)");
    }
    using Fn = HMODULE(WINAPI *)(LPCSTR);
    static const auto real = RealFunction<Fn>("kernel32.dll", "GetModuleHandleA");
    return real(name);
}

ATOM WINAPI FakeRegisterClassExA(const WNDCLASSEXA *wc) {
    Record("RegisterClassExA(%s)", wc->lpszClassName);
    lastClass.wc = *wc;
    lastClass.className = wc->lpszClassName;
    return Fails("RegisterClassExA") ? 0 : 0xC001;
}

HWND WINAPI FakeCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                                int y, int width, int height, HWND parent, HMENU menu,
                                HINSTANCE instance, LPVOID param) {
    Record("CreateWindowExA(%s)", className);
    lastWindow = {exStyle, className, title,  style, x,        y,
                  width,   height,    parent, menu,  instance, param};
    return Fails("CreateWindowExA") ? nullptr : kWindow;
}

BOOL WINAPI FakeShowWindow(HWND, int command) {
    Record("ShowWindow(%d)", command);
    return FALSE;
}

BOOL WINAPI FakeUpdateWindow(HWND) {
    Record("UpdateWindow");
    return TRUE;
}

BOOL WINAPI FakeDestroyWindow(HWND window) {
    if (window == nullptr) {
        Record("DestroyWindow(NULL)");
    } else {
        Record("DestroyWindow(0x%llx)", reinterpret_cast<unsigned long long>(window));
    }
    return window == kWindow;
}

BOOL WINAPI FakeUnregisterClassA(LPCSTR className, HINSTANCE) {
    Record("UnregisterClassA(%s)", className);
    return TRUE;
}

HICON WINAPI FakeLoadIconA(HINSTANCE, LPCSTR name) {
    Record("LoadIconA(%s)", IS_INTRESOURCE(name) ? "#" : name);
    return nullptr; // the executable carries no icon
}

HCURSOR WINAPI FakeLoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(0x2000); }

HGDIOBJ WINAPI FakeGetStockObject(int object) { return reinterpret_cast<HGDIOBJ>(0x3000 + object); }

int WINAPI FakeGetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) {
        return screenWidth;
    }
    if (index == SM_CYSCREEN) {
        return screenHeight;
    }
    return 0;
}

BOOL WINAPI FakeAdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    Record("AdjustWindowRectEx(0x%lx, %d, 0x%lx)", style, menu, exStyle);
    if ((style & WS_CAPTION) == WS_CAPTION) {
        rect->left -= kFrameSide;
        rect->right += kFrameSide;
        rect->top -= kFrameTop;
        rect->bottom += kFrameSide;
    }
    return TRUE;
}

BOOL WINAPI FakePeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    if (!OnTestThread()) {
        using Fn = BOOL(WINAPI *)(LPMSG, HWND, UINT, UINT, UINT);
        static const auto real = RealFunction<Fn>("user32.dll", "PeekMessageA");
        return real(msg, window, first, last, remove);
    }
    Record("PeekMessageA");
    // The first queued message in the filter's range (0, 0: any).
    const auto match = std::find_if(queue.begin(), queue.end(), [&](const MSG &queued) {
        return (first == 0 && last == 0) || (queued.message >= first && queued.message <= last);
    });
    if (match == queue.end()) {
        return FALSE;
    }
    *msg = *match;
    if (remove & PM_REMOVE) {
        queue.erase(match);
    }
    return TRUE;
}

BOOL WINAPI FakeTranslateMessage(const MSG *msg) {
    Record("TranslateMessage(0x%x)", msg->message);
    return FALSE;
}

LRESULT WINAPI FakeDispatchMessageA(const MSG *msg) {
    Record("DispatchMessageA(0x%x)", msg->message);
    if (lastClass.wc.lpfnWndProc == nullptr) {
        return 0;
    }
    return lastClass.wc.lpfnWndProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI FakeDefWindowProcA(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("DefWindowProcA(0x%x, 0x%llx, 0x%llx)", message, static_cast<unsigned long long>(wParam),
           static_cast<unsigned long long>(lParam));
    return 0;
}

void WINAPI FakePostQuitMessage(int code) {
    Record("PostQuitMessage(%d)", code);
    QueueMessage(WM_QUIT, static_cast<WPARAM>(code), 0);
}

BOOL WINAPI FakePostThreadMessageA(DWORD thread, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("PostThreadMessageA(0x%x)", message);
    using Fn = BOOL(WINAPI *)(DWORD, UINT, WPARAM, LPARAM);
    static const auto real = RealFunction<Fn>("user32.dll", "PostThreadMessageA");
    return real(thread, message, wParam, lParam);
}

void WINAPI FakeSleep(DWORD ms) {
    Record("Sleep(%lu)", ms);
    if (Fails("Sleep")) {
        return;
    }
    using Fn = void(WINAPI *)(DWORD);
    static const auto real = RealFunction<Fn>("kernel32.dll", "Sleep");
    real(ms);
}

DWORD WINAPI FakeMsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL all, DWORD ms,
                                           DWORD wakeMask) {
    Record("MsgWaitForMultipleObjects(%lu)", ms);
    using Fn = DWORD(WINAPI *)(DWORD, const HANDLE *, BOOL, DWORD, DWORD);
    static const auto real = RealFunction<Fn>("user32.dll", "MsgWaitForMultipleObjects");
    return real(count, handles, all, ms, wakeMask);
}

MMRESULT WINAPI FaketimeBeginPeriod(UINT period) {
    Record("timeBeginPeriod(%u)", period);
    return TIMERR_NOERROR;
}

MMRESULT WINAPI FaketimeEndPeriod(UINT period) {
    Record("timeEndPeriod(%u)", period);
    return TIMERR_NOERROR;
}

BOOL WINAPI FakeGetCursorPos(LPPOINT point) {
    Record("GetCursorPos");
    *point = cursor;
    return TRUE;
}

BOOL WINAPI FakeScreenToClient(HWND, LPPOINT point) {
    Record("ScreenToClient");
    point->x -= kClientLeft;
    point->y -= kClientTop;
    return TRUE;
}

BOOL WINAPI FakeSystemParametersInfoA(UINT action, UINT param, PVOID data, UINT winIni) {
    Record("SystemParametersInfoA(0x%x, %u, %s, %u)", action, param, data ? "data" : "NULL",
           winIni);
    return TRUE;
}

} // namespace

std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    const std::string prefix = "MessageBoxA(";
    for (const std::string &call : CallsOf(prefix)) {
        if (call.compare(0, 18, "MessageBoxA(Error,") == 0) {
            texts.push_back(call.substr(19, call.size() - 20));
        } else {
            texts.push_back(call); // a bad box shows as itself, so it cannot match
        }
    }
    return texts;
}

HWND FakeWindow() { return kWindow; }
const WindowClass &LastClass() { return lastClass; }
const CreatedWindow &LastWindow() { return lastWindow; }

void SetScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
}

void QueueMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = message == WM_QUIT ? nullptr : kWindow;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    queue.push_back(msg);
}

int QueuedMessages() { return static_cast<int>(queue.size()); }

void SetCursor(int x, int y) { cursor = {x, y}; }

} // namespace fake

FAKE_IMPORT(MessageBoxA, 16)
FAKE_IMPORT(GetModuleHandleA, 4)
FAKE_IMPORT(RegisterClassExA, 4)
FAKE_IMPORT(CreateWindowExA, 48)
FAKE_IMPORT(ShowWindow, 8)
FAKE_IMPORT(UpdateWindow, 4)
FAKE_IMPORT(DestroyWindow, 4)
FAKE_IMPORT(UnregisterClassA, 8)
FAKE_IMPORT(LoadIconA, 8)
FAKE_IMPORT(LoadCursorA, 8)
FAKE_IMPORT(GetStockObject, 4)
FAKE_IMPORT(GetSystemMetrics, 4)
FAKE_IMPORT(AdjustWindowRectEx, 16)
FAKE_IMPORT(PeekMessageA, 20)
FAKE_IMPORT(TranslateMessage, 4)
FAKE_IMPORT(DispatchMessageA, 4)
FAKE_IMPORT(DefWindowProcA, 16)
FAKE_IMPORT(PostQuitMessage, 4)
FAKE_IMPORT(PostThreadMessageA, 16)
FAKE_IMPORT(Sleep, 4)
FAKE_IMPORT(MsgWaitForMultipleObjects, 20)
FAKE_IMPORT(timeBeginPeriod, 4)
FAKE_IMPORT(timeEndPeriod, 4)
FAKE_IMPORT(GetCursorPos, 4)
FAKE_IMPORT(ScreenToClient, 8)
FAKE_IMPORT(SystemParametersInfoA, 16)
