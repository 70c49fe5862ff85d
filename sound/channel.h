/// \file
/// Sound channels: SoundChannels[0] to [255] (sound.h), each able to hold one
/// PCM wave file or Ogg Vorbis file, opened either static (all samples in one buffer of exactly
/// their size, played once from the start) or streaming (a four-second
/// buffer played in a loop while the sound worker refills the half just
/// played with the next two seconds of the file).
///
/// Channels exist for the whole run and are only opened and closed; closing
/// empties every field. A channel keeps its file open while it holds it.
/// Calls come from the main thread, except Update, which only the sound
/// worker makes with SoundLock held. Opening, playing and closing a stream
/// take SoundLock, and fail with E_FAIL while the sound system is not
/// started, since the lock does not exist then; static channels never lock.
///
/// The file's first bytes tell its kind: "OggS" opens it as Ogg Vorbis
/// (mono or stereo, 8000 to 192000 Hz, played as 16-bit PCM), anything else
/// as a wave file. A chained Ogg file (streams one after another) plays its
/// first stream only. Vorbis samples are decoded straight into the buffer:
/// all of them at the open of a static channel, half a buffer per refill of
/// a stream, in the sound worker.
///
/// A looping stream, wave or Vorbis, is gapless: the last sample of the
/// file is followed at once by the first.
///
/// Volume, pan and frequency are the controls every channel buffer is made
/// with; a static channel can also play over itself through a few duplicates
/// of its buffer, which share its samples and follow its settings. A play
/// may carry settings of its own (PlaySoundChannelWith), which change
/// neither the channel's nor the other plays'. What a buffer plays at is
/// the channel's volume plus its play's own plus the master volume
/// (sound.h). Fades and master-volume changes are made by the sound worker,
/// so every operation that touches a channel in use takes SoundLock when it
/// exists.
#pragma once

#include <windows.h>

#include <dsound.h>
#include <mmsystem.h>

struct SoundDecoder;

/// The number of channels.
constexpr unsigned SOUND_CHANNEL_MAX = 256;
/// How many duplicates of its buffer a static channel may play through in
/// PlaySoundChannelOverlapped: up to this many plays and the buffer's own
/// sound at once.
constexpr unsigned SOUND_CHANNEL_VOICES = 4;

/// How a channel holds its file.
enum SoundChannelMode {
    SOUND_CHANNEL_STATIC, ///< all samples in one buffer, played once
    SOUND_CHANNEL_STREAM  ///< a four-second buffer refilled by the sound worker
};

/// One channel: a DirectSound buffer and the wave file that feeds it.
class SoundChannel {
  public:
    SoundChannel();
    ~SoundChannel();
    SoundChannel(const SoundChannel &) = delete;
    SoundChannel &operator=(const SoundChannel &) = delete;

    /// Closes the channel, then reads the file's format and opens its
    /// samples in the given mode, filling the whole buffer. Opening does not
    /// play. E_FAIL, and the channel empty, for a file it cannot use; once the
    /// buffer exists, the result of the first Fill.
    HRESULT Open(const char *fileName, SoundChannelMode mode);
    /// Writes `bytes` at `offset` of the buffer: samples from the file when
    /// `read` is set (silence where the data runs out; a looping stream goes
    /// on from LoopStart instead), else silence. `count` receives the bytes
    /// written, unless none were.
    HRESULT Fill(BOOL read, DWORD offset, DWORD bytes, DWORD *count);
    /// Fills a locked region with the format's silence byte.
    void FillSilence(void *region, DWORD bytes);
    /// The worker's refill of a streaming channel, half a buffer at a time,
    /// once the play cursor has left that half; nothing for other channels.
    void Update();
    /// A static channel plays once from its start; a stream loops on from
    /// where it stopped. E_FAIL for an empty channel.
    HRESULT Play();
    /// Plays a static channel from its start on the first of its buffer and
    /// its duplicates that is not playing (a duplicate is made when needed),
    /// or else on the one that has played longest. E_FAIL for an empty
    /// channel or a stream.
    HRESULT PlayOverlapped();
    /// The worker's step of a fade, and the master volume applied; nothing
    /// for an empty channel or one without a fade when `master` is clear.
    void UpdateVolume(bool master);
    /// Stops the buffer and its duplicates, closes the file, releases the
    /// duplicates and the buffer and empties every field; returns 1.
    HRESULT Close();

