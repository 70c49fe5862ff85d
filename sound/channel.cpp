#include "sound/channel.h"

#include <cstddef>
#include <cstring>

#include "sound/sound.h"
#include "sound/vorbis.h"

// The silent buffer's flags without DSBCAPS_CTRLPOSITIONNOTIFY.
constexpr DWORD kChannelBufferFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY |
                                      DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                                      DSBCAPS_GETCURRENTPOSITION2;
static_assert(kChannelBufferFlags == 0x180E8, "channel buffer flags");
// Laps of a looping stream's file within one refill region, at most.
constexpr int kMaxLaps = 4096;
// A stream buffer holds four seconds of sound; each refill writes half.
constexpr DWORD kStreamSeconds = 4;
// The first 18 bytes of the format chunk, whatever its size.
constexpr LONG kFormatBytes = 18;
static_assert(sizeof(WAVEFORMATEX) == kFormatBytes && offsetof(WAVEFORMATEX, nChannels) == 2 &&
                  offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 &&
                  offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8 &&
                  offsetof(WAVEFORMATEX, nBlockAlign) == 12 &&
                  offsetof(WAVEFORMATEX, wBitsPerSample) == 14 &&
                  offsetof(WAVEFORMATEX, cbSize) == 16,
              "WAVEFORMATEX as stored in wave files");

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

// Reads up to `bytes` samples into a locked region; returns the bytes read.
// NOTE: reading ends with the "data" chunk: whatever chunks follow it
// ("LIST" and the like) are not sound. mmioRead reports an error as -1; that
// is taken as the end of the data, never as a count, and leaves the rest
// silent until a looping stream starts over.
DWORD ReadSamples(SoundChannel &channel, void *region, DWORD bytes) {
    if (channel.lpDecoder) {
        const DWORD decoded = ReadVorbis(channel.lpDecoder, region, bytes);
        channel.ReadPosition += decoded;
        return decoded;
    }
    const DWORD size = channel.DataChunk.cksize;
    const DWORD left = channel.ReadPosition < size ? size - channel.ReadPosition : 0;
    DWORD wanted = bytes < left ? bytes : left;
    if (wanted > 0x7FFFFFFFu) {
        wanted = 0x7FFFFFFFu;
    }
    if (wanted == 0) {
        return 0;
    }
    const LONG read =
        mmioRead(channel.hmmio, static_cast<HPSTR>(region), static_cast<LONG>(wanted));
    if (read < 0) {
        channel.ReadPosition = size;
        return 0;
    }
    channel.ReadPosition += static_cast<DWORD>(read);
    return static_cast<DWORD>(read);
}

// Positions the next read at LoopStart; false when the file will not.
bool RewindSamples(SoundChannel &channel) {
    if (channel.lpDecoder) {
        if (!SeekVorbis(channel.lpDecoder, channel.LoopStart / channel.Format.nBlockAlign)) {
            return false;
        }
    } else if (mmioSeek(channel.hmmio,
                        static_cast<LONG>(channel.DataChunk.dwDataOffset + channel.LoopStart),
                        SEEK_SET) == -1) {
        return false;
    }
    channel.ReadPosition = channel.LoopStart;
    return true;
}

// Reads a region: the samples up to its end, or to the end of the data; a
// looping stream goes on from LoopStart in the same region, so the first
// sample follows the last without a gap. Returns the bytes read.
DWORD ReadRegion(SoundChannel &channel, BYTE *region, DWORD bytes) {
    DWORD read = ReadSamples(channel, region, bytes);
    // A lap that reads nothing ends the region: the file has no samples. A
    // file of a few bytes would take a lap per few bytes of a two-second
    // half; past kMaxLaps the rest of the region stays silent, so that a
    // refill under SoundLock stays short.
    bool lapRead = read > 0 || channel.ReadPosition != channel.LoopStart;
    for (int laps = 0; channel.Loop && channel.HalfBytes != 0 && read < bytes && lapRead &&
                       laps < kMaxLaps && RewindSamples(channel);
         ++laps) {
        const DWORD lap = ReadSamples(channel, region + read, bytes - read);
        read += lap;
        lapRead = lap > 0;
    }
    return read;
}

