#include "fake/thread.h"

#include "fake/fake.h"

#include <process.h>

#include <atomic>
#include <cerrno>

namespace fake {
namespace {

// NOTE: every thread of the program, the C runtime and winpthread included,
// passes through these functions, some of them before main and from inside
// the runtime's own locking. So no C++ lock, no allocation and no
// function-local static here: fixed tables of atomics, and real functions
// looked up on each call through a module handle that never goes away.

struct WatchedLock {
    std::atomic<CRITICAL_SECTION *> lock;
    const char *name;
    std::atomic<bool> initialised;
};
WatchedLock watched[4];

std::atomic<HANDLE> threadHandles[64];
std::atomic<int> threadsAlive;

// The real function `name`, looked up once into `cache`.
template <class Fn> Fn Kernel32(std::atomic<FARPROC> &cache, const char *name) {
    FARPROC proc = cache.load();
    if (!proc) {
        proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
        cache = proc;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(proc));
}
std::atomic<FARPROC> realInitialize, realEnter, realLeave, realDelete, realWait, realClose;

WatchedLock *Watched(const CRITICAL_SECTION *lock) {
    for (WatchedLock &entry : watched) {
        if (entry.lock.load() == lock) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsThreadHandle(HANDLE handle) {
    if (!handle) {
        return false;
    }
    for (auto &slot : threadHandles) {
        if (slot.load() == handle) {
            return true;
        }
    }
    return false;
}

void ForgetThreadHandle(HANDLE handle) {
    for (auto &slot : threadHandles) {
        HANDLE expected = handle;
        if (slot.compare_exchange_strong(expected, nullptr)) {
            return;
        }
    }
}

// Checks a watched lock's state for `call`; false when the real call must
// not be made.
bool Usable(WatchedLock *entry, const char *call) {
    if (!entry->initialised) {
        Record("%s(%s) BAD: not initialised", call, entry->name);
        return false;
    }
    return true;
}

void WINAPI FakeInitializeCriticalSection(LPCRITICAL_SECTION lock) {
    Kernel32<decltype(&InitializeCriticalSection)>(realInitialize,
                                                   "InitializeCriticalSection")(lock);
    if (WatchedLock *entry = Watched(lock)) {
        entry->initialised = true;
        Record("InitializeCriticalSection(%s)", entry->name);
    }
}

void WINAPI FakeEnterCriticalSection(LPCRITICAL_SECTION lock) {
    WatchedLock *entry = Watched(lock);
    if (entry && !Usable(entry, "EnterCriticalSection")) {
        return;
    }
    Kernel32<decltype(&EnterCriticalSection)>(realEnter, "EnterCriticalSection")(lock);
    if (entry) {
        Record("EnterCriticalSection(%s)", entry->name);
    }
}

void WINAPI FakeLeaveCriticalSection(LPCRITICAL_SECTION lock) {
    WatchedLock *entry = Watched(lock);
    if (entry) {
        if (!Usable(entry, "LeaveCriticalSection")) {
            return;
        }
        Record("LeaveCriticalSection(%s)", entry->name);
    }
    Kernel32<decltype(&LeaveCriticalSection)>(realLeave, "LeaveCriticalSection")(lock);
}

void WINAPI FakeDeleteCriticalSection(LPCRITICAL_SECTION lock) {
    WatchedLock *entry = Watched(lock);
    if (entry) {
        if (!Usable(entry, "DeleteCriticalSection")) {
            return;
        }
        Record("DeleteCriticalSection(%s)", entry->name);
        entry->initialised = false;
    }
    Kernel32<decltype(&DeleteCriticalSection)>(realDelete, "DeleteCriticalSection")(lock);
}

DWORD WINAPI FakeWaitForSingleObject(HANDLE handle, DWORD ms) {
    if (IsThreadHandle(handle)) {
        if (ms == INFINITE) {
            Record("WaitForSingleObject(thread, INFINITE)");
        } else {
            Record("WaitForSingleObject(thread, %lu)", ms);
        }
    }
    return Kernel32<decltype(&WaitForSingleObject)>(realWait, "WaitForSingleObject")(handle, ms);
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    if (IsThreadHandle(handle)) {
        Record("CloseHandle(thread)");
        ForgetThreadHandle(handle);
    }
    return Kernel32<decltype(&CloseHandle)>(realClose, "CloseHandle")(handle);
}

struct ThreadStart {
    _beginthreadex_proc_type entry;
    void *argument;
};

unsigned __stdcall CountedThread(void *start) {
    const ThreadStart begin = *static_cast<ThreadStart *>(start);
    delete static_cast<ThreadStart *>(start);
    const unsigned code = begin.entry(begin.argument);
    --threadsAlive;
    return code;
}

uintptr_t __cdecl Fake_beginthreadex(void *security, unsigned stackSize,
                                     _beginthreadex_proc_type entry, void *argument, unsigned flags,
                                     unsigned *id) {
    Record("_beginthreadex");
    HRESULT ignored;
    if (Scripted("_beginthreadex", &ignored)) {
        errno = EAGAIN;
        return 0;
    }
    using Fn = decltype(&_beginthreadex);
    static const auto real = RealFunction<Fn>("msvcrt.dll", "_beginthreadex");
    ++threadsAlive;
    auto *start = new ThreadStart{entry, argument};
    const uintptr_t thread = real(security, stackSize, CountedThread, start, flags, id);
    if (thread == 0) {
        --threadsAlive;
        delete start;
        return 0;
    }
    for (auto &slot : threadHandles) {
        HANDLE expected = nullptr;
        if (slot.compare_exchange_strong(expected, reinterpret_cast<HANDLE>(thread))) {
            break;
        }
    }
    return thread;
}

} // namespace

void WatchLock(CRITICAL_SECTION *lock, const char *name) {
    for (WatchedLock &entry : watched) {
        if (entry.lock.load() == nullptr) {
            entry.name = name;
            // NOTE: an initialised critical section has a lock count of -1
            // while nobody holds it; a zeroed one has 0.
            entry.initialised = lock->LockCount != 0 || lock->DebugInfo != nullptr;
            entry.lock = lock;
            return;
        }
    }
    ADD_FAILURE() << "more than four watched locks";
}

int ThreadsAlive() { return threadsAlive; }

} // namespace fake

FAKE_IMPORT(InitializeCriticalSection, 4)
FAKE_IMPORT(EnterCriticalSection, 4)
FAKE_IMPORT(LeaveCriticalSection, 4)
FAKE_IMPORT(DeleteCriticalSection, 4)
FAKE_IMPORT(WaitForSingleObject, 8)
FAKE_IMPORT(CloseHandle, 4)
FAKE_IMPORT_CDECL(_beginthreadex)
