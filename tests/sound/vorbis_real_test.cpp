// Ogg Vorbis channels on Wine's DirectSound, judged by the reference
// decoder: the samples in each channel's buffer against oggdec's output for
// files that oggenc made in this build (tests/sound/CMakeLists.txt), and
// looping streams read across their seam.
#include <fw/sound/sound.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;

class RealVorbis : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef FW_OGG_DIR
        GTEST_SKIP() << "sox, oggenc or oggdec was not found when the build was configured";
#else
        const HRESULT hr = InitSound();
        if (hr != S_OK && sound.lpDS == nullptr) {
            ReleaseSound();
            GTEST_SKIP() << "no DirectSound device here (DirectSoundCreate8: 0x" << std::hex << hr
                         << ")";
        }
        ASSERT_EQ(hr, S_OK);
#endif
    }
    void TearDown() override { EXPECT_EQ(ReleaseSound(), S_OK); }
};

std::string CorpusFile(const std::string &name) {
#ifdef FW_OGG_DIR
    return std::string(FW_OGG_DIR) + name;
#else
    return name;
#endif
}

// A 16-bit wave file as oggdec writes it: its format and samples.
struct Wave {
    WORD channels = 0;
    DWORD rate = 0;
    Samples samples;
};

Wave ReadWave(const std::string &path) {
    Wave wave;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ADD_FAILURE() << "cannot open " << path;
        return wave;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) {
        bytes.insert(bytes.end(), block, block + n);
    }
    std::fclose(file);
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t size = 0;
        std::memcpy(&size, &bytes[at + 4], 4);
        const size_t body = at + 8;
        const size_t end = body + size <= bytes.size() ? body + size : bytes.size();
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && size >= 16) {
            std::memcpy(&wave.channels, &bytes[body + 2], 2);
            std::memcpy(&wave.rate, &bytes[body + 4], 4);
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            wave.samples.resize((end - body) / 2);
            std::memcpy(wave.samples.data(), &bytes[body], wave.samples.size() * 2);
        }
        at = body + ((size + 1ull) & ~1ull);
    }
    return wave;
}

// The bytes of `buffer` from `offset` on, as 16-bit samples.
Samples BufferSamples(LPDIRECTSOUNDBUFFER8 buffer, DWORD offset = 0, DWORD bytes = 0) {
    void *region1 = nullptr;
    void *region2 = nullptr;
    DWORD length1 = 0;
    DWORD length2 = 0;
    Samples samples;
    if (buffer->Lock(offset, bytes, &region1, &length1, &region2, &length2,
                     bytes == 0 ? DSBLOCK_ENTIREBUFFER : 0) != DS_OK) {
        ADD_FAILURE() << "the buffer does not lock";
        return samples;
    }
    samples.resize((length1 + length2) / 2);
    std::memcpy(samples.data(), region1, length1);
    if (region2) {
        std::memcpy(reinterpret_cast<BYTE *>(samples.data()) + length1, region2, length2);
    }
    buffer->Unlock(region1, 0, region2, 0);
    return samples;
}

// Signal to difference in decibels; 200 for samples that agree exactly.
double SignalToDifference(const Samples &expected, const Samples &actual) {
    double signal = 0;
    double difference = 0;
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        signal += double(expected[i]) * expected[i];
        const double d = double(expected[i]) - actual[i];
        difference += d * d;
    }
    return difference == 0 ? 200 : 10 * std::log10(signal / difference);
}

// `count` samples of `samples` played over and over from `from` on.
Samples Cyclic(const Samples &samples, size_t from, size_t count) {
    Samples out(count);
    for (size_t i = 0; i < count; ++i) {
        out[i] = samples[(from + i) % samples.size()];
    }
    return out;
}

// One refill of a stream as the worker makes it once the play cursor is at
// `cursor`: the buffer stands still there (it is not playing), and SoundLock
// keeps the worker's own passes out. Returns the half just written.
Samples RefillAt(SoundChannel &channel, DWORD cursor) {
    EnterCriticalSection(&sound.SoundLock);
    const DWORD half = channel.WriteOffset;
    EXPECT_EQ(channel.lpBuffer->SetCurrentPosition(cursor), DS_OK);
    channel.Update();
    const Samples written = BufferSamples(channel.lpBuffer, half, channel.HalfBytes);
    LeaveCriticalSection(&sound.SoundLock);
    return written;
}

// A file of the corpus and the wave file its samples are judged by.
struct CorpusRow {
    const char *file;
    const char *reference;
};