// True when the chunks from the first sub-chunk on lead forward within the
// first 2 GB of the file until both "fmt " and "data" have been passed (or
// the file ends). Leaves the file at the first sub-chunk again.
// NOTE: winmm's chunk search (mmioDescend with MMIO_FINDCHUNK) steps from
// chunk to chunk by their sizes in 32-bit arithmetic and seeks with signed
// offsets. A size that wraps the position back to an earlier chunk sends it
// round in a circle for ever (Wine's does exactly that), so a file that
// would is refused before any search.
bool ChunksLeadForward(HMMIO file, const MMCKINFO &riff) {
    const DWORD first = riff.dwDataOffset + 4;
    DWORD position = first;
    bool format = false;
    bool data = false;
    bool forward = true;
    while (mmioSeek(file, static_cast<LONG>(position), SEEK_SET) != -1) {
        DWORD header[2] = {};
        if (mmioRead(file, reinterpret_cast<HPSTR>(header), sizeof header) != sizeof header) {
            break;
        }
        format = format || header[0] == mmioFOURCC('f', 'm', 't', ' ');
        data = data || header[0] == mmioFOURCC('d', 'a', 't', 'a');
        if (format && data) {
            break;
        }
        const ULONGLONG next = position + 8ull + ((header[1] + 1ull) & ~1ull);
        if (next > 0x7FFFFFFFull) {
            forward = false;
            break;
        }
        position = static_cast<DWORD>(next);
    }
    mmioSeek(file, static_cast<LONG>(first), SEEK_SET);
    return forward;
}

// A recording that was never finalised leaves the data chunk's size at 0, or
// at more than the file holds, with its samples following the header: such a
// data chunk runs to the end of the file. A size the file holds stays as it
// is. Leaves the file at the first sample byte; false when it cannot.
bool SizeDataToFile(SoundChannel &channel) {
    const LONG end = mmioSeek(channel.hmmio, 0, SEEK_END);
    const LONG first = static_cast<LONG>(channel.DataChunk.dwDataOffset);
    if (end == -1 || mmioSeek(channel.hmmio, first, SEEK_SET) != first) {
        return false;
    }
    const DWORD present = end > first ? static_cast<DWORD>(end - first) : 0;
    if (channel.DataChunk.cksize == 0 || channel.DataChunk.cksize > present) {
        channel.DataChunk.cksize = present;
    }
    return true;
}

HRESULT CreateAndFill(SoundChannel &channel, bool stream, DWORD staticBytes);
HRESULT OpenOgg(SoundChannel &channel, bool stream);

