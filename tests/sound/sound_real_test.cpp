// The sound system on Wine's DirectSound (ALSA's null device stands in for
// a sound card; the test runner points ALSA_CONFIG_PATH at it).
//
// No window is needed: InitSound passes GetWindowHandle(), which is null
// before InitFramework, and DirectSound accepts a null window at
// DSSCL_NORMAL.
#include <fw/sound/sound.h>

#include "wave_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class RealSound : public ::testing::Test {
  protected:
    void SetUp() override {
        const HRESULT hr = InitSound();
        if (hr != S_OK && sound.lpDS == nullptr) {
            ReleaseSound();
            GTEST_SKIP() << "no DirectSound device here (DirectSoundCreate8: 0x" << std::hex << hr
                         << "); ALSA_CONFIG_PATH should point at tools/alsa-null.conf";
        }
        ASSERT_EQ(hr, S_OK);
        std::printf("DirectSound caps: flags 0x%lx, secondary rates %lu to %lu Hz\n",
                    sound.SoundCaps.dwFlags, sound.SoundCaps.dwMinSecondarySampleRate,
                    sound.SoundCaps.dwMaxSecondarySampleRate);
    }
    void TearDown() override { EXPECT_EQ(ReleaseSound(), S_OK); }
};

// The play cursor of `buffer`, sampled until it differs from `from` (up to 2 s).
DWORD CursorAfter(LPDIRECTSOUNDBUFFER8 buffer, DWORD from) {
    DWORD cursor = from;
    for (int i = 0; i < 200 && cursor == from; ++i) {
        SleepEx(10, FALSE);
        buffer->GetCurrentPosition(&cursor, nullptr);
    }
    return cursor;
}

TEST_F(RealSound, SilentBufferPlaysInTheDeviceFormat) {
    LPDIRECTSOUNDBUFFER8 buffer = sound.lpSilentBuffer;
    ASSERT_NE(buffer, nullptr);

    WAVEFORMATEX format = {};
    ASSERT_EQ(buffer->GetFormat(&format, sizeof format, nullptr), DS_OK);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nSamplesPerSec, GetSoundSampleRate());
    EXPECT_EQ(format.nChannels, GetSoundChannels());
    EXPECT_EQ(format.wBitsPerSample, GetSoundBits());

    DSBCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 3 * format.nAvgBytesPerSec);

    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_TRUE(status & DSBSTATUS_PLAYING);
    EXPECT_TRUE(status & DSBSTATUS_LOOPING);

    DWORD start = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&start, nullptr), DS_OK);
    EXPECT_NE(CursorAfter(buffer, start), start) << "the play cursor does not move";
}

TEST_F(RealSound, SilentBufferHoldsOnlyZeroBytes) {
    LPDIRECTSOUNDBUFFER8 buffer = sound.lpSilentBuffer;
    ASSERT_NE(buffer, nullptr);
    void *region1 = nullptr;
    void *region2 = nullptr;
    DWORD length1 = 0;
    DWORD length2 = 0;
    ASSERT_EQ(buffer->Lock(0, 0, &region1, &length1, &region2, &length2, DSBLOCK_ENTIREBUFFER),
              DS_OK);
    const auto *bytes = static_cast<const BYTE *>(region1);
    DWORD nonZero = 0;
    for (DWORD i = 0; i < length1; ++i) {
        nonZero += bytes[i] != 0;
    }
    buffer->Unlock(region1, 0, region2, 0);
    EXPECT_GT(length1, 0u);
    EXPECT_EQ(nonZero, 0u);
}

TEST_F(RealSound, ReleaseRightAfterStartEndsTheWorker) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(ReleaseSound(), S_OK);
        EXPECT_EQ(sound.hSoundThread, nullptr);
        EXPECT_EQ(GetSoundSampleRate(), 0u);
        ASSERT_EQ(InitSound(), S_OK) << "round " << i;
    }
}

TEST_F(RealSound, SecondInitSoundFails) {
    const LPDIRECTSOUND8 device = sound.lpDS;
    EXPECT_EQ(InitSound(), E_FAIL);
    EXPECT_EQ(sound.lpDS, device);
}

// ---- Channels ---------------------------------------------------------------

wave::Format Pcm8BitMono(uint32_t rate) {
    wave::Format format;
    format.rate = rate;
    return format;
}

