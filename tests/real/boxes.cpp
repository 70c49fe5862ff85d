#include "real/boxes.h"

#include <algorithm>

namespace boxes {

Answerer::Answerer() : thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}

Answerer::~Answerer() {
    stop_ = true;
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
}

std::vector<std::string> Answerer::Texts() {
    std::lock_guard<std::mutex> hold(lock_);
    return texts_;
}

DWORD WINAPI Answerer::Run(void *self) {
    auto *answerer = static_cast<Answerer *>(self);
    while (!answerer->stop_) {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(answerer));
        {
            std::lock_guard<std::mutex> hold(answerer->lock_);
            auto &answered = answerer->answered_;
            answered.erase(std::remove_if(answered.begin(), answered.end(),
                                          [](HWND box) { return !IsWindow(box); }),
                           answered.end());
        }
        Sleep(10);
    }
    return 0;
}

BOOL CALLBACK Answerer::Visit(HWND window, LPARAM self) {
    auto *answerer = reinterpret_cast<Answerer *>(self);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // NOTE: GetWindowText would send a message to the window's thread, which
    // may be waiting for this one (the framework's window, at the end of a
    // test); InternalGetWindowText only reads.
    wchar_t title[16] = {};
    InternalGetWindowText(window, title, 16);
    if (process != GetCurrentProcessId() || std::wstring(title) != L"Error" ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    std::lock_guard<std::mutex> hold(answerer->lock_);
    auto &answered = answerer->answered_;
    if (std::find(answered.begin(), answered.end(), window) != answered.end()) {
        return TRUE;
    }
    // The text's control: 0xFFFF in Wine's and Windows' message boxes, 100
    // in older Wine.
    char text[1024] = {};
    if (GetDlgItemTextA(window, 0xFFFF, text, sizeof text) == 0) {
        GetDlgItemTextA(window, 100, text, sizeof text);
    }
    answerer->texts_.emplace_back(text);
    answered.push_back(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

} // namespace boxes