// The open itself, with SoundLock held for a stream.
HRESULT OpenFile(SoundChannel &channel, const char *fileName, bool stream) {
    channel.Close();
    if (!fileName) {
        return E_FAIL;
    }
    // NOTE: mmioOpenA takes a writable name, but writes to it only with
    // MMIO_PARSE.
    channel.hmmio = mmioOpenA(const_cast<LPSTR>(fileName), nullptr, MMIO_ALLOCBUF);
    if (!channel.hmmio) {
        return E_FAIL;
    }
    // The outer chunk's ids tell; the descend's own result is not needed.
    mmioDescend(channel.hmmio, &channel.RiffChunk, nullptr, 0);
    if (channel.RiffChunk.ckid == mmioFOURCC('O', 'g', 'g', 'S')) {
        return OpenOgg(channel, stream);
    }
    if (channel.RiffChunk.ckid != FOURCC_RIFF ||
        channel.RiffChunk.fccType != mmioFOURCC('W', 'A', 'V', 'E')) {
        channel.Close();
        return E_FAIL;
    }
    if (!ChunksLeadForward(channel.hmmio, channel.RiffChunk)) {
        channel.Close();
        return E_FAIL;
    }
    MMCKINFO formatChunk = {};
    formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(channel.hmmio, &formatChunk, &channel.RiffChunk, MMIO_FINDCHUNK) != 0) {
        channel.Close();
        return E_FAIL;
    }
    // NOTE: 18 bytes even from the common 16-byte chunk: the last two are
    // then the next chunk's id and land in cbSize, which PCM ignores.
    if (mmioRead(channel.hmmio, reinterpret_cast<HPSTR>(&channel.Format), kFormatBytes) !=
        kFormatBytes) {
        channel.Close();
        return E_FAIL;
    }
    if (channel.Format.wFormatTag != WAVE_FORMAT_PCM) {
        channel.Close();
        return E_FAIL;
    }
    // From the first sub-chunk again, so "data" may come before "fmt ".
    mmioSeek(channel.hmmio, static_cast<LONG>(channel.RiffChunk.dwDataOffset + 4), SEEK_SET);
    channel.DataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(channel.hmmio, &channel.DataChunk, &channel.RiffChunk, MMIO_FINDCHUNK) != 0) {
        channel.Close();
        return E_FAIL;
    }
    if (!SizeDataToFile(channel)) {
        channel.Close();
        return E_FAIL;
    }

    return CreateAndFill(channel, stream, channel.DataChunk.cksize);
}

// Sizes the buffer of a channel whose Format is known (static: `staticBytes`),
// makes it and fills it from the file.
HRESULT CreateAndFill(SoundChannel &channel, bool stream, DWORD staticBytes) {
    // NOTE: DirectSound documents DSBFREQUENCY_MIN to DSBFREQUENCY_MAX as the
    // rates a buffer may have. Wine 8 makes a buffer at any rate, and its
    // mixer then divides by zero at some (33 MHz, found by the fuzzer).
    if (channel.Format.nSamplesPerSec < DSBFREQUENCY_MIN ||
        channel.Format.nSamplesPerSec > DSBFREQUENCY_MAX) {
        channel.Close();
        return E_FAIL;
    }
    if (stream) {
        // NOTE: a block alignment of 0 would divide by zero below, and the
        // file's figures may overflow 32 bits; neither makes a playable
        // stream.
        const DWORD blockAlign = channel.Format.nBlockAlign;
        const ULONGLONG size =
            static_cast<ULONGLONG>(channel.Format.nSamplesPerSec) * blockAlign * kStreamSeconds;
        if (blockAlign == 0 || size == 0 || size > 0xFFFFFFFFull) {
            channel.Close();
            return E_FAIL;
        }
        const DWORD half = static_cast<DWORD>(size) / 2;
        channel.HalfBytes = half - half % blockAlign;
        channel.BufferBytes = 2 * channel.HalfBytes;
    } else {
        channel.BufferBytes = staticBytes;
        channel.HalfBytes = 0;
    }
    channel.WriteOffset = 0;
    channel.RefillPhase = 0;

    channel.lpBuffer =
        CreateChannelBuffer(&channel.Format, channel.BufferBytes, kChannelBufferFlags);
    if (!channel.lpBuffer) {
        channel.Close();
        return E_FAIL;
    }
    channel.Reading = 1;
    DWORD written = 0;
    return channel.Fill(TRUE, 0, channel.BufferBytes, &written);
}

// An Ogg file: Vorbis, decoded to 16-bit PCM. A static channel's buffer holds
// every sample of the first stream, as many as its last page says.
HRESULT OpenOgg(SoundChannel &channel, bool stream) {
    channel.RiffChunk = MMCKINFO();
    ULONGLONG frames = 0;
    channel.lpDecoder = OpenVorbis(channel.hmmio, &channel.Format, &frames);
    if (!channel.lpDecoder || (!stream && frames * channel.Format.nBlockAlign > DSBSIZE_MAX)) {
        channel.Close();
        return E_FAIL;
    }
    return CreateAndFill(channel, stream, static_cast<DWORD>(frames * channel.Format.nBlockAlign));
}

