#include "sound/sound.h"

#include <process.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "app/window.h"

constexpr DWORD kSilentBufferFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                     DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                                     DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kSilentBufferFlags == 0x181E8, "silent buffer flags");
// NOTE: a buffer description is 36 bytes in 32-bit programs, 40 in 64-bit
// ones, where the format pointer is 8 bytes and the GUID after it 8-aligned.
static_assert(offsetof(DSBUFFERDESC, dwBufferBytes) == 8 &&
                  offsetof(DSBUFFERDESC, dwReserved) == 12 &&
                  offsetof(DSBUFFERDESC, lpwfxFormat) == 16 &&
                  offsetof(DSBUFFERDESC, guid3DAlgorithm) == (sizeof(void *) == 4 ? 20 : 24) &&
                  sizeof(DSBUFFERDESC) == (sizeof(void *) == 4 ? 36 : 40),
              "DSBUFFERDESC");
static_assert(sizeof(DSCAPS) == 96, "DSCAPS");
constexpr DWORD kSilentBufferSeconds = 3;
constexpr DWORD kWorkerPeriodMs = 500;
// While a fade runs, the worker steps it this often.
constexpr DWORD kFadeStepMs = 20;

SoundRecord sound;

SoundChannel SoundChannels[SOUND_CHANNEL_MAX];

namespace {

// Starts the worker and returns once its message queue exists.
//
// NOTE: a thread gets a message queue only when it first calls a message
// function, and PostThreadMessageA to a thread without one fails: the
// message is lost. The worker looks at its queue only after its first pass,
// so a WM_QUIT posted by a ReleaseSound right after InitSound could vanish
// and the wait for the worker would never end. So the worker creates its
// queue first thing and signals hSoundThreadReady, and InitSound does not
// return before that: from then on every stop request reaches it.
HRESULT StartSoundThread() {
    sound.hSoundThreadReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!sound.hSoundThreadReady) {
        return E_FAIL;
    }
    unsigned id = 0;
    sound.hSoundThread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SoundThreadProc, nullptr, 0, &id));
    sound.SoundThreadId = id;
    if (sound.hSoundThread) {
        WaitForSingleObject(sound.hSoundThreadReady, INFINITE);
    }
    CloseHandle(sound.hSoundThreadReady);
    sound.hSoundThreadReady = nullptr;
    return sound.hSoundThread ? S_OK : E_FAIL;
}

} // namespace

HRESULT InitSound() {
    if (sound.lpDS) {
        return E_FAIL;
    }
    // Its failure is no reason to stop (DirectSound works in an apartment of
    // the program's own), but only a success is balanced by ReleaseSound:
    // the program's own apartment must outlive any number of shutdowns.
    sound.bComInitialized = SUCCEEDED(CoInitialize(nullptr));
    HRESULT hr = DirectSoundCreate8(nullptr, &sound.lpDS, nullptr);
    if (hr != 0) {
        return hr;
    }
    hr = sound.lpDS->SetCooperativeLevel(GetWindowHandle(), DSSCL_NORMAL);
    if (hr != 0) {
        ReleaseSound();
        return hr;
    }
    ZeroMemory(&sound.SoundCaps, sizeof sound.SoundCaps);
    sound.SoundCaps.dwSize = sizeof sound.SoundCaps;
    hr = sound.lpDS->GetCaps(&sound.SoundCaps);
    if (hr == 0) {
        hr = CreateSilentBuffer(GetSoundBits(), GetSoundChannels(), GetSoundSampleRate());
    }
    // The lock and the worker come whatever the buffer did; a failed start
    // leaves them to the caller's ReleaseSound.
    InitializeCriticalSection(&sound.SoundLock);
    sound.bSoundLockReady = TRUE;
    const HRESULT started = StartSoundThread();
    // A sound system without its worker would never refill a stream.
    return hr != 0 ? hr : started;
}

