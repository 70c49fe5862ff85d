#include "fake/dsound.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

std::mutex registryLock; // guards buffers and the settings below
std::vector<SoundBuffer *> buffers;
int buffersCreated = 0;
DWORD capsFlags = 0xF5F;
DWORD capsMaxRate = 200000;
DWORD memoryLimit = 64u << 20;

constexpr const char *kBuffer = "IDirectSoundBuffer8::";

std::string BufferCall(const char *method) { return std::string(kBuffer) + method; }

// Wine's checks of a new buffer's description (dlls/dsound), so that a test
// sees the refusals a real program meets.
HRESULT CheckDescription(const DSBUFFERDESC *desc) {
    if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != sizeof(DSBUFFERDESC1))) {
        return DSERR_INVALIDPARAM;
    }
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
        return DSERR_INVALIDPARAM;
    }
    const WAVEFORMATEX *format = desc->lpwfxFormat;
    if (!format) {
        return DSERR_INVALIDPARAM;
    }
    if (format->wFormatTag != WAVE_FORMAT_PCM && format->wFormatTag != WAVE_FORMAT_IEEE_FLOAT) {
        return DSERR_BADFORMAT;
    }
    if (format->nChannels == 0 || format->nSamplesPerSec == 0 || format->wBitsPerSample == 0 ||
        format->wBitsPerSample % 8 != 0 ||
        format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8) {
        return DSERR_INVALIDPARAM;
    }
    return DS_OK;
}