bool IsPlaying(LPDIRECTSOUNDBUFFER8 buffer) {
    DWORD status = 0;
    return buffer->GetStatus(&status) == DS_OK && (status & DSBSTATUS_PLAYING) != 0;
}

// A duplicate of `original` sharing its samples, with its volume, pan and
// frequency; null when DirectSound refuses one.
LPDIRECTSOUNDBUFFER8 DuplicateBuffer(LPDIRECTSOUNDBUFFER8 original) {
    LPDIRECTSOUNDBUFFER first = nullptr;
    if (!sound.lpDS) {
        return nullptr;
    }
    // NOTE: IDirectSoundBuffer8 begins with IDirectSoundBuffer's methods, so
    // the one pointer serves as both.
    if (sound.lpDS->DuplicateSoundBuffer(reinterpret_cast<LPDIRECTSOUNDBUFFER>(original), &first) !=
            DS_OK ||
        first == nullptr) {
        return nullptr;
    }
    LPDIRECTSOUNDBUFFER8 copy = nullptr;
    if (first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&copy)) != 0) {
        copy = nullptr;
    }
    first->Release();
    // DirectSound starts a duplicate with the original's settings; they are
    // set again in case a driver does not.
    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = 0;
    if (copy != nullptr && original->GetVolume(&volume) == DS_OK &&
        original->GetPan(&pan) == DS_OK && original->GetFrequency(&frequency) == DS_OK) {
        copy->SetVolume(volume);
        copy->SetPan(pan);
        copy->SetFrequency(frequency);
    }
    return copy;
}

// The buffer of play `i`: 0 the channel's own, then its duplicates.
LPDIRECTSOUNDBUFFER8 &Voice(SoundChannel &channel, unsigned i) {
    return i == 0 ? channel.lpBuffer : channel.lpVoices[i - 1];
}

// The play the next overlapped play uses: the channel's own buffer or a
// duplicate that is silent, else a new duplicate, else the one that has
// played longest. All of them hold the same samples, and a play's own
// pitch changes only how fast it goes, so the furthest play cursor is the
// oldest play.
unsigned NextVoice(SoundChannel &channel) {
    if (!IsPlaying(channel.lpBuffer)) {
        return 0;
    }
    unsigned oldest = 0;
    DWORD furthest = 0;
    channel.lpBuffer->GetCurrentPosition(&furthest, nullptr);
    for (unsigned i = 1; i <= SOUND_CHANNEL_VOICES; ++i) {
        LPDIRECTSOUNDBUFFER8 &voice = Voice(channel, i);
        if (voice == nullptr) {
            voice = DuplicateBuffer(channel.lpBuffer);
            if (voice == nullptr) {
                break;
            }
            // A duplicate starts as the channel's buffer is set, which may be
            // a play's own settings.
            channel.PlayVolumes[i] = channel.PlayVolumes[0];
            channel.PlayOwn[i] = channel.PlayOwn[0];
        }
        if (!IsPlaying(voice)) {
            return i;
        }
        DWORD cursor = 0;
        if (voice->GetCurrentPosition(&cursor, nullptr) == DS_OK && cursor > furthest) {
            oldest = i;
            furthest = cursor;
        }
    }
    return oldest;
}

// What play `i` of the channel plays at: the channel's volume, the play's
// own and the master volume, within DirectSound's range.
LONG EffectiveVolume(const SoundChannel &channel, unsigned i) {
    const LONG volume = channel.Volume + channel.PlayVolumes[i] + sound.MasterVolume;
    return volume < DSBVOLUME_MIN ? DSBVOLUME_MIN : volume > DSBVOLUME_MAX ? DSBVOLUME_MAX : volume;
}

