// Fake kernel32 thread and lock calls, and the runtime library's
// _beginthreadex. Every call reaches the real function, so threads, events
// and critical sections really work; what the fake adds is a record of the
// calls that concern the sound worker and its lock, and scripted failures.
//
// Log entries:
//   "_beginthreadex" (every thread started through the runtime library),
//   "WaitForSingleObject(thread, INFINITE)" (or the time-out in ms) and
//   "CloseHandle(thread)", for handles that _beginthreadex gave out only;
//   "InitializeCriticalSection(name)", "EnterCriticalSection(name)" (once
//   entered), "LeaveCriticalSection(name)" (before leaving) and
//   "DeleteCriticalSection(name)" for a lock a test watches (WatchLock). A
//   watched lock used while it is not initialised is recorded as
//   "EnterCriticalSection(name) BAD: not initialised" (and so on) and not
//   passed on, since the real call would hang or crash.
//
// Scripts (fake::Fail, FailAlways): "_beginthreadex" returns 0 and starts
// nothing.
//
// NOTE: events are not faked: winpthread creates the events of its own
// locks through CreateEventA, and the fake log's lock is one of those, so a
// fake CreateEventA that looked up its scripts would recurse.
#pragma once

#include <windows.h>

namespace fake {

// Records the calls on `lock` under `name` (up to four locks), from now on.
// Whether the lock is initialised now is read from the lock itself.
void WatchLock(CRITICAL_SECTION *lock, const char *name);

// Threads started through _beginthreadex whose entry has not yet returned.
int ThreadsAlive();

} // namespace fake
