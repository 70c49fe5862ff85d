// What Windows does when a device comes or goes and Wine does not for a
// virtual one: WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to every top-level
// window. Shared by the stand-ins of the run and test scripts (the virtual
// joystick, the xinput1_4.dll stand-in); only this process's windows get it.
#pragma once

#include <windows.h>

#include <dbt.h>

namespace device_change {

inline BOOL CALLBACK PostTo(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        PostMessageA(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    }
    return TRUE;
}

// Posts the message to this process's top-level windows.
inline void Post() { EnumWindows(PostTo, 0); }

} // namespace device_change
