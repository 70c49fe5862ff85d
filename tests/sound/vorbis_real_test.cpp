// Ogg Vorbis channels on Wine's DirectSound, judged by the reference
// decoder: the samples in each channel's buffer against oggdec's output for
// files that oggenc made in this build (tests/sound/CMakeLists.txt) and for
// other projects' files, and looping streams read across their seam.
#include "wave_file.h"

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

// The sample frame at which the last whole page of an Ogg file's first
// stream ends (its granule position): where the file's sound ends.
uint64_t LastWholePageEnd(const std::vector<uint8_t> &bytes) {
    uint64_t end = 0;
    uint32_t serial = 0;
    for (size_t at = 0; at + 27 <= bytes.size() && std::memcmp(&bytes[at], "OggS", 4) == 0;) {
        const size_t segments = bytes[at + 26];
        size_t body = 0;
        for (size_t i = 0; i < segments && at + 27 + i < bytes.size(); ++i) {
            body += bytes[at + 27 + i];
        }
        const size_t next = at + 27 + segments + body;
        if (next > bytes.size()) {
            break;
        }
        int64_t granule = 0;
        uint32_t pageSerial = 0;
        std::memcpy(&granule, &bytes[at + 6], 8);
        std::memcpy(&pageSerial, &bytes[at + 14], 4);
        if (at == 0) {
            serial = pageSerial;
        }
        if (pageSerial == serial && granule > 0) {
            end = static_cast<uint64_t>(granule);
        }
        at = next;
    }
    return end;
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

// Ogg files that no one in this project made, from other projects' test
// suites as Debian ships them (tools/deps.sh): each Vorbis one plays static,
// and as a looping stream across its seam, with the samples oggdec gives;
// one cut short in the middle of a page plays up to its last whole page;
// those that hold no Vorbis (a Theora video, a Speex file) are refused.
TEST_F(RealVorbis, OtherProjectsFilesPlayAsTheReferenceDecoderPlaysThem) {
#ifndef FW_OTHERS_DIR
    GTEST_SKIP() << "the other projects' Ogg files were not fetched when the build was "
                    "configured (tools/deps.sh)";
#else
    const std::string dir = FW_OTHERS_DIR;
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((dir + "*.ogg").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << dir;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);

    wave::TempFolder folder;
    int vorbis = 0, refused = 0;
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::string path = dir + name;
        const std::string reference = dir + name.substr(0, name.size() - 4) + ".wav";
        if (GetFileAttributesA(reference.c_str()) == INVALID_FILE_ATTRIBUTES) {
            // oggdec found no Vorbis in it
            EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
            EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
            ++refused;
            continue;
        }
        ++vorbis;
        const Wave wave = ReadWave(reference);
        ASSERT_EQ(LoadSoundChannel(2, path.c_str()), S_OK);
        const Samples all = BufferSamples(SoundChannels[2].lpBuffer);
        EXPECT_EQ(all.size(), wave.samples.size());
        const double snr = SignalToDifference(wave.samples, all);
        std::printf("%-34s %lu Hz, %u channel(s), %zu samples: %.1f dB\n", name.c_str(),
                    SoundChannels[2].Format.nSamplesPerSec, SoundChannels[2].Format.nChannels,
                    all.size(), snr);
        EXPECT_GE(snr, 60.0);
        EXPECT_EQ(CloseSoundChannel(2), 1);

        ASSERT_EQ(StreamSoundChannel(6, path.c_str()), S_OK);
        SoundChannel &channel = SoundChannels[6];
        ASSERT_EQ(SetSoundChannelLoop(6, 1), S_OK);
        Samples played = BufferSamples(channel.lpBuffer);
        while (played.size() < 2 * wave.samples.size() + channel.HalfBytes / 2) {
            const Samples half =
                RefillAt(channel, channel.RefillPhase == 0 ? channel.HalfBytes + 4 : 0);
            played.insert(played.end(), half.begin(), half.end());
        }
        EXPECT_GE(SignalToDifference(Cyclic(wave.samples, 0, played.size()), played), 60.0)
            << "looping stream";
        EXPECT_EQ(CloseSoundChannel(6), 1);

        FILE *file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        wave::Bytes bytes(1 << 20);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        bytes.resize(bytes.size() * 3 / 5);
        const std::string cut = folder.Write("cut.ogg", bytes);
        ASSERT_EQ(LoadSoundChannel(3, cut.c_str()), S_OK) << "cut at " << bytes.size();
        const Samples part = BufferSamples(SoundChannels[3].lpBuffer);
        EXPECT_EQ(part.size(), LastWholePageEnd(bytes) * wave.channels) << "cut short";
        EXPECT_GE(SignalToDifference(wave.samples, part), 60.0) << "cut short";
        EXPECT_EQ(CloseSoundChannel(3), 1);
    }
    EXPECT_GE(vorbis, 4);
    EXPECT_GE(refused, 2);
#endif
}

} // namespace