HRESULT CreateSilentBuffer(DWORD bits, DWORD channels, DWORD rate) {
    if (sound.lpSilentBuffer || !sound.lpDS) {
        return E_FAIL;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.nBlockAlign = static_cast<WORD>(bits * channels / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;

    // NOTE: dwSize is the structure's own size, 36 or 40 bytes (see above);
    // DirectSound refuses any other value.
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kSilentBufferFlags;
    desc.dwBufferBytes = kSilentBufferSeconds * format.nAvgBytesPerSec;
    desc.dwReserved = 0;
    desc.lpwfxFormat = &format;
    desc.guid3DAlgorithm = GUID_NULL;

    LPDIRECTSOUNDBUFFER buffer = nullptr;
    HRESULT hr = sound.lpDS->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (hr != 0) {
        if (buffer) {
            buffer->Release();
        }
        return hr;
    }
    hr = buffer->QueryInterface(IID_IDirectSoundBuffer8,
                                reinterpret_cast<void **>(&sound.lpSilentBuffer));
    buffer->Release();
    if (hr != 0) {
        sound.lpSilentBuffer = nullptr;
        return hr;
    }

    void *silence = std::calloc(desc.dwBufferBytes, 1);
    if (!silence) {
        return E_OUTOFMEMORY;
    }
    WriteSoundBuffer(sound.lpSilentBuffer, silence, TRUE, 0, desc.dwBufferBytes, nullptr);
    std::free(silence);
    return sound.lpSilentBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

HRESULT WriteSoundBuffer(LPDIRECTSOUNDBUFFER8 buffer, const void *source, BOOL copy, DWORD offset,
                         DWORD bytes, DWORD *count) {
    if (!buffer || !source) {
        if (count) {
            *count = 0;
        }
        return S_FALSE;
    }
    void *region1 = nullptr;
    void *region2 = nullptr;
    DWORD length1 = 0;
    DWORD length2 = 0;
    const HRESULT hr = buffer->Lock(offset, bytes, &region1, &length1, &region2, &length2, 0);
    if (hr != 0) {
        if (count) {
            *count = 0;
        }
        return hr;
    }
    if (!region2) {
        length2 = 0;
    }
    if (copy) {
        // DirectSound never locks more than was asked for; the clamps keep
        // the source from being overrun should it ever do so.
        const auto *bytesIn = static_cast<const BYTE *>(source);
        const DWORD first = length1 < bytes ? length1 : bytes;
        const DWORD second = length2 < bytes - first ? length2 : bytes - first;
        std::memcpy(region1, bytesIn, first);
        std::memset(static_cast<BYTE *>(region1) + first, 0, length1 - first);
        if (region2) {
            std::memcpy(region2, bytesIn + first, second);
            std::memset(static_cast<BYTE *>(region2) + second, 0, length2 - second);
        }
    } else {
        std::memset(region1, 0, length1);
        if (region2) {
            std::memset(region2, 0, length2);
        }
    }
    const HRESULT unlocked = buffer->Unlock(region1, length1, region2, length2);
    if (count) {
        *count = length1 + length2;
    }
    return unlocked;
}

unsigned __stdcall SoundThreadProc(void *) {
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // creates the queue
    SetEvent(sound.hSoundThreadReady);
    for (;;) {
        bool fading = false;
        EnterCriticalSection(&sound.SoundLock);
        const bool master = sound.MasterChanged != 0;
        sound.MasterChanged = 0;
        for (SoundChannel &channel : SoundChannels) {
            channel.Update();
            channel.UpdateVolume(master);
            fading = fading || channel.Fading != 0;
        }
        LeaveCriticalSection(&sound.SoundLock);
        // The pause between passes ends early for a posted message: WM_QUIT
        // stops the worker at once, WM_APP (a fade or master volume to
        // apply) starts the next pass; any other message is dropped and the
        // pause goes on for the rest of its time.
        const DWORD period = fading ? kFadeStepMs : kWorkerPeriodMs;
        const DWORD passEnd = GetTickCount();
        bool wake = false;
        for (DWORD waited = 0; waited < period && !wake; waited = GetTickCount() - passEnd) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    return 0;
                }
                wake = wake || message.message == WM_APP;
            }
            if (!wake) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, period - waited, QS_ALLPOSTMESSAGE);
            }
        }
    }
}

HRESULT ReleaseSound() {
    // The worker goes first, so no refill runs on a channel being closed.
    if (sound.hSoundThread) {
        PostThreadMessageA(sound.SoundThreadId, WM_QUIT, 0, 0);
        WaitForSingleObject(sound.hSoundThread, INFINITE);
        CloseHandle(sound.hSoundThread);
        sound.hSoundThread = nullptr;
        sound.SoundThreadId = 0;
    }
    // Closing a stream takes SoundLock, so the lock outlives the channels.
    for (SoundChannel &channel : SoundChannels) {
        channel.Close();
    }
    if (sound.bSoundLockReady) {
        DeleteCriticalSection(&sound.SoundLock);
        sound.bSoundLockReady = FALSE;
    }
    if (sound.lpSilentBuffer) {
        sound.lpSilentBuffer->Release();
        sound.lpSilentBuffer = nullptr;
    }
    if (sound.lpDS) {
        sound.lpDS->Release();
        sound.lpDS = nullptr;
    }
    ZeroMemory(&sound.SoundCaps, sizeof sound.SoundCaps);
    sound.MasterVolume = 0;
    sound.MasterChanged = 0;
    if (sound.bComInitialized) {
        CoUninitialize();
        sound.bComInitialized = FALSE;
    }
    return 0;
}

HRESULT SetSoundMasterVolume(LONG volume) {
    if (volume < DSBVOLUME_MIN || volume > 0) {
        return E_INVALIDARG;
    }
    if (!sound.hSoundThread) {
        return E_FAIL;
    }
    EnterCriticalSection(&sound.SoundLock);
    sound.MasterVolume = volume;
    sound.MasterChanged = 1;
    LeaveCriticalSection(&sound.SoundLock);
    PostThreadMessageA(sound.SoundThreadId, WM_APP, 0, 0);
    return S_OK;
}

DWORD GetSoundSampleRate() { return sound.SoundCaps.dwMaxSecondarySampleRate; }

DWORD GetSoundChannels() { return (sound.SoundCaps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1; }

DWORD GetSoundBits() { return (sound.SoundCaps.dwFlags & DSCAPS_SECONDARY16BIT) ? 16 : 8; }
