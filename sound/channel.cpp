#include "sound/channel.h"

#include "sound/sound.h"

namespace {

// SoundLock exists only between InitSound and ReleaseSound; without it
// there is no worker either.
bool EnterSoundLock() {
    if (!sound.bSoundLockReady) {
        return false;
    }
    EnterCriticalSection(&sound.SoundLock);
    return true;
}

} // namespace

SoundChannel::SoundChannel()
    : lpBuffer(nullptr), Format(), hmmio(nullptr), RiffChunk(), DataChunk(), BufferBytes(0),
      HalfBytes(0), WriteOffset(0), RefillPhase(0), Reading(0), Loop(0), LoopStart(0),
      ReadPosition(0) {}

SoundChannel::~SoundChannel() { Close(); }

void SoundChannel::Update() {
    if (HalfBytes == 0 || !lpBuffer) {
        return;
    }
}

HRESULT SoundChannel::Close() {
    // A stream never changes under a refill. Without the lock there is no
    // worker, so closing unlocked is safe.
    const bool locked = HalfBytes != 0 && EnterSoundLock();
    if (lpBuffer) {
        lpBuffer->Stop();
    }
    if (hmmio) {
        mmioClose(hmmio, 0);
    }
    if (lpBuffer) {
        lpBuffer->Release();
    }
    lpBuffer = nullptr;
    Format = WAVEFORMATEX();
    hmmio = nullptr;
    RiffChunk = MMCKINFO();
    DataChunk = MMCKINFO();
    BufferBytes = 0;
    HalfBytes = 0;
    WriteOffset = 0;
    RefillPhase = 0;
    Reading = 0;
    Loop = 0;
    LoopStart = 0;
    ReadPosition = 0;
    if (locked) {
        LeaveCriticalSection(&sound.SoundLock);
    }
    return 1;
}