// Sets every play's volume; the channel's own buffer's result.
HRESULT ApplyVolumes(SoundChannel &channel) {
    HRESULT hr = E_FAIL;
    for (unsigned i = 0; i <= SOUND_CHANNEL_VOICES; ++i) {
        if (LPDIRECTSOUNDBUFFER8 voice = Voice(channel, i)) {
            const HRESULT set = voice->SetVolume(EffectiveVolume(channel, i));
            hr = i == 0 ? set : hr;
        }
    }
    return hr;
}

// Gives play `i` the channel's settings again after a play of its own.
void ResetPlay(SoundChannel &channel, unsigned i) {
    if (channel.PlayOwn[i]) {
        LPDIRECTSOUNDBUFFER8 voice = Voice(channel, i);
        channel.PlayVolumes[i] = 0;
        channel.PlayOwn[i] = 0;
        voice->SetVolume(EffectiveVolume(channel, i));
        voice->SetPan(channel.Pan);
        voice->SetFrequency(channel.Frequency);
    }
}

// Holds SoundLock, if it exists, for as long as it lives.
class ChannelLock {
  public:
    ChannelLock() : bLocked(EnterSoundLock()) {}
    ~ChannelLock() {
        if (bLocked) {
            LeaveCriticalSection(&sound.SoundLock);
        }
    }
    ChannelLock(const ChannelLock &) = delete;
    ChannelLock &operator=(const ChannelLock &) = delete;

  private:
    bool bLocked;
};

// Calls `set` with `value` on the channel's buffer, then on its duplicates;
// the buffer's result.
template <class Value>
HRESULT SetOnEveryBuffer(unsigned index,
                         HRESULT (STDMETHODCALLTYPE IDirectSoundBuffer8::*set)(Value),
                         Value value) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer) {
        return E_FAIL;
    }
    SoundChannel &channel = SoundChannels[index];
    ChannelLock lock;
    const HRESULT hr = (channel.lpBuffer->*set)(value);
    if (hr == DS_OK) {
        for (LPDIRECTSOUNDBUFFER8 voice : channel.lpVoices) {
            if (voice != nullptr) {
                (voice->*set)(value);
            }
        }
    }
    return hr;
}

} // namespace

SoundChannel::SoundChannel()
    : lpBuffer(nullptr), Format(), hmmio(nullptr), RiffChunk(), DataChunk(), BufferBytes(0),
      HalfBytes(0), WriteOffset(0), RefillPhase(0), Reading(0), Loop(0), LoopStart(0),
      ReadPosition(0), lpDecoder(nullptr), Volume(0), Pan(0), Frequency(0), PlayVolumes(),
      PlayOwn(), FadeFrom(0), FadeTo(0), FadeStart(0), FadeMilliseconds(0), Fading(0), lpVoices() {}

SoundChannel::~SoundChannel() { Close(); }

HRESULT SoundChannel::Open(const char *fileName, SoundChannelMode mode) {
    const bool stream = mode == SOUND_CHANNEL_STREAM;
    if (stream && !EnterSoundLock()) {
        return E_FAIL;
    }
    const HRESULT result = OpenFile(*this, fileName, stream);
    if (stream) {
        LeaveCriticalSection(&sound.SoundLock);
    }
    return result;
}

HRESULT SoundChannel::Fill(BOOL read, DWORD offset, DWORD bytes, DWORD *count) {
    if (!lpBuffer) {
        return S_FALSE;
    }
    void *regions[2] = {};
    DWORD lengths[2] = {};
    const HRESULT hr =
        lpBuffer->Lock(offset, bytes, &regions[0], &lengths[0], &regions[1], &lengths[1], 0);
    if (hr != 0) {
        if (count) {
            *count = 0;
        }
        return hr;
    }
    DWORD written[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (!regions[i]) {
            continue;
        }
        FillSilence(regions[i], lengths[i]);
        written[i] =
            read ? ReadRegion(*this, static_cast<BYTE *>(regions[i]), lengths[i]) : lengths[i];
    }
    if (written[0] + written[1] > 0) {
        if (count) {
            *count = written[0] + written[1];
        }
    } else if (Loop) {
        // Nothing left: the next read starts over.
        RewindSamples(*this);
    }
    return lpBuffer->Unlock(regions[0], written[0], regions[1], written[1]);
}

