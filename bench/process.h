// What this process holds, counted in ways that work on Windows and on
// Wine alike; the soak and stress runs sample them, and so does the
// device-loss test.
#pragma once

#include <windows.h>

namespace bench {

// This process's open handles and threads.
DWORD HandleCount();
int ThreadCount();
// A FILETIME span in seconds.
double FileTimeSeconds(const FILETIME &time);
// The CPU time, user and kernel, this process has used so far, in seconds.
double ProcessCpu();

} // namespace bench