class SoundDevice final : public Object<IDirectSound8> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirectSound8::Release");
        return Object::Release();
    }
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer,
                                                IUnknown *outer) override {
        Record("IDirectSound8::CreateSoundBuffer(0x%lx, %lu)", desc ? desc->dwFlags : 0,
               desc ? desc->dwBufferBytes : 0);
        *buffer = nullptr;
        HRESULT hr = DS_OK;
        if (Scripted("IDirectSound8::CreateSoundBuffer", &hr)) {
            return hr;
        }
        if (outer) {
            return DSERR_NOAGGREGATION;
        }
        hr = CheckDescription(desc);
        if (hr != DS_OK) {
            return hr;
        }
        std::lock_guard<std::mutex> hold(registryLock);
        if (desc->dwBufferBytes > memoryLimit) {
            return DSERR_OUTOFMEMORY;
        }
        auto *created = new SoundBuffer(*desc, ++buffersCreated);
        buffers.push_back(created);
        // NOTE: the object is both interfaces; their method tables share
        // IDirectSoundBuffer's layout up to the last method it has.
        *buffer =
            reinterpret_cast<LPDIRECTSOUNDBUFFER>(static_cast<IDirectSoundBuffer8 *>(created));
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override {
        Record("IDirectSound8::GetCaps(%lu)", caps ? caps->dwSize : 0);
        HRESULT hr = DS_OK;
        if (Scripted("IDirectSound8::GetCaps", &hr)) {
            return hr;
        }
        if (!caps || caps->dwSize != sizeof(DSCAPS)) {
            return DSERR_INVALIDPARAM;
        }
        std::lock_guard<std::mutex> hold(registryLock);
        std::memset(caps, 0, sizeof *caps);
        caps->dwSize = sizeof *caps;
        caps->dwFlags = capsFlags;
        caps->dwMinSecondarySampleRate = 100;
        caps->dwMaxSecondarySampleRate = capsMaxRate;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER,
                                                   LPLPDIRECTSOUNDBUFFER) override {
        Record("IDirectSound8::DuplicateSoundBuffer");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
        Record("IDirectSound8::SetCooperativeLevel(%s, %lu)",
               Hex(reinterpret_cast<ULONG_PTR>(window)).c_str(), level);
        HRESULT hr = DS_OK;
        Scripted("IDirectSound8::SetCooperativeLevel", &hr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Compact() override {
        Record("IDirectSound8::Compact");
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override {
        Record("IDirectSound8::GetSpeakerConfig");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override {
        Record("IDirectSound8::SetSpeakerConfig");
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override {
        Record("IDirectSound8::Initialize");
        return DSERR_ALREADYINITIALIZED;
    }
    HRESULT STDMETHODCALLTYPE VerifyCertification(LPDWORD) override {
        Record("IDirectSound8::VerifyCertification");
        return E_NOTIMPL;
    }
};

HRESULT WINAPI FakeCoInitialize(LPVOID reserved) {
    Record("CoInitialize(%s)", reserved ? "?" : "NULL");
    HRESULT hr = S_OK;
    if (Scripted("CoInitialize", &hr)) {
        return hr;
    }
    using Fn = HRESULT(WINAPI *)(LPVOID);
    static const auto real = RealFunction<Fn>("ole32.dll", "CoInitialize");
    return real(reserved);
}

void WINAPI FakeCoUninitialize() {
    Record("CoUninitialize");
    using Fn = void(WINAPI *)();
    static const auto real = RealFunction<Fn>("ole32.dll", "CoUninitialize");
    real();
}

} // namespace

void SetSoundCaps(DWORD flags, DWORD maxSecondarySampleRate) {
    std::lock_guard<std::mutex> hold(registryLock);
    capsFlags = flags;
    capsMaxRate = maxSecondarySampleRate;
}

void SetSoundMemoryLimit(DWORD bytes) {
    std::lock_guard<std::mutex> hold(registryLock);
    memoryLimit = bytes;
}

std::vector<SoundBuffer *> SoundBuffers() {
    std::lock_guard<std::mutex> hold(registryLock);
    return buffers;
}

SoundBuffer *FindSoundBuffer(const std::string &label) {
    std::lock_guard<std::mutex> hold(registryLock);
    for (SoundBuffer *buffer : buffers) {
        if (buffer->label == label) {
            return buffer;
        }
    }
    return nullptr;
}

int SoundBuffersCreated() {
    std::lock_guard<std::mutex> hold(registryLock);
    return buffersCreated;
}

// ---- SoundBuffer ------------------------------------------------------------

SoundBuffer::SoundBuffer(const DSBUFFERDESC &description, int number)
    : label("buffer" + std::to_string(number)), desc(description), format(),
      memory(description.dwBufferBytes, 0xCD), cursor(0), playing(false), playFlags(0) {
    std::memcpy(&format, description.lpwfxFormat, sizeof format);
    desc.lpwfxFormat = &format;
}

void SoundBuffer::ScriptLock(LockRegions regions) {
    std::lock_guard<std::mutex> hold(lock_);
    lockScripts_.push_back(regions);
}

void SoundBuffer::ScriptCursors(std::initializer_list<DWORD> cursors) {
    std::lock_guard<std::mutex> hold(lock_);
    cursorScripts_.insert(cursorScripts_.end(), cursors.begin(), cursors.end());
}

HRESULT SoundBuffer::QueryInterface(REFIID riid, void **object) {
    Record("%sQueryInterface(%s, %s)", kBuffer, label.c_str(),
           IsEqualGUID(riid, IID_IDirectSoundBuffer8) ? "IID_IDirectSoundBuffer8" : "other");
    *object = nullptr;
    HRESULT hr = S_OK;
    if (Scripted(BufferCall("QueryInterface").c_str(), &hr)) {
        return hr;
    }
    if (!IsEqualGUID(riid, IID_IDirectSoundBuffer8) && !IsEqualGUID(riid, IID_IDirectSoundBuffer) &&
        !IsEqualGUID(riid, IID_IUnknown)) {
        return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<IDirectSoundBuffer8 *>(this);
    return S_OK;
}

ULONG SoundBuffer::Release() {
    Record("%sRelease(%s)", kBuffer, label.c_str());
    if (Refs() == 1) {
        std::lock_guard<std::mutex> hold(registryLock);
        buffers.erase(std::remove(buffers.begin(), buffers.end(), this), buffers.end());
    }
    return Object::Release();
}

HRESULT SoundBuffer::GetCaps(LPDSBCAPS caps) {
    Record("%sGetCaps(%s)", kBuffer, label.c_str());
    if (!caps || caps->dwSize != sizeof(DSBCAPS)) {
        return DSERR_INVALIDPARAM;
    }
    caps->dwFlags = desc.dwFlags;
    caps->dwBufferBytes = desc.dwBufferBytes;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT SoundBuffer::GetCurrentPosition(LPDWORD play, LPDWORD write) {
    Record("%sGetCurrentPosition(%s)", kBuffer, label.c_str());
    HRESULT hr = DS_OK;
    if (Scripted(BufferCall("GetCurrentPosition").c_str(), &hr)) {
        return hr;
    }
    DWORD position = cursor;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!cursorScripts_.empty()) {
            position = cursorScripts_.front();
            cursorScripts_.pop_front();
        }
    }
    if (play) {
        *play = position;
    }
    if (write) {
        *write = position;
    }
    return DS_OK;
}

HRESULT SoundBuffer::GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) {
    Record("%sGetFormat(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::GetVolume(LPLONG) {
    Record("%sGetVolume(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::GetPan(LPLONG) {
    Record("%sGetPan(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::GetFrequency(LPDWORD) {
    Record("%sGetFrequency(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::GetStatus(LPDWORD status) {
    Record("%sGetStatus(%s)", kBuffer, label.c_str());
    if (!status) {
        return DSERR_INVALIDPARAM;
    }
    *status =
        playing ? DSBSTATUS_PLAYING | ((playFlags & DSBPLAY_LOOPING) ? DSBSTATUS_LOOPING : 0) : 0;
    return DS_OK;
}

HRESULT SoundBuffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) {
    Record("%sInitialize(%s)", kBuffer, label.c_str());
    return DSERR_ALREADYINITIALIZED;
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID *region1, LPDWORD length1,
                          LPVOID *region2, LPDWORD length2, DWORD flags) {
    Record("%sLock(%s, %lu, %lu, 0x%lx)", kBuffer, label.c_str(), offset, bytes, flags);
    HRESULT hr = DS_OK;
    if (Scripted(BufferCall("Lock").c_str(), &hr)) {
        return hr;
    }
    const DWORD size = static_cast<DWORD>(memory.size());
    std::lock_guard<std::mutex> hold(lock_);
    LockRegions regions{};
    if (!lockScripts_.empty()) {
        regions = lockScripts_.front();
        lockScripts_.pop_front();
    } else {
        if (offset >= size || bytes > size || flags != 0) {
            return DSERR_INVALIDPARAM;
        }
        regions.offset1 = offset;
        regions.length1 = std::min(bytes, size - offset);
        regions.offset2 = 0;
        regions.length2 = bytes - regions.length1;
    }
    locked1_ = memory.data() + regions.offset1;
    locked2_ = regions.length2 ? memory.data() + regions.offset2 : nullptr;
    isLocked_ = true;
    *region1 = locked1_;
    *length1 = regions.length1;
    if (region2) {
        *region2 = locked2_;
    }
    if (length2) {
        *length2 = regions.length2;
    }
    return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD reserved1, DWORD priority, DWORD flags) {
    Record("%sPlay(%s, %lu, %lu, 0x%lx)", kBuffer, label.c_str(), reserved1, priority, flags);
    HRESULT hr = DS_OK;
    if (Scripted(BufferCall("Play").c_str(), &hr)) {
        return hr;
    }
    playing = true;
    playFlags = flags;
    return DS_OK;
}

HRESULT SoundBuffer::SetCurrentPosition(DWORD position) {
    Record("%sSetCurrentPosition(%s, %lu)", kBuffer, label.c_str(), position);
    HRESULT hr = DS_OK;
    if (Scripted(BufferCall("SetCurrentPosition").c_str(), &hr)) {
        return hr;
    }
    if (position >= memory.size()) {
        return DSERR_INVALIDPARAM;
    }
    cursor = position;
    return DS_OK;
}

HRESULT SoundBuffer::SetFormat(LPCWAVEFORMATEX) {
    Record("%sSetFormat(%s)", kBuffer, label.c_str());
    return DSERR_INVALIDCALL;
}

HRESULT SoundBuffer::SetVolume(LONG) {
    Record("%sSetVolume(%s)", kBuffer, label.c_str());
    return DS_OK;
}

HRESULT SoundBuffer::SetPan(LONG) {
    Record("%sSetPan(%s)", kBuffer, label.c_str());
    return DS_OK;
}

HRESULT SoundBuffer::SetFrequency(DWORD) {
    Record("%sSetFrequency(%s)", kBuffer, label.c_str());
    return DS_OK;
}

HRESULT SoundBuffer::Stop() {
    Record("%sStop(%s)", kBuffer, label.c_str());
    HRESULT hr = DS_OK;
    if (Scripted(BufferCall("Stop").c_str(), &hr)) {
        return hr;
    }
    playing = false;
    return DS_OK;
}

HRESULT SoundBuffer::Unlock(LPVOID region1, DWORD length1, LPVOID region2, DWORD length2) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!isLocked_ || region1 != locked1_ || (region2 && region2 != locked2_)) {
        Record("%sUnlock(%s, BAD regions)", kBuffer, label.c_str());
        return DSERR_INVALIDPARAM;
    }
    Record("%sUnlock(%s, %lu, %lu)", kBuffer, label.c_str(), length1, length2);
    isLocked_ = false;
    HRESULT hr = DS_OK;
    Scripted(BufferCall("Unlock").c_str(), &hr);
    return hr;
}

HRESULT SoundBuffer::Restore() {
    Record("%sRestore(%s)", kBuffer, label.c_str());
    return DS_OK;
}

HRESULT SoundBuffer::SetFX(DWORD, LPDSEFFECTDESC, LPDWORD) {
    Record("%sSetFX(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::AcquireResources(DWORD, DWORD, LPDWORD) {
    Record("%sAcquireResources(%s)", kBuffer, label.c_str());
    return E_NOTIMPL;
}

HRESULT SoundBuffer::GetObjectInPath(REFGUID, DWORD, REFGUID, LPVOID *object) {
    Record("%sGetObjectInPath(%s)", kBuffer, label.c_str());
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

} // namespace fake

HRESULT WINAPI DirectSoundCreate8(LPCGUID device, LPDIRECTSOUND8 *sound, LPUNKNOWN outer) {
    fake::Record("DirectSoundCreate8(%s, %s)", device ? "guid" : "NULL", outer ? "outer" : "NULL");
    *sound = nullptr;
    HRESULT hr = DS_OK;
    if (fake::Scripted("DirectSoundCreate8", &hr)) {
        return hr;
    }
    if (outer) {
        return DSERR_NOAGGREGATION;
    }
    *sound = new fake::SoundDevice();
    return DS_OK;
}

FAKE_IMPORT(CoInitialize, 4)
FAKE_IMPORT(CoUninitialize, 0)