void SoundChannel::FillSilence(void *region, DWORD bytes) {
    if (lpBuffer) {
        std::memset(region, Format.wBitsPerSample == 8 ? 0x80 : 0x00, bytes);
    }
}

void SoundChannel::Update() {
    if (HalfBytes == 0 || !lpBuffer) {
        return;
    }
    DWORD cursor = 0;
    if (lpBuffer->GetCurrentPosition(&cursor, nullptr) != 0) {
        cursor = 0;
    }
    const DWORD middle = BufferBytes / 2;
    DWORD count = 0;
    if (cursor > middle && RefillPhase == 0) {
        Fill(Reading, WriteOffset, HalfBytes, &count);
        WriteOffset = HalfBytes;
        RefillPhase = 1;
    } else if (cursor < middle && RefillPhase == 1) {
        Fill(Reading, WriteOffset, HalfBytes, &count);
        WriteOffset = 0;
        RefillPhase = 0;
    } else {
        return;
    }
    // Nothing read, or the buffer would not lock: the stream has run out,
    // unless it loops (the file then stands at LoopStart again).
    if (count == 0 && !Loop) {
        Reading = 0;
    }
}

HRESULT SoundChannel::Play() {
    if (!lpBuffer) {
        return E_FAIL;
    }
    if (HalfBytes == 0) {
        if (PlayOwn[0]) {
            ChannelLock lock;
            ResetPlay(*this, 0);
        }
        lpBuffer->SetCurrentPosition(0);
        return lpBuffer->Play(0, 0, 0);
    }
    // A stream resumes where it stopped.
    if (!EnterSoundLock()) {
        return E_FAIL;
    }
    const HRESULT hr = lpBuffer->Play(0, 0, DSBPLAY_LOOPING);
    LeaveCriticalSection(&sound.SoundLock);
    return hr;
}

HRESULT SoundChannel::PlayOverlapped() {
    if (!lpBuffer || HalfBytes != 0) {
        return E_FAIL;
    }
    ChannelLock lock;
    const unsigned i = NextVoice(*this);
    ResetPlay(*this, i);
    LPDIRECTSOUNDBUFFER8 voice = Voice(*this, i);
    voice->SetCurrentPosition(0);
    return voice->Play(0, 0, 0);
}

void SoundChannel::UpdateVolume(bool master) {
    if (!lpBuffer || (!Fading && !master)) {
        return;
    }
    if (Fading) {
        const DWORD elapsed = GetTickCount() - FadeStart;
        if (elapsed >= FadeMilliseconds) {
            // The target volume is in place before the sound stops, so a
            // stopped buffer always shows where its fade ended.
            Volume = FadeTo;
            ApplyVolumes(*this);
            if (Fading == 2) {
                lpBuffer->Stop();
                for (LPDIRECTSOUNDBUFFER8 voice : lpVoices) {
                    if (voice) {
                        voice->Stop();
                    }
                }
            }
            Fading = 0;
            return;
        } else {
            Volume = FadeFrom + static_cast<LONG>(static_cast<LONGLONG>(FadeTo - FadeFrom) *
                                                  elapsed / FadeMilliseconds);
        }
    }
    ApplyVolumes(*this);
}