DWORD Status(LPDIRECTSOUNDBUFFER8 buffer) {
    DWORD status = 0;
    buffer->GetStatus(&status);
    return status;
}

// Waits until `done` holds, checking with SoundLock held; false after 15 s.
template <class Condition> bool WaitLocked(Condition done) {
    for (int i = 0; i < 1500; ++i) {
        EnterCriticalSection(&sound.SoundLock);
        const bool met = done();
        LeaveCriticalSection(&sound.SoundLock);
        if (met) {
            return true;
        }
        SleepEx(10, FALSE);
    }
    return false;
}

TEST_F(RealSound, StaticSoundPlaysToItsEndAndAgainFromTheStart) {
    wave::TempFolder folder;
    const std::string path = folder.Write("short.wav", wave::Simple(Pcm8BitMono(8000), 2000));
    ASSERT_EQ(LoadSoundChannel(0, path.c_str()), S_OK);
    const LPDIRECTSOUNDBUFFER8 buffer = SoundChannels[0].lpBuffer;

    ASSERT_EQ(PlaySoundChannel(0), S_OK);
    EXPECT_TRUE(Status(buffer) & DSBSTATUS_PLAYING);
    EXPECT_FALSE(Status(buffer) & DSBSTATUS_LOOPING);
    EXPECT_TRUE(WaitLocked([&] { return !(Status(buffer) & DSBSTATUS_PLAYING); }))
        << "a quarter-second sound still plays";

    ASSERT_EQ(PlaySoundChannel(0), S_OK);
    EXPECT_TRUE(Status(buffer) & DSBSTATUS_PLAYING) << "a finished sound does not play again";
    EXPECT_EQ(CloseSoundChannel(0), 1);
}

// A one-second file in a four-second looping stream, while it plays: the
// file over and over without a gap, the loop flag having been set before
// the first play (the buffer is then filled with laps at once), and each
// refill going on where the last one ended.
TEST_F(RealSound, LoopingStreamOfAOneSecondFileRefillsAndStartsOver) {
    wave::TempFolder folder;
    const std::string path = folder.Write("second.wav", wave::Simple(Pcm8BitMono(8000), 8000));
    ASSERT_EQ(StreamSoundChannel(1, path.c_str()), S_OK);
    SoundChannel &channel = SoundChannels[1];
    ASSERT_EQ(channel.HalfBytes, 16000u);
    ASSERT_EQ(SetSoundChannelLoop(1, 1), S_OK);
    ASSERT_EQ(PlaySoundChannel(1), S_OK);

    ASSERT_TRUE(WaitLocked([&] { return channel.RefillPhase == 1; }))
        << "no refill of the first half";
    ASSERT_TRUE(WaitLocked([&] { return channel.RefillPhase == 0; }))
        << "no refill of the second half";

    EnterCriticalSection(&sound.SoundLock);
    void *region1 = nullptr;
    void *region2 = nullptr;
    DWORD length1 = 0;
    DWORD length2 = 0;
    const HRESULT locked =
        channel.lpBuffer->Lock(0, 0, &region1, &length1, &region2, &length2, DSBLOCK_ENTIREBUFFER);
    std::vector<BYTE> memory;
    if (locked == DS_OK) {
        memory.assign(static_cast<BYTE *>(region1), static_cast<BYTE *>(region1) + length1);
        channel.lpBuffer->Unlock(region1, 0, region2, 0);
    }
    const LONG reading = channel.Reading;
    LeaveCriticalSection(&sound.SoundLock);

    ASSERT_EQ(locked, DS_OK);
    ASSERT_EQ(memory.size(), 32000u);
    EXPECT_EQ(reading, 1);
    for (DWORD i = 0; i < 32000; ++i) {
        ASSERT_EQ(memory[i], wave::SampleAt(i % 8000)) << "byte " << i;
    }
    EXPECT_TRUE(Status(channel.lpBuffer) & DSBSTATUS_LOOPING);
    EXPECT_EQ(CloseSoundChannel(1), 1);
}

