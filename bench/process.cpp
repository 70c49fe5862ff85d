#include "process.h"

#include <tlhelp32.h>

#include <cstdint>

namespace bench {

// NOTE: Wine's GetProcessHandleCount reports 0, and Wine 8's server can
// crash on the system's handle table (NtQuerySystemInformation) when another
// process has no handle open at that moment, which takes every Wine program
// down with it. Asking about every handle value works on Windows and Wine
// alike. Each question is a round trip to Wine's server, so the walk ends
// 2048 values past the last handle found: handles take the lowest free
// value, so a growing count grows upwards.
DWORD HandleCount() {
    constexpr uintptr_t kGap = 2048 * 4;
    DWORD count = 0;
    uintptr_t last = 0;
    for (uintptr_t value = 4; value < (1u << 18) && value - last <= kGap; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            last = value;
        }
    }
    return count;
}

int ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

double FileTimeSeconds(const FILETIME &time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) * 1e-7;
}

double ProcessCpu() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

} // namespace bench