HRESULT SoundChannel::Close() {
    // A channel in use never changes under the worker (a refill, a fade).
    // Without the lock there is no worker, so closing unlocked is safe.
    const bool locked = BufferBytes != 0 && EnterSoundLock();
    if (lpBuffer) {
        lpBuffer->Stop();
    }
    // Duplicates go before the buffer whose samples they share.
    for (LPDIRECTSOUNDBUFFER8 &voice : lpVoices) {
        if (voice) {
            voice->Stop();
            voice->Release();
            voice = nullptr;
        }
    }
    // The decoder reads through the file, so it goes first.
    CloseVorbis(lpDecoder);
    lpDecoder = nullptr;
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
    Volume = 0;
    Pan = 0;
    Frequency = 0;
    for (unsigned i = 0; i <= SOUND_CHANNEL_VOICES; ++i) {
        PlayVolumes[i] = 0;
        PlayOwn[i] = 0;
    }
    FadeFrom = 0;
    FadeTo = 0;
    FadeStart = 0;
    FadeMilliseconds = 0;
    Fading = 0;
    if (locked) {
        LeaveCriticalSection(&sound.SoundLock);
    }
    return 1;
}

LPDIRECTSOUNDBUFFER8 CreateChannelBuffer(const WAVEFORMATEX *format, DWORD bytes, DWORD flags) {
    if (!sound.lpDS || !format) {
        return nullptr;
    }
    // NOTE: dwSize is the structure's own size, 36 bytes in 32-bit programs
    // and 40 in 64-bit ones.
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.dwReserved = 0;
    desc.lpwfxFormat = const_cast<LPWAVEFORMATEX>(format);
    desc.guid3DAlgorithm = GUID_NULL;
    LPDIRECTSOUNDBUFFER first = nullptr;
    if (sound.lpDS->CreateSoundBuffer(&desc, &first, nullptr) != 0) {
        if (first) {
            first->Release();
        }
        return nullptr;
    }
    LPDIRECTSOUNDBUFFER8 buffer = nullptr;
    if (first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&buffer)) != 0) {
        buffer = nullptr;
    }
    first->Release();
    return buffer;
}

HRESULT LoadSoundChannel(unsigned index, const char *fileName) {
    if (index >= SOUND_CHANNEL_MAX || SoundChannels[index].BufferBytes != 0) {
        return E_FAIL;
    }
    return SoundChannels[index].Open(fileName, SOUND_CHANNEL_STATIC);
}

HRESULT StreamSoundChannel(unsigned index, const char *fileName) {
    if (index >= SOUND_CHANNEL_MAX || SoundChannels[index].BufferBytes != 0) {
        return E_FAIL;
    }
    return SoundChannels[index].Open(fileName, SOUND_CHANNEL_STREAM);
}

HRESULT PlaySoundChannel(unsigned index) {
    if (index >= SOUND_CHANNEL_MAX) {
        return E_FAIL;
    }
    return SoundChannels[index].Play();
}

HRESULT PlaySoundChannelOverlapped(unsigned index) {
    if (index >= SOUND_CHANNEL_MAX) {
        return E_FAIL;
    }
    return SoundChannels[index].PlayOverlapped();
}

HRESULT StopSoundChannel(unsigned index) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer) {
        return E_FAIL;
    }
    for (LPDIRECTSOUNDBUFFER8 voice : SoundChannels[index].lpVoices) {
        if (voice) {
            voice->Stop();
        }
    }
    return SoundChannels[index].lpBuffer->Stop();
}

HRESULT CloseSoundChannel(unsigned index) {
    if (index >= SOUND_CHANNEL_MAX) {
        return E_FAIL;
    }
    return SoundChannels[index].Close();
}

HRESULT SetSoundChannelLoop(unsigned index, LONG flag) {
    if (index >= SOUND_CHANNEL_MAX) {
        return E_FAIL;
    }
    SoundChannel &channel = SoundChannels[index];
    channel.Loop = flag;
    // A stream that has not played since its open may have run out within
    // its first fill (a file shorter than the buffer): it is filled again,
    // so that a loop starts over at once rather than after silence.
    DWORD cursor = 1;
    if (flag && channel.HalfBytes != 0 && channel.RefillPhase == 0 && EnterSoundLock()) {
        if (channel.lpBuffer && !IsPlaying(channel.lpBuffer) &&
            channel.lpBuffer->GetCurrentPosition(&cursor, nullptr) == DS_OK && cursor == 0 &&
            RewindSamples(channel)) {
            DWORD written = 0;
            channel.Reading = 1;
            channel.Fill(TRUE, 0, channel.BufferBytes, &written);
        }
        LeaveCriticalSection(&sound.SoundLock);
    }
    return S_OK;
}