// A recording that was never finalised: the data chunk's size says 0, or more
// than the file holds, and the samples run to the end of the file.
TEST_F(RealSound, DataChunkSizedZeroOrPastTheEndTakesTheSamplesToTheEndOfTheFile) {
    constexpr uint32_t kSamples = 3000;
    const struct {
        const char *name;
        int64_t claimedSize;
    } cases[] = {{"size 0", 0}, {"size past the end", 100000}};
    for (const auto &c : cases) {
        wave::Chunk data = wave::DataChunk(kSamples);
        data.claimedSize = c.claimedSize;
        wave::TempFolder folder;
        const std::string path = folder.Write(
            "unfinished.wav", wave::Riff({wave::FormatChunk(Pcm8BitMono(8000)), data}));
        ASSERT_EQ(LoadSoundChannel(0, path.c_str()), S_OK) << c.name;
        const LPDIRECTSOUNDBUFFER8 buffer = SoundChannels[0].lpBuffer;
        ASSERT_EQ(SoundChannels[0].BufferBytes, kSamples) << c.name;
        void *region1 = nullptr;
        void *region2 = nullptr;
        DWORD length1 = 0;
        DWORD length2 = 0;
        ASSERT_EQ(buffer->Lock(0, 0, &region1, &length1, &region2, &length2, DSBLOCK_ENTIREBUFFER),
                  DS_OK);
        const std::vector<BYTE> memory(static_cast<BYTE *>(region1),
                                       static_cast<BYTE *>(region1) + length1);
        buffer->Unlock(region1, 0, region2, 0);
        ASSERT_EQ(memory.size(), kSamples) << c.name;
        for (uint32_t i = 0; i < kSamples; ++i) {
            ASSERT_EQ(memory[i], wave::SampleAt(i)) << c.name << ", byte " << i;
        }
        EXPECT_EQ(CloseSoundChannel(0), 1);
    }
}

TEST_F(RealSound, SixteenBitStereoFileFromSoxPlaysToItsEnd) {
#ifndef FW_SOX_DIR
    GTEST_SKIP() << "sox was not found when the build was configured";
#else
    const std::string path = std::string(FW_SOX_DIR) + "s16_stereo_44100.wav";
    ASSERT_EQ(LoadSoundChannel(0, path.c_str()), S_OK);
    EXPECT_EQ(SoundChannels[0].BufferBytes, 88200u);
    const LPDIRECTSOUNDBUFFER8 buffer = SoundChannels[0].lpBuffer;
    ASSERT_EQ(PlaySoundChannel(0), S_OK);
    EXPECT_TRUE(WaitLocked([&] { return !(Status(buffer) & DSBSTATUS_PLAYING); }));
    EXPECT_EQ(CloseSoundChannel(0), 1);
#endif
}

TEST_F(RealSound, DirectSoundRefusesBlockAlignmentZero) {
    wave::TempFolder folder;
    wave::Format format = Pcm8BitMono(8000);
    format.blockAlign = 0;
    const std::string path = folder.Write("align0.wav", wave::Simple(format, 100));
    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
    EXPECT_EQ(SoundChannels[0].lpBuffer, nullptr);
    EXPECT_EQ(SoundChannels[1].lpBuffer, nullptr);
}

// Windows makes no buffer outside DSBFREQUENCY_MIN to DSBFREQUENCY_MAX; Wine
// 8 does, and its mixer then divides by zero at some rates (a case of the
// fuzzer): such files are refused before DirectSound sees them.
TEST_F(RealSound, RatesOutsideDirectSoundsRangeAreRefused) {
    for (const uint32_t rate : {99u, 200001u, 33562432u}) {
        wave::TempFolder folder;
        const std::string path = folder.Write("rate.wav", wave::Simple(Pcm8BitMono(rate), 100));
        EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL) << rate;
        EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL) << rate;
        EXPECT_EQ(SoundChannels[1].lpBuffer, nullptr) << rate;
    }
}

// ---- Volume, pan, frequency and overlapped plays -----------------------------

// Every buffer the channel plays through: its own, then the duplicates made.
std::vector<LPDIRECTSOUNDBUFFER8> Voices(const SoundChannel &channel) {
    std::vector<LPDIRECTSOUNDBUFFER8> voices = {channel.lpBuffer};
    for (LPDIRECTSOUNDBUFFER8 voice : channel.lpVoices) {
        if (voice != nullptr) {
            voices.push_back(voice);
        }
    }
    return voices;
}

// What DirectSound says every buffer of the channel plays at.
void ExpectSettings(const SoundChannel &channel, LONG volume, LONG pan, DWORD frequency) {
    for (LPDIRECTSOUNDBUFFER8 voice : Voices(channel)) {
        LONG actualVolume = 0, actualPan = 0;
        DWORD actualFrequency = 0;
        voice->GetVolume(&actualVolume);
        voice->GetPan(&actualPan);
        voice->GetFrequency(&actualFrequency);
        EXPECT_EQ(actualVolume, volume);
        EXPECT_EQ(actualPan, pan);
        EXPECT_EQ(actualFrequency, frequency);
    }
}