TEST_F(RealVorbis, StaticChannelsHoldTheReferenceDecodersSamples) {
    const CorpusRow corpus[] = {
        {"mono_11025_low.ogg", "mono_11025_low.wav"},
        {"stereo_22050.ogg", "stereo_22050.wav"},
        {"mono_32000.ogg", "mono_32000.wav"},
        {"stereo_44100_high.ogg", "stereo_44100_high.wav"},
        {"page.ogg", "page.wav"},
        {"long.ogg", "long.wav"},
        {"chained.ogg", "mono_11025_low.wav"}, // its first stream only
    };
    for (const auto &row : corpus) {
        const Wave reference = ReadWave(CorpusFile(row.reference));
        ASSERT_FALSE(reference.samples.empty()) << row.reference;
        ASSERT_EQ(LoadSoundChannel(3, CorpusFile(row.file).c_str()), S_OK) << row.file;
        const SoundChannel &channel = SoundChannels[3];
        EXPECT_EQ(channel.Format.wFormatTag, WAVE_FORMAT_PCM) << row.file;
        EXPECT_EQ(channel.Format.nChannels, reference.channels) << row.file;
        EXPECT_EQ(channel.Format.nSamplesPerSec, reference.rate) << row.file;
        EXPECT_EQ(channel.Format.wBitsPerSample, 16) << row.file;

        const Samples actual = BufferSamples(channel.lpBuffer);
        EXPECT_EQ(actual.size(), reference.samples.size()) << row.file;
        const double snr = SignalToDifference(reference.samples, actual);
        std::printf("%-22s %lu Hz, %u channel(s), %zu samples: %.1f dB\n", row.file,
                    channel.Format.nSamplesPerSec, channel.Format.nChannels, actual.size(), snr);
        EXPECT_GE(snr, 60.0) << row.file;
        EXPECT_EQ(PlaySoundChannel(3), S_OK) << row.file;
        EXPECT_EQ(CloseSoundChannel(3), 1);
    }
}

TEST_F(RealVorbis, ThreeChannelsAreRefusedAsTheWavePathRefusesAFormat) {
    const std::string path = CorpusFile("surround.ogg");
    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
    EXPECT_EQ(SoundChannels[0].BufferBytes, 0u);
    EXPECT_EQ(SoundChannels[1].hmmio, nullptr);
}

// A stream of the 5.3-second file: the open decodes four seconds, the first
// refill the rest and silence, the next one only silence, and the stream
// has run out.
TEST_F(RealVorbis, StreamDecodesHalfABufferPerRefill) {
    const Wave reference = ReadWave(CorpusFile("long.wav"));
    ASSERT_EQ(StreamSoundChannel(5, CorpusFile("long.ogg").c_str()), S_OK);
    SoundChannel &channel = SoundChannels[5];
    ASSERT_EQ(channel.HalfBytes, 2 * 48000 * 4u);
    const size_t half = channel.HalfBytes / 2; // in samples
    const Samples opened = BufferSamples(channel.lpBuffer);
    ASSERT_EQ(opened.size(), 2 * half);
    EXPECT_GE(SignalToDifference(Cyclic(reference.samples, 0, 2 * half), opened), 60.0);

    const Samples rest = RefillAt(channel, channel.HalfBytes + 4);
    const size_t left = reference.samples.size() - 2 * half;
    EXPECT_GE(SignalToDifference(Cyclic(reference.samples, 2 * half, left), rest), 60.0);
    EXPECT_EQ(Samples(rest.begin() + left, rest.end()), Samples(half - left, 0));
    EXPECT_EQ(channel.Reading, 1);

    EXPECT_EQ(RefillAt(channel, 0), Samples(half, 0));
    EXPECT_EQ(channel.Reading, 0) << "the stream has run out";
    EXPECT_EQ(CloseSoundChannel(5), 1);
}

// A looping stream plays the file's last sample and then its first: the
// buffer's halves, read in the order they were written, are the file over
// and over, with nothing between the laps. The wave row is oggdec's output
// itself; the short file is shorter than the buffer, so its loop is already
// in the buffer the open filled.
TEST_F(RealVorbis, LoopingStreamsPlayTheFileOverAndOverWithoutAGap) {
    const CorpusRow rows[] = {
        {"long.wav", "long.wav"},
        {"long.ogg", "long.wav"},
        {"mono_11025_low.ogg", "mono_11025_low.wav"},
    };
    for (const auto &row : rows) {
        const Wave reference = ReadWave(CorpusFile(row.reference));
        ASSERT_EQ(StreamSoundChannel(6, CorpusFile(row.file).c_str()), S_OK) << row.file;
        SoundChannel &channel = SoundChannels[6];
        ASSERT_EQ(SetSoundChannelLoop(6, 1), S_OK);
        Samples played = BufferSamples(channel.lpBuffer);
        for (int i = 0; i < 4; ++i) {
            const Samples half =
                RefillAt(channel, channel.RefillPhase == 0 ? channel.HalfBytes + 4 : 0);
            played.insert(played.end(), half.begin(), half.end());
        }
        const Samples expected = Cyclic(reference.samples, 0, played.size());
        EXPECT_GE(SignalToDifference(expected, played), 60.0) << row.file;
        // Around each seam on its own, where a gap or a doubled sample shows.
        const size_t seamWindow = 256 * reference.channels;
        for (size_t seam = reference.samples.size(); seam + seamWindow < played.size();
             seam += reference.samples.size()) {
            const Samples around(played.begin() + (seam - seamWindow),
                                 played.begin() + (seam + seamWindow));
            EXPECT_GE(SignalToDifference(
                          Cyclic(reference.samples, seam - seamWindow, 2 * seamWindow), around),
                      60.0)
                << row.file << ", seam at sample " << seam;
        }
        EXPECT_EQ(CloseSoundChannel(6), 1);
    }
}

} // namespace