HRESULT PlaySoundChannelWith(unsigned index, LONG volume, LONG pan, float pitch) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer ||
        SoundChannels[index].HalfBytes != 0) {
        return E_FAIL;
    }
    SoundChannel &channel = SoundChannels[index];
    const double frequency = static_cast<double>(channel.Format.nSamplesPerSec) * pitch;
    if (volume < DSBVOLUME_MIN || volume > -DSBVOLUME_MIN || pan < DSBPAN_LEFT ||
        pan > DSBPAN_RIGHT || !(frequency >= DSBFREQUENCY_MIN) || frequency > DSBFREQUENCY_MAX) {
        return E_INVALIDARG;
    }
    ChannelLock lock;
    const unsigned i = NextVoice(channel);
    LPDIRECTSOUNDBUFFER8 voice = Voice(channel, i);
    channel.PlayVolumes[i] = volume;
    channel.PlayOwn[i] = 1;
    voice->Stop();
    voice->SetVolume(EffectiveVolume(channel, i));
    voice->SetPan(pan);
    voice->SetFrequency(static_cast<DWORD>(frequency + 0.5));
    voice->SetCurrentPosition(0);
    return voice->Play(0, 0, 0);
}

HRESULT SetSoundChannelVolume(unsigned index, LONG volume) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer) {
        return E_FAIL;
    }
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) {
        return DSERR_INVALIDPARAM;
    }
    SoundChannel &channel = SoundChannels[index];
    ChannelLock lock;
    channel.Volume = volume;
    channel.Fading = 0;
    return ApplyVolumes(channel);
}

HRESULT SetSoundChannelPan(unsigned index, LONG pan) {
    const HRESULT hr = SetOnEveryBuffer(index, &IDirectSoundBuffer8::SetPan, pan);
    if (hr == DS_OK) {
        SoundChannels[index].Pan = pan;
    }
    return hr;
}

HRESULT SetSoundChannelFrequency(unsigned index, DWORD frequency) {
    const HRESULT hr = SetOnEveryBuffer(index, &IDirectSoundBuffer8::SetFrequency, frequency);
    if (hr == DS_OK) {
        SoundChannels[index].Frequency = frequency;
    }
    return hr;
}

HRESULT SetSoundChannelPitch(unsigned index, float pitch) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer) {
        return E_FAIL;
    }
    const double frequency =
        static_cast<double>(SoundChannels[index].Format.nSamplesPerSec) * pitch;
    if (!(frequency >= DSBFREQUENCY_MIN) || frequency > DSBFREQUENCY_MAX) {
        return E_INVALIDARG;
    }
    return SetSoundChannelFrequency(index, static_cast<DWORD>(frequency + 0.5));
}

HRESULT FadeSoundChannel(unsigned index, LONG volume, DWORD milliseconds, BOOL stop) {
    if (index >= SOUND_CHANNEL_MAX || !SoundChannels[index].lpBuffer || !sound.hSoundThread) {
        return E_FAIL;
    }
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) {
        return E_INVALIDARG;
    }
    SoundChannel &channel = SoundChannels[index];
    {
        ChannelLock lock;
        channel.FadeFrom = channel.Volume;
        channel.FadeTo = volume;
        channel.FadeStart = GetTickCount();
        channel.FadeMilliseconds = milliseconds;
        channel.Fading = stop ? 2 : 1;
    }
    // The worker takes its next step at once.
    PostThreadMessageA(sound.SoundThreadId, WM_APP, 0, 0);
    return S_OK;
}

int IsSoundChannelInvalid(unsigned index) { return index >= SOUND_CHANNEL_MAX ? 1 : 0; }