TEST_F(RealSound, VolumePanAndFrequencyReachTheBufferAndItsDuplicates) {
    wave::TempFolder folder;
    const std::string path = folder.Write("ten.wav", wave::Simple(Pcm8BitMono(8000), 80000));
    ASSERT_EQ(LoadSoundChannel(2, path.c_str()), S_OK);
    ASSERT_EQ(SetSoundChannelVolume(2, -1200), S_OK);
    ASSERT_EQ(SetSoundChannelPan(2, 2500), S_OK);
    ASSERT_EQ(SetSoundChannelFrequency(2, 11025), S_OK);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(PlaySoundChannelOverlapped(2), S_OK);
    }
    ASSERT_EQ(Voices(SoundChannels[2]).size(), 3u) << "two duplicates play beside the buffer";
    ExpectSettings(SoundChannels[2], -1200, 2500, 11025);

    // Changed while they play; 0 is the file's own rate.
    ASSERT_EQ(SetSoundChannelVolume(2, DSBVOLUME_MIN), S_OK);
    ASSERT_EQ(SetSoundChannelPan(2, DSBPAN_LEFT), S_OK);
    ASSERT_EQ(SetSoundChannelFrequency(2, 0), S_OK);
    ExpectSettings(SoundChannels[2], DSBVOLUME_MIN, DSBPAN_LEFT, 8000);
    EXPECT_NE(SetSoundChannelVolume(2, DSBVOLUME_MAX + 1), S_OK) << "outside DirectSound's range";
}

// A minute of sound, so that nothing ends while the test looks.
TEST_F(RealSound, OverlappedPlaysSoundTogetherAndTheOldestIsTakenWhenAllPlay) {
    wave::TempFolder folder;
    const std::string path = folder.Write("minute.wav", wave::Simple(Pcm8BitMono(8000), 480000));
    ASSERT_EQ(LoadSoundChannel(4, path.c_str()), S_OK);
    for (unsigned i = 0; i <= SOUND_CHANNEL_VOICES; ++i) {
        ASSERT_EQ(PlaySoundChannelOverlapped(4), S_OK);
    }
    const std::vector<LPDIRECTSOUNDBUFFER8> voices = Voices(SoundChannels[4]);
    ASSERT_EQ(voices.size(), SOUND_CHANNEL_VOICES + 1);

    // The voice furthest on is the oldest play: the next play restarts it
    // and leaves the others playing where they are.
    const size_t oldest = 2;
    for (size_t i = 0; i < voices.size(); ++i) {
        EXPECT_TRUE(Status(voices[i]) & DSBSTATUS_PLAYING) << "voice " << i;
        ASSERT_EQ(voices[i]->SetCurrentPosition(i == oldest ? 300000 : 10000 * (i + 1)), DS_OK);
    }
    ASSERT_EQ(PlaySoundChannelOverlapped(4), S_OK);
    EXPECT_EQ(Voices(SoundChannels[4]), voices) << "no more than SOUND_CHANNEL_VOICES duplicates";
    std::vector<DWORD> cursors(voices.size());
    for (size_t i = 0; i < voices.size(); ++i) {
        voices[i]->GetCurrentPosition(&cursors[i], nullptr);
        EXPECT_TRUE(Status(voices[i]) & DSBSTATUS_PLAYING) << "voice " << i;
    }
    for (size_t i = 0; i < voices.size(); ++i) {
        EXPECT_TRUE(i == oldest || cursors[oldest] < cursors[i]) << "voice " << i << " restarted";
    }

    ASSERT_EQ(StopSoundChannel(4), S_OK);
    for (size_t i = 0; i < voices.size(); ++i) {
        EXPECT_FALSE(Status(voices[i]) & DSBSTATUS_PLAYING) << "voice " << i << " not stopped";
    }
    ASSERT_EQ(ReleaseSound(), S_OK);
    for (LPDIRECTSOUNDBUFFER8 voice : SoundChannels[4].lpVoices) {
        EXPECT_EQ(voice, nullptr) << "ReleaseSound releases the duplicates";
    }
    ASSERT_EQ(InitSound(), S_OK);
}

