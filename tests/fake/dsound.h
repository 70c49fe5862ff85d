// Fake DirectSound 8 and COM initialisation: DirectSoundCreate8, the device
// (IDirectSound8) and sound buffers (one object answering as
// IDirectSoundBuffer and IDirectSoundBuffer8), CoInitialize and
// CoUninitialize (recorded, then passed on to ole32). Pure fakes that need
// no sound card.
//
// Log entries (buffers by label, "buffer1", "buffer2", ... in creation order;
// flags in hex):
//   "CoInitialize(NULL)", "CoUninitialize",
//   "DirectSoundCreate8(NULL, NULL)" (device GUID, outer object),
//   "IDirectSound8::SetCooperativeLevel(0x..., 1)", "IDirectSound8::GetCaps(96)",
//   "IDirectSound8::CreateSoundBuffer(0x181e8, 576000)" (flags, bytes; the rest
//       of the description is kept in the buffer), "IDirectSound8::Release",
//   "IDirectSoundBuffer8::QueryInterface(buffer1, IID_IDirectSoundBuffer8)",
//   "IDirectSoundBuffer8::Lock(buffer1, 0, 576000, 0x0)",
//   "IDirectSoundBuffer8::Unlock(buffer1, 576000, 0)" (the two byte counts; an
//       Unlock whose regions are not those of the open Lock is recorded as
//       "IDirectSoundBuffer8::Unlock(buffer1, BAD regions)"),
//   "IDirectSoundBuffer8::Play(buffer1, 0, 0, 0x1)", "IDirectSoundBuffer8::Stop(buffer1)",
//   "IDirectSoundBuffer8::SetCurrentPosition(buffer1, 0)",
//   "IDirectSoundBuffer8::GetCurrentPosition(buffer1)", "IDirectSoundBuffer8::Release(buffer1)".
// AddRef is not recorded. "IDirectSound8::DuplicateSoundBuffer" is recorded
// and always refused (E_NOTIMPL), as by a device that cannot duplicate.
//
// Scripts (fake::Fail, FailAlways) by the log's names without arguments:
// "DirectSoundCreate8", "IDirectSound8::SetCooperativeLevel",
// "IDirectSound8::GetCaps", "IDirectSound8::CreateSoundBuffer",
// "IDirectSoundBuffer8::QueryInterface", "::Lock", "::Unlock", "::Play",
// "::Stop", "::SetCurrentPosition", "::GetCurrentPosition"; a creating call
// then creates nothing. "CoInitialize" scripted returns its result without
// reaching ole32.
//
// Like Wine's DirectSound, CreateSoundBuffer refuses (DSERR_INVALIDPARAM) a
// description size other than that of DSBUFFERDESC or DSBUFFERDESC1, fewer
// than DSBSIZE_MIN or more than DSBSIZE_MAX bytes, and a format with no
// channels, no rate, a sample width that is not a whole number of bytes or a
// block alignment other than channels x bytes per sample; tags other than
// WAVE_FORMAT_PCM and WAVE_FORMAT_IEEE_FLOAT give DSERR_BADFORMAT. Lock
// refuses an offset or a byte count beyond the buffer.
#pragma once

#include <windows.h>

#include <dsound.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "fake/fake.h"

namespace fake {

// What IDirectSound8::GetCaps reports (the rest of DSCAPS is zero). The
// default is what Wine's DirectSound reports over ALSA: 0xF5F and 200000 Hz.
void SetSoundCaps(DWORD flags, DWORD maxSecondarySampleRate);

// CreateSoundBuffer answers DSERR_OUTOFMEMORY above this many bytes
// (default 64 MB), so a test need not allocate what a real device might.
void SetSoundMemoryLimit(DWORD bytes);

// Two locked regions at these offsets of the buffer's memory; a second
// length of 0 means no second region.
struct LockRegions {
    DWORD offset1, length1, offset2, length2;
};

class SoundBuffer final : public Object<IDirectSoundBuffer8> {
  public:
    SoundBuffer(const DSBUFFERDESC &description, int number);

    std::string label;         // "buffer1", ...
    DSBUFFERDESC desc;         // as given; lpwfxFormat points to `format`
    WAVEFORMATEX format;       // the first 18 bytes of the given format
    std::vector<BYTE> memory;  // starts as 0xCD bytes, never written by the fake
    std::atomic<DWORD> cursor; // what GetCurrentPosition reports as the play cursor
    std::atomic<bool> playing; // between Play and Stop
    std::atomic<DWORD> playFlags;

    // The next Lock gives these regions, whatever range was asked for.
    void ScriptLock(LockRegions regions);
    // The play cursors the next GetCurrentPosition calls report, in order,
    // before `cursor` again.
    void ScriptCursors(std::initializer_list<DWORD> cursors);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override;
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override;
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID *region1, LPDWORD length1,
                                   LPVOID *region2, LPDWORD length2, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Play(DWORD reserved1, DWORD priority, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override;
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override;
    HRESULT STDMETHODCALLTYPE SetVolume(LONG) override;
    HRESULT STDMETHODCALLTYPE SetPan(LONG) override;
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID region1, DWORD length1, LPVOID region2,
                                     DWORD length2) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetFX(DWORD, LPDSEFFECTDESC, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE AcquireResources(DWORD, DWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetObjectInPath(REFGUID, DWORD, REFGUID, LPVOID *) override;

  private:
    std::mutex lock_; // the buffer is used from the sound worker too
    std::deque<LockRegions> lockScripts_;
    std::deque<DWORD> cursorScripts_;
    void *locked1_ = nullptr;
    void *locked2_ = nullptr;
    bool isLocked_ = false;
};

// The buffers alive now, in creation order.
std::vector<SoundBuffer *> SoundBuffers();
// The living buffer with this label, or null.
SoundBuffer *FindSoundBuffer(const std::string &label);
// Buffers created since the process started (labels count from 1).
int SoundBuffersCreated();

} // namespace fake
