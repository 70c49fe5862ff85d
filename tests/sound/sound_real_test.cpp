// The sound system on Wine's DirectSound (ALSA's null device stands in for
// a sound card; the test runner points ALSA_CONFIG_PATH at it).
//
// No window is needed: InitSound passes GetWindowHandle(), which is null
// before InitFramework, and DirectSound accepts a null window at
// DSSCL_NORMAL.
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <cstdio>

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

} // namespace