// Each play its own: the settings of a play read back from the buffer it
// plays in, the channel's and the earlier play's unchanged by a later one.
TEST_F(RealSound, PlaysWithTheirOwnSettingsLeaveTheChannelAndOtherPlaysAlone) {
    wave::TempFolder folder;
    const std::string path = folder.Write("minute.wav", wave::Simple(Pcm8BitMono(8000), 480000));
    ASSERT_EQ(LoadSoundChannel(4, path.c_str()), S_OK);
    ASSERT_EQ(SetSoundChannelVolume(4, -600), S_OK);
    ASSERT_EQ(SetSoundChannelPan(4, 1000), S_OK);
    ASSERT_EQ(PlaySoundChannelWith(4, -300, -2000, 2.0f), S_OK);
    ASSERT_EQ(PlaySoundChannelWith(4, 0, 3000, 0.5f), S_OK);
    ASSERT_EQ(PlaySoundChannelOverlapped(4), S_OK);
    EXPECT_EQ(PlaySoundChannelWith(4, 0, 0, 100.0f), E_INVALIDARG) << "800 kHz";

    const struct {
        LONG volume, pan;
        DWORD frequency;
    } expected[] = {{-900, -2000, 16000}, {-600, 3000, 4000}, {-600, 1000, 0}};
    const std::vector<LPDIRECTSOUNDBUFFER8> voices = Voices(SoundChannels[4]);
    ASSERT_EQ(voices.size(), 3u);
    for (size_t i = 0; i < voices.size(); ++i) {
        LONG volume = 0, pan = 0;
        DWORD frequency = 0;
        voices[i]->GetVolume(&volume);
        voices[i]->GetPan(&pan);
        voices[i]->GetFrequency(&frequency);
        EXPECT_EQ(volume, expected[i].volume) << "play " << i;
        EXPECT_EQ(pan, expected[i].pan) << "play " << i;
        EXPECT_EQ(frequency, expected[i].frequency ? expected[i].frequency : 8000) << "play " << i;
        EXPECT_TRUE(Status(voices[i]) & DSBSTATUS_PLAYING) << "play " << i;
    }
    EXPECT_EQ(SoundChannels[4].Volume, -600);
    EXPECT_EQ(SoundChannels[4].Pan, 1000);
    EXPECT_EQ(SetSoundChannelPitch(4, 1.5f), S_OK);
    DWORD frequency = 0;
    voices[0]->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 12000u) << "a pitch of 1.5 over the file's 8000 Hz";
}

// The master volume and a fade, read back from the buffer as the worker
// applies them: the fade steps down through the values between, ends at its
// target under the master volume, and stops the sound.
TEST_F(RealSound, MasterVolumeAndAFadeReachTheBufferOverTime) {
    wave::TempFolder folder;
    const std::string path = folder.Write("minute.wav", wave::Simple(Pcm8BitMono(8000), 480000));
    ASSERT_EQ(LoadSoundChannel(7, path.c_str()), S_OK);
    const LPDIRECTSOUNDBUFFER8 buffer = SoundChannels[7].lpBuffer;
    auto volume = [&] {
        LONG v = 1;
        buffer->GetVolume(&v);
        return v;
    };
    ASSERT_EQ(SetSoundMasterVolume(-1000), S_OK);
    EXPECT_EQ(SetSoundMasterVolume(1), E_INVALIDARG);
    EXPECT_TRUE(WaitLocked([&] { return volume() == -1000; })) << volume();
    ASSERT_EQ(PlaySoundChannel(7), S_OK);

    ASSERT_EQ(FadeSoundChannel(7, -3000, 800, TRUE), S_OK);
    std::vector<LONG> seen = {volume()};
    for (int i = 0; i < 300 && (Status(buffer) & DSBSTATUS_PLAYING); ++i) {
        SleepEx(10, FALSE);
        if (volume() != seen.back()) {
            seen.push_back(volume());
        }
    }
    EXPECT_FALSE(Status(buffer) & DSBSTATUS_PLAYING) << "the fade did not stop the sound";
    EXPECT_EQ(volume(), -4000) << "a stopped buffer shows where its fade ended";
    EXPECT_GE(seen.size(), 4u) << "too few steps between -1000 and -4000";
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LT(seen[i], seen[i - 1]) << "step " << i;
    }
}

} // namespace