    LPDIRECTSOUNDBUFFER8 lpBuffer; ///< null while the channel is empty
    WAVEFORMATEX Format;           ///< the first 18 bytes of the "fmt " chunk
    HMMIO hmmio;                   ///< the file, open while the channel holds it
    MMCKINFO RiffChunk;            ///< the file's RIFF chunk; zero for Ogg
    MMCKINFO DataChunk;      ///< dwDataOffset: file position of the first sample; zero for Ogg
    DWORD BufferBytes;       ///< non-zero exactly while the channel is in use
    DWORD HalfBytes;         ///< non-zero exactly for a streaming channel
    DWORD WriteOffset;       ///< the half the next refill writes: 0 or HalfBytes
    LONG RefillPhase;        ///< 0: refill the first half once past the middle; 1: the second
    LONG Reading;            ///< 0 once the stream has run out: refills write silence
    LONG Loop;               ///< a stream starts over at LoopStart when its data runs out
    DWORD LoopStart;         ///< byte offset into the samples; always 0 here
    DWORD ReadPosition;      ///< byte offset into the samples of the next read
    SoundDecoder *lpDecoder; ///< the Vorbis decoder of an Ogg file, else null
    LONG Volume;             ///< the channel's volume in hundredths of a decibel
    LONG Pan;                ///< the channel's pan
    DWORD Frequency;         ///< the channel's rate in Hz; 0: the file's own
    /// Each play's own volume, added to the channel's: [0] for lpBuffer, then
    /// one per duplicate.
    LONG PlayVolumes[SOUND_CHANNEL_VOICES + 1];
    /// Set while a buffer's play has settings of its own, same order.
    LONG PlayOwn[SOUND_CHANNEL_VOICES + 1];
    LONG FadeFrom;          ///< the volume a fade started from
    LONG FadeTo;            ///< the volume a fade ends at
    DWORD FadeStart;        ///< GetTickCount at the fade's start
    DWORD FadeMilliseconds; ///< the fade's length
    LONG Fading;            ///< 0: no fade; 1: fading; 2: fading, then stop
    /// Duplicates of lpBuffer for overlapped plays, made as they are needed.
    LPDIRECTSOUNDBUFFER8 lpVoices[SOUND_CHANNEL_VOICES];
};

/// A buffer of `bytes` in `format` with `flags`, as IDirectSoundBuffer8, or
/// null without a device or when DirectSound refuses it.
LPDIRECTSOUNDBUFFER8 CreateChannelBuffer(const WAVEFORMATEX *format, DWORD bytes, DWORD flags);

// The index operations. An index of SOUND_CHANNEL_MAX or more touches no
// channel and gives E_FAIL.

/// Opens `fileName` static in channel `index`; E_FAIL for a channel in use,
/// else Open's result.
HRESULT LoadSoundChannel(unsigned index, const char *fileName);
/// Opens `fileName` streaming in channel `index`; as LoadSoundChannel.
HRESULT StreamSoundChannel(unsigned index, const char *fileName);
/// Plays the channel (Play); E_FAIL for an empty one.
HRESULT PlaySoundChannel(unsigned index);
/// Plays a static channel again over what it still plays (PlayOverlapped),
/// through at most SOUND_CHANNEL_VOICES duplicates of its buffer, the oldest
/// play restarted when all sound; E_FAIL for an empty channel or a stream.
HRESULT PlaySoundChannelOverlapped(unsigned index);
/// Plays a static channel again as PlaySoundChannelOverlapped, with this
/// play's own settings: `volume` in hundredths of a decibel added to the
/// channel's (0: as the channel), `pan` (DSBPAN_LEFT to DSBPAN_RIGHT) and
/// `pitch`, a ratio of the file's own rate (1.0: as recorded). The channel's
/// settings and the plays already sounding stay as they are. E_FAIL for an
/// empty channel or a stream; E_INVALIDARG for a setting out of range.
HRESULT PlaySoundChannelWith(unsigned index, LONG volume, LONG pan, float pitch);
/// Stops the channel's buffer where it is, and its duplicates; E_FAIL for an
/// empty channel, else the buffer's Stop result.
HRESULT StopSoundChannel(unsigned index);
/// Closes the channel (Close).
HRESULT CloseSoundChannel(unsigned index);
/// Sets whether a stream starts over when its data runs out (`flag` 1),
/// without a gap, or plays silence (0); S_OK. Set on a stream that has not
/// played since its open, the loop starts with the buffer already filled.
HRESULT SetSoundChannelLoop(unsigned index, LONG flag);
/// Sets the channel's volume in hundredths of a decibel (DSBVOLUME_MIN, silence,
/// to DSBVOLUME_MAX, the file's own level), for its duplicates too; E_FAIL
/// for an empty channel, else DirectSound's result for the channel's buffer.
HRESULT SetSoundChannelVolume(unsigned index, LONG volume);
/// Sets the channel's pan from DSBPAN_LEFT through DSBPAN_CENTER to
/// DSBPAN_RIGHT, for its duplicates too; results as SetSoundChannelVolume.
HRESULT SetSoundChannelPan(unsigned index, LONG pan);
/// Sets the channel's playback rate in Hz (DSBFREQUENCY_MIN to
/// DSBFREQUENCY_MAX; 0 is the file's own rate), for its duplicates too;
/// results as SetSoundChannelVolume.
HRESULT SetSoundChannelFrequency(unsigned index, DWORD frequency);
/// Sets the channel's playback rate as a ratio of the file's own rate (1.0:
/// as recorded), for its duplicates too; E_FAIL for an empty channel,
/// E_INVALIDARG for a rate outside DSBFREQUENCY_MIN to DSBFREQUENCY_MAX.
HRESULT SetSoundChannelPitch(unsigned index, float pitch);
/// Moves the channel's volume to `volume` over `milliseconds`, in steps the
/// sound worker makes about every 20 ms; with `stop` set the channel stops
/// when it gets there (a fade to silence then ends the sound). A later fade
/// or SetSoundChannelVolume takes its place. E_FAIL for an empty channel or
/// while the sound system is stopped; E_INVALIDARG for a volume out of range.
HRESULT FadeSoundChannel(unsigned index, LONG volume, DWORD milliseconds, BOOL stop);
/// 1 for an index outside the channel table, else 0.
int IsSoundChannelInvalid(unsigned index);
