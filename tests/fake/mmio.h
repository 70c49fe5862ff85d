// Fake Windows multimedia file I/O (winmm): mmioOpenA, mmioDescend, mmioRead,
// mmioSeek and mmioClose are recorded and passed on to winmm, so real files
// are read, unless a test has scripted them.
//
// Log entries: "mmioOpenA(name, 0x10000)", "mmioDescend(fmt , RIFF, 0x10)"
// (the id looked for, or "*" without MMIO_FINDCHUNK; the parent's id or
// "NULL"; the flags), "mmioRead(18)" (bytes asked for), "mmioSeek(12, 0)"
// (offset, origin), "mmioClose(0)".
//
// Scripts (fake::Fail, FailAlways) by name: "mmioOpenA" gives NULL; "mmioRead"
// and "mmioSeek" return the scripted value (a LONG: -1 for an error) without
// reading or moving; "mmioDescend" returns the scripted MMRESULT without
// moving; "mmioClose" closes the file and returns the scripted MMRESULT.
#pragma once

#include <windows.h>

#include <mmsystem.h>

namespace fake {

// Files opened through mmioOpenA and not yet closed.
int OpenMmioFiles();

} // namespace fake
