#include "fake/mmio.h"

#include "fake/fake.h"

#include <atomic>
#include <string>

namespace fake {
namespace {

std::atomic<int> openFiles;

std::string FourCC(FOURCC id) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((id >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

HMMIO WINAPI FakemmioOpenA(LPSTR name, LPMMIOINFO info, DWORD flags) {
    Record("mmioOpenA(%s, 0x%lx)", name ? name : "NULL", flags);
    HRESULT ignored;
    if (Scripted("mmioOpenA", &ignored)) {
        return nullptr;
    }
    using Fn = decltype(&mmioOpenA);
    static const auto real = RealFunction<Fn>("winmm.dll", "mmioOpenA");
    HMMIO file = real(name, info, flags);
    if (file) {
        ++openFiles;
    }
    return file;
}

MMRESULT WINAPI FakemmioDescend(HMMIO file, LPMMCKINFO chunk, const MMCKINFO *parent, UINT flags) {
    Record("mmioDescend(%s, %s, 0x%x)",
           (flags & MMIO_FINDCHUNK) ? FourCC(chunk->ckid).c_str() : "*",
           parent ? FourCC(parent->ckid).c_str() : "NULL", flags);
    HRESULT result;
    if (Scripted("mmioDescend", &result)) {
        return static_cast<MMRESULT>(result);
    }
    using Fn = decltype(&mmioDescend);
    static const auto real = RealFunction<Fn>("winmm.dll", "mmioDescend");
    return real(file, chunk, parent, flags);
}

LONG WINAPI FakemmioRead(HMMIO file, HPSTR data, LONG bytes) {
    Record("mmioRead(%ld)", bytes);
    HRESULT result;
    if (Scripted("mmioRead", &result)) {
        return result;
    }
    using Fn = decltype(&mmioRead);
    static const auto real = RealFunction<Fn>("winmm.dll", "mmioRead");
    return real(file, data, bytes);
}

LONG WINAPI FakemmioSeek(HMMIO file, LONG offset, int origin) {
    Record("mmioSeek(%ld, %d)", offset, origin);
    HRESULT result;
    if (Scripted("mmioSeek", &result)) {
        return result;
    }
    using Fn = decltype(&mmioSeek);
    static const auto real = RealFunction<Fn>("winmm.dll", "mmioSeek");
    return real(file, offset, origin);
}

MMRESULT WINAPI FakemmioClose(HMMIO file, UINT flags) {
    Record("mmioClose(%u)", flags);
    using Fn = decltype(&mmioClose);
    static const auto real = RealFunction<Fn>("winmm.dll", "mmioClose");
    MMRESULT closed = real(file, flags);
    if (closed == MMSYSERR_NOERROR) {
        --openFiles;
    }
    HRESULT result;
    if (Scripted("mmioClose", &result)) {
        return static_cast<MMRESULT>(result);
    }
    return closed;
}

} // namespace

int OpenMmioFiles() { return openFiles; }

} // namespace fake

FAKE_IMPORT(mmioOpenA, 12)
FAKE_IMPORT(mmioDescend, 16)
FAKE_IMPORT(mmioRead, 12)
FAKE_IMPORT(mmioSeek, 12)
FAKE_IMPORT(mmioClose, 8)
