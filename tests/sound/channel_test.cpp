// Sound channels on the fake platform: opening wave files in both modes,
// the refills of a stream as the play cursor moves, playing, stopping,
// closing, the index operations and where SoundLock is taken.
#include <fw/sound/channel.h>

#include <fw/sound/sound.h>

#include "fake/dsound.h"
#include "fake/fake.h"
#include "fake/mmio.h"
#include "fake/thread.h"
#include "wave_file.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
using wave::Bytes;

// 1000 Hz, 8-bit mono: a stream of it has halves of 2000 bytes.
constexpr DWORD kHalf = 2000;
constexpr DWORD kBuffer = 4000;
Bytes Slow8BitMono(uint32_t sampleBytes) {
    return wave::Simple(wave::Pcm(1, 1000, 8), sampleBytes);
}
// The file position of the first sample of a wave::Simple file.
constexpr DWORD kSimpleDataOffset = 44;

void ExpectEmpty(const SoundChannel &channel) {
    EXPECT_EQ(channel.lpBuffer, nullptr);
    EXPECT_EQ(channel.hmmio, nullptr);
    EXPECT_EQ(channel.Format.wFormatTag, 0);
    EXPECT_EQ(channel.Format.nChannels, 0);
    EXPECT_EQ(channel.Format.nSamplesPerSec, 0u);
    EXPECT_EQ(channel.Format.nBlockAlign, 0);
    EXPECT_EQ(channel.Format.wBitsPerSample, 0);
    EXPECT_EQ(channel.Format.cbSize, 0);
    EXPECT_EQ(channel.RiffChunk.ckid, 0u);
    EXPECT_EQ(channel.RiffChunk.dwDataOffset, 0u);
    EXPECT_EQ(channel.DataChunk.ckid, 0u);
    EXPECT_EQ(channel.DataChunk.cksize, 0u);
    EXPECT_EQ(channel.DataChunk.dwDataOffset, 0u);
    EXPECT_EQ(channel.BufferBytes, 0u);
    EXPECT_EQ(channel.HalfBytes, 0u);
    EXPECT_EQ(channel.WriteOffset, 0u);
    EXPECT_EQ(channel.RefillPhase, 0);
    EXPECT_EQ(channel.Reading, 0);
    EXPECT_EQ(channel.Loop, 0);
    EXPECT_EQ(channel.LoopStart, 0u);
    EXPECT_EQ(channel.ReadPosition, 0u);
    for (LPDIRECTSOUNDBUFFER8 voice : channel.lpVoices) {
        EXPECT_EQ(voice, nullptr);
    }
}

// True when `length` bytes of `buffer` from `at` are the file's samples
// from sample byte `first` on.
::testing::AssertionResult HoldsSamples(const fake::SoundBuffer &buffer, DWORD at, DWORD length,
                                        DWORD first) {
    for (DWORD i = 0; i < length; ++i) {
        if (buffer.memory.at(at + i) != wave::SampleAt(first + i)) {
            return ::testing::AssertionFailure()
                   << "byte " << at + i << " is " << int(buffer.memory[at + i]) << ", not sample "
                   << first + i;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HoldsOnly(const fake::SoundBuffer &buffer, DWORD at, DWORD length,
                                     BYTE value) {
    for (DWORD i = 0; i < length; ++i) {
        if (buffer.memory.at(at + i) != value) {
            return ::testing::AssertionFailure()
                   << "byte " << at + i << " is " << int(buffer.memory[at + i]) << ", not "
                   << int(value);
        }
    }
    return ::testing::AssertionSuccess();
}

// The sound system started on the fake device, but with the worker stopped
// the way ReleaseSound stops it, so that the tests call Update themselves.
// The silent buffer is "buffer1"; the first channel buffer is "buffer2".
class Channels : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::WatchLock(&sound.SoundLock, "SoundLock");
        ASSERT_EQ(InitSound(), S_OK);
        PostThreadMessageA(sound.SoundThreadId, WM_QUIT, 0, 0);
        WaitForSingleObject(sound.hSoundThread, INFINITE);
        CloseHandle(sound.hSoundThread);
        sound.hSoundThread = nullptr;
        fake::ClearCalls();
    }
    void TearDown() override {
        ReleaseSound();
        EXPECT_EQ(fake::OpenMmioFiles(), 0) << "a wave file was left open";
        for (const std::string &call : fake::Calls()) {
            EXPECT_EQ(call.find("BAD"), std::string::npos) << call;
        }
        fake::Test::TearDown();
    }

    std::string File(const Bytes &bytes, const std::string &name = "test.wav") {
        return folder_.Write(name, bytes);
    }
    static fake::SoundBuffer &Buffer(const char *label = "buffer2") {
        fake::SoundBuffer *buffer = fake::FindSoundBuffer(label);
        EXPECT_NE(buffer, nullptr) << label;
        static fake::SoundBuffer *none = nullptr;
        return buffer ? *buffer : *none;
    }
    // Moves the play cursor of channel `index` and runs the worker's refill.
    static void UpdateAt(unsigned index, DWORD cursor) {
        Buffer().cursor = cursor;
        SoundChannels[index].Update();
    }

    wave::TempFolder folder_;
};

// The calls of opening `path`: the walk over the chunk headers, then the
// "fmt " and "data" searches, the file's size. The file stands at the first
// sample afterwards.
Calls OpenFileCalls(const std::string &path) {
    return {
        "mmioOpenA(" + path + ", 0x10000)",
        "mmioDescend(*, NULL, 0x0)",
        "mmioSeek(12, 0)",
        "mmioRead(8)",
        "mmioSeek(36, 0)",
        "mmioRead(8)",
        "mmioSeek(12, 0)",
        "mmioDescend(fmt , RIFF, 0x10)",
        "mmioRead(18)",
        "mmioSeek(12, 0)",
        "mmioDescend(data, RIFF, 0x10)",
        "mmioSeek(0, 2)",
        "mmioSeek(44, 0)",
    };
}

void Append(Calls &calls, const Calls &more) {
    calls.insert(calls.end(), more.begin(), more.end());
}

// ---- Opening ----------------------------------------------------------------

TEST_F(Channels, StaticOpenReadsTheWholeDataChunkIntoABufferOfItsSize) {
    const std::string path = File(wave::Simple(wave::Pcm(2, 44100, 16), 400));

    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), S_OK);

    Calls expected = OpenFileCalls(path);
    Append(expected, {
                         "IDirectSound8::CreateSoundBuffer(0x180e8, 400)",
                         "IDirectSoundBuffer8::QueryInterface(buffer2, IID_IDirectSoundBuffer8)",
                         "IDirectSoundBuffer8::Release(buffer2)",
                         "IDirectSoundBuffer8::Lock(buffer2, 0, 400, 0x0)",
                         "mmioRead(400)",
                         "IDirectSoundBuffer8::Unlock(buffer2, 400, 0)",
                     });
    EXPECT_EQ(fake::Calls(), expected);

    const SoundChannel &channel = SoundChannels[0];
    EXPECT_NE(channel.lpBuffer, nullptr);
    EXPECT_NE(channel.hmmio, nullptr);
    EXPECT_EQ(channel.BufferBytes, 400u);
    EXPECT_EQ(channel.HalfBytes, 0u);
    EXPECT_EQ(channel.WriteOffset, 0u);
    EXPECT_EQ(channel.RefillPhase, 0);
    EXPECT_EQ(channel.Reading, 1);
    EXPECT_EQ(channel.RiffChunk.ckid, FOURCC_RIFF);
    EXPECT_EQ(channel.RiffChunk.fccType, mmioFOURCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(channel.DataChunk.cksize, 400u);
    EXPECT_EQ(channel.DataChunk.dwDataOffset, kSimpleDataOffset);

    const fake::SoundBuffer &buffer = Buffer();
    EXPECT_EQ(buffer.desc.dwSize, sizeof(DSBUFFERDESC));
    EXPECT_EQ(buffer.desc.dwFlags, 0x180E8u);
    EXPECT_EQ(buffer.desc.dwBufferBytes, 400u);
    EXPECT_EQ(buffer.desc.dwReserved, 0u);
    EXPECT_TRUE(IsEqualGUID(buffer.desc.guid3DAlgorithm, GUID_NULL));
    EXPECT_EQ(buffer.format.nChannels, 2);
    EXPECT_EQ(buffer.format.nSamplesPerSec, 44100u);
    EXPECT_EQ(buffer.format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(buffer.format.nBlockAlign, 4);
    EXPECT_EQ(buffer.format.wBitsPerSample, 16);
    EXPECT_TRUE(HoldsSamples(buffer, 0, 400, 0));
    EXPECT_FALSE(buffer.playing) << "opening must not play";
}

TEST_F(Channels, StreamOpenHoldsTheLockForTheWholeOpen) {
    const std::string path = File(Slow8BitMono(10000));

    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), S_OK);

    Calls expected = {"EnterCriticalSection(SoundLock)"};
    Append(expected, OpenFileCalls(path));
    Append(expected, {
                         "IDirectSound8::CreateSoundBuffer(0x180e8, 4000)",
                         "IDirectSoundBuffer8::QueryInterface(buffer2, IID_IDirectSoundBuffer8)",
                         "IDirectSoundBuffer8::Release(buffer2)",
                         "IDirectSoundBuffer8::Lock(buffer2, 0, 4000, 0x0)",
                         "mmioRead(4000)",
                         "IDirectSoundBuffer8::Unlock(buffer2, 4000, 0)",
                         "LeaveCriticalSection(SoundLock)",
                     });
    EXPECT_EQ(fake::Calls(), expected);
    const SoundChannel &channel = SoundChannels[1];
    EXPECT_EQ(channel.HalfBytes, kHalf);
    EXPECT_EQ(channel.BufferBytes, kBuffer);
    EXPECT_EQ(channel.WriteOffset, 0u);
    EXPECT_EQ(channel.RefillPhase, 0);
    EXPECT_EQ(channel.Reading, 1);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, kBuffer, 0));
    EXPECT_FALSE(Buffer().playing);
}

// The lock is recursive: a stream open that fails once its sizes are set
// closes the channel while it already holds the lock.
TEST_F(Channels, StreamOpenFailingAfterSizingClosesUnderTheLockAgain) {
    const std::string path = File(Slow8BitMono(10000));
    fake::Fail("IDirectSound8::CreateSoundBuffer", DSERR_OUTOFMEMORY);

    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);

    const Calls calls = fake::Calls();
    const Calls tail(calls.end() - 5, calls.end());
    EXPECT_EQ(tail, (Calls{"IDirectSound8::CreateSoundBuffer(0x180e8, 4000)",
                           "EnterCriticalSection(SoundLock)", "mmioClose(0)",
                           "LeaveCriticalSection(SoundLock)", "LeaveCriticalSection(SoundLock)"}));
    EXPECT_EQ(calls.front(), "EnterCriticalSection(SoundLock)");
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(Channels, SixteenByteFormatChunkLendsTheNextIdToCbSize) {
    EXPECT_EQ(LoadSoundChannel(0, File(wave::Simple(wave::Pcm(1, 8000, 8, 16), 100)).c_str()),
              S_OK);
    EXPECT_EQ(SoundChannels[0].Format.cbSize, 'd' | ('a' << 8));
}

TEST_F(Channels, EighteenByteFormatChunkIsReadWhole) {
    EXPECT_EQ(LoadSoundChannel(0, File(wave::Simple(wave::Pcm(1, 8000, 8, 18), 100)).c_str()),
              S_OK);
    EXPECT_EQ(SoundChannels[0].Format.cbSize, 0);
    EXPECT_EQ(SoundChannels[0].Format.nSamplesPerSec, 8000u);
}

TEST_F(Channels, NullFileNameIsRefusedWithoutOpeningAFile) {
    EXPECT_EQ(LoadSoundChannel(0, nullptr), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(1, nullptr), E_FAIL);
    EXPECT_EQ(fake::CountOf("mmioOpenA"), 0);
    ExpectEmpty(SoundChannels[0]);
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(Channels, MissingFileIsRefused) {
    const std::string path = folder_.Path() + "missing.wav";
    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
    ExpectEmpty(SoundChannels[0]);
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(Channels, OpenFailingToOpenTheFileIsRefused) {
    fake::Fail("mmioOpenA", 1);
    EXPECT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), E_FAIL);
    ExpectEmpty(SoundChannels[0]);
}

// Once the buffer exists the open returns its first fill: a buffer that
// will not lock leaves the channel in use, its buffer unwritten.
TEST_F(Channels, FirstFillThatCannotLockKeepsTheChannelInUse) {
    fake::Fail("IDirectSoundBuffer8::Lock", DSERR_BUFFERLOST);

    EXPECT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), DSERR_BUFFERLOST);

    const SoundChannel &channel = SoundChannels[0];
    EXPECT_NE(channel.lpBuffer, nullptr);
    EXPECT_NE(channel.hmmio, nullptr);
    EXPECT_EQ(channel.BufferBytes, 100u);
    EXPECT_TRUE(HoldsOnly(Buffer(), 0, 100, 0xCD));
    EXPECT_EQ(CloseSoundChannel(0), 1);
    ExpectEmpty(channel);
}

TEST_F(Channels, ReadErrorWhileOpeningLeavesTheBufferSilent) {
    // The reads before are two chunk headers and the format.
    fake::Fail("mmioRead", -1, 4);

    EXPECT_EQ(LoadSoundChannel(0, File(Slow8BitMono(300)).c_str()), S_OK);

    EXPECT_TRUE(HoldsOnly(Buffer(), 0, 300, 0x80));
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              Calls{"IDirectSoundBuffer8::Unlock(buffer2, 0, 0)"});
}

TEST_F(Channels, ChannelDestroyedIsClosed) {
    {
        SoundChannel channel;
        ASSERT_EQ(channel.Open(File(Slow8BitMono(100)).c_str(), SOUND_CHANNEL_STATIC), S_OK);
        fake::ClearCalls();
    }
    EXPECT_EQ(fake::Calls(),
              (Calls{"EnterCriticalSection(SoundLock)", "IDirectSoundBuffer8::Stop(buffer2)",
                     "mmioClose(0)", "IDirectSoundBuffer8::Release(buffer2)",
                     "LeaveCriticalSection(SoundLock)"}));
    EXPECT_EQ(fake::OpenMmioFiles(), 0);
}

// ---- Which files open -------------------------------------------------------

struct FileCase {
    const char *name;
    Bytes (*make)();
    HRESULT staticResult;
    DWORD staticBytes; // BufferBytes of the static channel
    HRESULT streamResult;
    DWORD streamHalf; // HalfBytes of the stream
};

void PrintTo(const FileCase &c, std::ostream *out) { *out << c.name; }

Bytes Cut(Bytes bytes, size_t length) {
    bytes.resize(length);
    return bytes;
}

Bytes WithFormat(wave::Format format, uint32_t sampleBytes) {
    return wave::Simple(format, sampleBytes);
}

wave::Format Tagged(uint16_t tag, uint16_t bits, int size) {
    wave::Format format = wave::Pcm(1, 8000, bits, size);
    format.tag = tag;
    return format;
}

wave::Format Aligned(uint16_t channels, uint32_t rate, uint16_t bits, int32_t blockAlign) {
    wave::Format format = wave::Pcm(channels, rate, bits);
    format.blockAlign = blockAlign;
    return format;
}

const FileCase kFiles[] = {
    {"Pcm8BitMono", [] { return wave::Simple(wave::Pcm(1, 8000, 8), 1000); }, S_OK, 1000, S_OK,
     16000},
    {"Pcm16BitMono", [] { return wave::Simple(wave::Pcm(1, 22050, 16), 1000); }, S_OK, 1000, S_OK,
     88200},
    {"Pcm8BitStereo", [] { return wave::Simple(wave::Pcm(2, 11025, 8), 1000); }, S_OK, 1000, S_OK,
     44100},
    {"Pcm16BitStereo44100", [] { return wave::Simple(wave::Pcm(2, 44100, 16), 1000); }, S_OK, 1000,
     S_OK, 352800},
    {"DataBeforeFormat",
     [] {
         return wave::Riff({wave::DataChunk(1000), wave::FormatChunk(wave::Pcm(1, 8000, 8, 18))});
     },
     S_OK, 1000, S_OK, 16000},
    {"DataBeforeFormatBeforeList",
     [] {
         return wave::Riff({wave::DataChunk(1000), wave::FormatChunk(wave::Pcm(1, 8000, 8)),
                            wave::Chunk{"LIST", Bytes(10, 'I')}});
     },
     S_OK, 1000, S_OK, 16000},
    // The 18-byte read of a 16-byte format chunk that ends the file comes
    // up 2 bytes short.
    {"Format16BytesEndingTheFile",
     [] {
         return wave::Riff({wave::DataChunk(1000), wave::FormatChunk(wave::Pcm(1, 8000, 8))});
     },
     E_FAIL, 0, E_FAIL, 0},
    {"Format18Bytes", [] { return wave::Simple(wave::Pcm(1, 8000, 8, 18), 1000); }, S_OK, 1000,
     S_OK, 16000},
    {"OddSizedChunkBeforeData",
     [] {
         return wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)),
                            wave::Chunk{"junk", Bytes(7, 'j')}, wave::DataChunk(1000)});
     },
     S_OK, 1000, S_OK, 16000},
    {"ListAfterData",
     [] {
         return wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)), wave::DataChunk(1000),
                            wave::Chunk{"LIST", Bytes(100, 'I')}});
     },
     S_OK, 1000, S_OK, 16000},
    {"EmptyData", [] { return wave::Simple(wave::Pcm(1, 8000, 8), 0); }, E_FAIL, 0, S_OK, 16000},
    // A data chunk that runs past the end of the file holds what the file has.
    {"TruncatedInData", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 44 + 300); },
     S_OK, 300, S_OK, 16000},
    {"DataClaimsMoreThanDirectSoundHolds",
     [] {
         return wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)),
                            wave::Chunk{"data", wave::Samples(100), 0x10000000}});
     },
     S_OK, 100, S_OK, 16000},
    {"FloatTag3", [] { return WithFormat(Tagged(3, 32, 18), 1000); }, E_FAIL, 0, E_FAIL, 0},
    {"ExtensibleTag", [] { return WithFormat(Tagged(0xFFFE, 16, 40), 1000); }, E_FAIL, 0, E_FAIL,
     0},
    {"AdpcmTag2", [] { return WithFormat(Tagged(2, 4, 20), 1000); }, E_FAIL, 0, E_FAIL, 0},
    {"NotRiff",
     [] {
         Bytes bytes = wave::Simple(wave::Pcm(1, 8000, 8), 1000);
         bytes[3] = 'X';
         return bytes;
     },
     E_FAIL, 0, E_FAIL, 0},
    {"NotWave",
     [] {
         return wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)), wave::DataChunk(10)}, "AVI ");
     },
     E_FAIL, 0, E_FAIL, 0},
    {"NoFormatChunk", [] { return wave::Riff({wave::DataChunk(1000)}); }, E_FAIL, 0, E_FAIL, 0},
    {"NoDataChunk", [] { return wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8))}); }, E_FAIL,
     0, E_FAIL, 0},
    {"EmptyFile", [] { return Bytes(); }, E_FAIL, 0, E_FAIL, 0},
    {"TruncatedInRiffHeader", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 10); },
     E_FAIL, 0, E_FAIL, 0},
    {"TruncatedInFormatHeader", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 18); },
     E_FAIL, 0, E_FAIL, 0},
    {"TruncatedInFormat", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 30); }, E_FAIL,
     0, E_FAIL, 0},
    // The 18-byte read comes up 2 bytes short.
    {"TruncatedAfterFormat", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 36); },
     E_FAIL, 0, E_FAIL, 0},
    {"TruncatedInDataHeader", [] { return Cut(wave::Simple(wave::Pcm(1, 8000, 8), 1000), 40); },
     E_FAIL, 0, E_FAIL, 0},
    // DirectSound refuses the static buffer; the stream never reaches it.
    {"BlockAlignZero", [] { return WithFormat(Aligned(1, 8000, 8, 0), 1000); }, E_FAIL, 0, E_FAIL,
     0},
    // 0x10000001 Hz x 4 bytes x 4 s wraps to 16 bytes in 32 bits; a rate
    // beyond DSBFREQUENCY_MAX is refused in both modes anyway.
    {"RateOverflowingTheStreamSize", [] { return WithFormat(wave::Pcm(2, 0x10000001, 16), 1000); },
     E_FAIL, 0, E_FAIL, 0},
    {"BlockAlignOverflowingTheStreamSize",
     [] { return WithFormat(Aligned(1, 0x10000, 8, 0xFFFF), 1000); }, E_FAIL, 0, E_FAIL, 0},
};

class WaveFiles : public Channels, public ::testing::WithParamInterface<FileCase> {};

TEST_P(WaveFiles, AreOpenedOrRefusedInBothModes) {
    const FileCase &c = GetParam();
    const std::string path = File(c.make());

    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), c.staticResult);
    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), c.streamResult);

    if (c.staticResult == S_OK) {
        EXPECT_EQ(SoundChannels[0].BufferBytes, c.staticBytes);
        EXPECT_EQ(SoundChannels[0].HalfBytes, 0u);
        EXPECT_NE(SoundChannels[0].hmmio, nullptr);
    } else {
        ExpectEmpty(SoundChannels[0]);
    }
    if (c.streamResult == S_OK) {
        EXPECT_EQ(SoundChannels[1].HalfBytes, c.streamHalf);
        EXPECT_EQ(SoundChannels[1].BufferBytes, 2 * c.streamHalf);
        EXPECT_NE(SoundChannels[1].hmmio, nullptr);
    } else {
        ExpectEmpty(SoundChannels[1]);
    }
    const int open = (c.staticResult == S_OK) + (c.streamResult == S_OK);
    EXPECT_EQ(fake::OpenMmioFiles(), open);
    EXPECT_EQ(fake::SoundBuffers().size(), 1u + open) << "a refused open kept its buffer";

    CloseSoundChannel(0);
    CloseSoundChannel(1);
    EXPECT_EQ(fake::OpenMmioFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, WaveFiles, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<FileCase> &info) {
                             return std::string(info.param.name);
                         });

#ifdef FW_SOX_DIR
Bytes ReadWholeFile(const std::string &path) {
    Bytes bytes;
    if (FILE *in = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(in)) != EOF) {
            bytes.push_back(static_cast<uint8_t>(c));
        }
        std::fclose(in);
    }
    return bytes;
}
#endif

// What a real encoder writes: 8- and 16-bit PCM with a 16-byte format chunk
// open; 24-bit (WAVE_FORMAT_EXTENSIBLE) and 32-bit float (tag 3) do not.
TEST_F(Channels, FilesWrittenBySoxOpenAsTheirFormatsSay) {
#ifndef FW_SOX_DIR
    GTEST_SKIP() << "sox was not found when the build was configured";
#else
    struct Case {
        const char *file;
        HRESULT result;
        WORD channels, bits;
        DWORD rate, dataBytes;
    };
    const Case cases[] = {
        {"u8_mono_8000.wav", S_OK, 1, 8, 8000, 8000},
        {"s16_stereo_44100.wav", S_OK, 2, 16, 44100, 88200},
        {"s24_mono_22050.wav", E_FAIL, 0, 0, 0, 0},
        {"f32_mono_8000.wav", E_FAIL, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        const std::string path = std::string(FW_SOX_DIR) + c.file;
        ASSERT_EQ(LoadSoundChannel(0, path.c_str()), c.result) << c.file;
        ASSERT_EQ(StreamSoundChannel(1, path.c_str()), c.result) << c.file;
        if (c.result == S_OK) {
            EXPECT_EQ(SoundChannels[0].Format.nChannels, c.channels) << c.file;
            EXPECT_EQ(SoundChannels[0].Format.wBitsPerSample, c.bits) << c.file;
            EXPECT_EQ(SoundChannels[0].Format.nSamplesPerSec, c.rate) << c.file;
            EXPECT_EQ(SoundChannels[0].BufferBytes, c.dataBytes) << c.file;
            EXPECT_EQ(SoundChannels[1].HalfBytes, 2 * c.rate * c.channels * c.bits / 8) << c.file;
            // Both buffers start with the file's samples, which sox puts at 44.
            const Bytes file = ReadWholeFile(path);
            ASSERT_EQ(file.size(), 44u + c.dataBytes) << c.file;
            const std::vector<fake::SoundBuffer *> buffers = fake::SoundBuffers();
            ASSERT_EQ(buffers.size(), 3u);
            EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), buffers[1]->memory.begin()))
                << c.file;
            EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), buffers[2]->memory.begin()))
                << c.file;
        } else {
            ExpectEmpty(SoundChannels[0]);
            ExpectEmpty(SoundChannels[1]);
        }
        CloseSoundChannel(0);
        CloseSoundChannel(1);
    }
#endif
}

// A block alignment of 0 would divide by zero while sizing the stream.
TEST_F(Channels, StreamWithBlockAlignZeroIsRefusedBeforeSizing) {
    EXPECT_EQ(StreamSoundChannel(1, File(WithFormat(Aligned(1, 8000, 8, 0), 100)).c_str()), E_FAIL);
    EXPECT_EQ(fake::CountOf("IDirectSound8::CreateSoundBuffer"), 0);
    ExpectEmpty(SoundChannels[1]);
}

// Sizes beyond 32 bits are refused before DirectSound sees a wrapped size;
// the largest size that fits still reaches it.
TEST_F(Channels, StreamSizesBeyond32BitsAreRefused) {
    struct Case {
        const char *name;
        wave::Format format;
        int created; // CreateSoundBuffer calls
    };
    const Case cases[] = {
        {"rate x 4 x 4 = 2^32 + 16", wave::Pcm(2, 0x10000001, 16), 0},
        {"rate 0xFFFFFFFF", wave::Pcm(1, 0xFFFFFFFF, 8), 0},
        {"block alignment 0xFFFF", Aligned(1, 0x10000, 8, 0xFFFF), 0},
        {"0xFFFF0000 fits", Aligned(1, 16384, 8, 0xFFFF), 1},
    };
    for (const Case &c : cases) {
        fake::ClearCalls();
        EXPECT_EQ(StreamSoundChannel(1, File(WithFormat(c.format, 100)).c_str()), E_FAIL) << c.name;
        EXPECT_EQ(fake::CountOf("IDirectSound8::CreateSoundBuffer"), c.created) << c.name;
        ExpectEmpty(SoundChannels[1]);
    }
    EXPECT_EQ(fake::CallsOf("IDirectSound8::CreateSoundBuffer"),
              Calls{"IDirectSound8::CreateSoundBuffer(0x180e8, 4294901760)"});
}

// winmm's chunk search follows chunk sizes in 32-bit arithmetic: a size that
// wraps the position back to the chunk itself would send it round for ever.
TEST_F(Channels, ChunkSizeLeadingBackwardsIsRefusedBeforeTheSearch) {
    const Bytes file = wave::Riff({wave::Chunk{"data", wave::Samples(100), 0xFFFFFFF8},
                                   wave::FormatChunk(wave::Pcm(1, 8000, 8, 18))});

    EXPECT_EQ(LoadSoundChannel(0, File(file).c_str()), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(1, File(file).c_str()), E_FAIL);

    EXPECT_EQ(fake::CountOf("mmioDescend(fmt "), 0);
    ExpectEmpty(SoundChannels[0]);
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(Channels, ChunkWalkLooksOnlyAsFarAsTheChunksSought) {
    struct Case {
        const char *name;
        Bytes file;
        HRESULT stream;
    };
    const Case cases[] = {
        {"a chunk before them leading beyond 2 GB",
         wave::Riff({wave::Chunk{"junk", Bytes(4, 'j'), 0x7FFFFFF0},
                     wave::FormatChunk(wave::Pcm(1, 8000, 8)), wave::DataChunk(100)}),
         E_FAIL},
        // The searches stop at "data"; its own size leads nowhere they go.
        {"the data chunk last, claiming 4 GB",
         wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)),
                     wave::Chunk{"data", wave::Samples(100), 0xFFFFFFF8}}),
         S_OK},
        {"a chunk after them leading backwards",
         wave::Riff({wave::FormatChunk(wave::Pcm(1, 8000, 8)), wave::DataChunk(100),
                     wave::Chunk{"LIST", Bytes(4, 'I'), 0xFFFFFFF8}}),
         S_OK},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(StreamSoundChannel(1, File(c.file).c_str()), c.stream) << c.name;
        CloseSoundChannel(1);
    }
}

// ---- Silence and sizes ------------------------------------------------------

TEST_F(Channels, ShortStreamFillsItsStartAndSilenceTheRest) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(1000)).c_str()), S_OK);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, 1000, 0));
    EXPECT_TRUE(HoldsOnly(Buffer(), 1000, kBuffer - 1000, 0x80));
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              Calls{"IDirectSoundBuffer8::Unlock(buffer2, 1000, 0)"});
}

TEST_F(Channels, SilenceIs0x80For8BitSamplesAndZeroOtherwise) {
    struct Case {
        uint16_t bits;
        BYTE silence;
    };
    for (const Case c : {Case{8, 0x80}, Case{16, 0x00}}) {
        ASSERT_EQ(
            StreamSoundChannel(0, File(Cut(wave::Simple(wave::Pcm(1, 8000, c.bits), 200), 44 + 50),
                                       "cut" + std::to_string(c.bits) + ".wav")
                                      .c_str()),
            S_OK);
        const fake::SoundBuffer &buffer = *fake::SoundBuffers().back();
        EXPECT_TRUE(HoldsSamples(buffer, 0, 50, 0)) << c.bits;
        EXPECT_TRUE(HoldsOnly(buffer, 50, 150, c.silence)) << c.bits;
        CloseSoundChannel(0);
    }
}

TEST_F(Channels, FillSilenceNeedsABuffer) {
    BYTE region[4] = {1, 2, 3, 4};
    SoundChannel empty;
    empty.FillSilence(region, sizeof region);
    EXPECT_EQ(region[0], 1);
    EXPECT_EQ(region[3], 4);
}

TEST_F(Channels, FillWithoutABufferGivesSFalseAndLeavesTheCount) {
    SoundChannel empty;
    DWORD count = 77;
    EXPECT_EQ(empty.Fill(TRUE, 0, 100, &count), S_FALSE);
    EXPECT_EQ(count, 77u);
}

// ---- Refills ----------------------------------------------------------------

TEST_F(Channels, RefillsAlternateHalvesAsTheCursorCrossesTheMiddle) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    const SoundChannel &channel = SoundChannels[1];
    fake::ClearCalls();

    UpdateAt(1, 0);           // still in the first half
    UpdateAt(1, kBuffer / 2); // exactly at the middle
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::Lock"), 0);

    UpdateAt(1, kBuffer / 2 + 1);
    EXPECT_EQ(channel.WriteOffset, kHalf);
    EXPECT_EQ(channel.RefillPhase, 1);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, kHalf, 4000));
    EXPECT_TRUE(HoldsSamples(Buffer(), kHalf, kHalf, 2000)) << "the half playing was touched";

    UpdateAt(1, 3999); // still in the second half
    UpdateAt(1, kBuffer / 2);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::Lock"), 1);

    UpdateAt(1, 1999);
    EXPECT_EQ(channel.WriteOffset, 0u);
    EXPECT_EQ(channel.RefillPhase, 0);
    EXPECT_TRUE(HoldsSamples(Buffer(), kHalf, kHalf, 6000));

    UpdateAt(1, 0);
    UpdateAt(1, 3000);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, kHalf, 8000));
    EXPECT_EQ(channel.Reading, 1);

    const Calls expected = {
        "IDirectSoundBuffer8::Lock(buffer2, 0, 2000, 0x0)",
        "mmioRead(2000)",
        "IDirectSoundBuffer8::Unlock(buffer2, 2000, 0)",
        "IDirectSoundBuffer8::Lock(buffer2, 2000, 2000, 0x0)",
        "mmioRead(2000)",
        "IDirectSoundBuffer8::Unlock(buffer2, 2000, 0)",
        "IDirectSoundBuffer8::Lock(buffer2, 0, 2000, 0x0)",
        "mmioRead(2000)",
        "IDirectSoundBuffer8::Unlock(buffer2, 2000, 0)",
    };
    Calls refills;
    for (const std::string &call : fake::Calls()) {
        if (call.find("GetCurrentPosition") == std::string::npos) {
            refills.push_back(call);
        }
    }
    EXPECT_EQ(refills, expected);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::GetCurrentPosition(buffer2)"), 8);
}

TEST_F(Channels, CursorThatCannotBeReadCountsAsZero) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    Buffer().cursor = 3000;
    fake::Fail("IDirectSoundBuffer8::GetCurrentPosition", DSERR_BUFFERLOST);
    SoundChannels[1].Update();
    EXPECT_EQ(SoundChannels[1].RefillPhase, 0) << "refilled with the cursor at 0";

    SoundChannels[1].Update();
    ASSERT_EQ(SoundChannels[1].RefillPhase, 1);
    Buffer().cursor = 3000;
    fake::Fail("IDirectSoundBuffer8::GetCurrentPosition", DSERR_BUFFERLOST);
    SoundChannels[1].Update();
    EXPECT_EQ(SoundChannels[1].RefillPhase, 0) << "the cursor at 0 is before the middle";
}

TEST_F(Channels, StreamWithoutLoopRunsOutThenWritesSilence) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(5000)).c_str()), S_OK);
    const SoundChannel &channel = SoundChannels[1];
    fake::ClearCalls();

    UpdateAt(1, 3000); // reads the last 1000 bytes
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, 1000, 4000));
    EXPECT_TRUE(HoldsOnly(Buffer(), 1000, 1000, 0x80));
    EXPECT_EQ(channel.Reading, 1);

    UpdateAt(1, 100); // reads nothing: the stream has run out
    EXPECT_TRUE(HoldsOnly(Buffer(), kHalf, kHalf, 0x80));
    EXPECT_EQ(channel.Reading, 0);

    UpdateAt(1, 3000); // silence, without reading
    EXPECT_TRUE(HoldsOnly(Buffer(), 0, kHalf, 0x80));
    UpdateAt(1, 100);
    EXPECT_EQ(channel.Reading, 0);

    EXPECT_EQ(fake::CallsOf("mmioRead"), Calls{"mmioRead(1000)"});
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              (Calls{"IDirectSoundBuffer8::Unlock(buffer2, 1000, 0)",
                     "IDirectSoundBuffer8::Unlock(buffer2, 0, 0)",
                     "IDirectSoundBuffer8::Unlock(buffer2, 2000, 0)",
                     "IDirectSoundBuffer8::Unlock(buffer2, 2000, 0)"}));
    EXPECT_EQ(fake::CountOf("mmioSeek"), 0);
}

// The last sample is followed by the first in the same refill: no silence.
TEST_F(Channels, LoopingStreamGoesOnFromTheFirstSampleWithoutAGap) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(5000)).c_str()), S_OK);
    EXPECT_EQ(SetSoundChannelLoop(1, 1), S_OK);
    const SoundChannel &channel = SoundChannels[1];
    fake::ClearCalls();

    UpdateAt(1, 3000);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, 1000, 4000));
    EXPECT_TRUE(HoldsSamples(Buffer(), 1000, 1000, 0));
    EXPECT_EQ(channel.Reading, 1);
    EXPECT_EQ(fake::CallsOf("mmioSeek"),
              Calls{"mmioSeek(" + std::to_string(kSimpleDataOffset) + ", 0)"});

    UpdateAt(1, 100);
    EXPECT_TRUE(HoldsSamples(Buffer(), kHalf, kHalf, 1000));
}

// Chunks after "data" are not sound: reading stops at its end, and a loop
// starts over inside it.
TEST_F(Channels, StreamStopsReadingAtTheEndOfTheDataChunk) {
    const Bytes file = wave::Riff({wave::FormatChunk(wave::Pcm(1, 1000, 8)), wave::DataChunk(5000),
                                   wave::Chunk{"LIST", Bytes(500, 'I')}});
    ASSERT_EQ(StreamSoundChannel(1, File(file).c_str()), S_OK);
    SetSoundChannelLoop(1, 1);
    fake::ClearCalls();

    UpdateAt(1, 3000);
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, 1000, 4000));
    EXPECT_TRUE(HoldsSamples(Buffer(), 1000, 1000, 0)) << "bytes after the data chunk played";
    UpdateAt(1, 100);
    EXPECT_TRUE(HoldsSamples(Buffer(), kHalf, kHalf, 1000));

    EXPECT_EQ(fake::CallsOf("mmioRead"),
              (Calls{"mmioRead(1000)", "mmioRead(1000)", "mmioRead(2000)"}));
}

TEST_F(Channels, ReadErrorEndsTheDataAndLeavesTheRegionSilent) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    fake::ClearCalls();
    fake::Fail("mmioRead", -1);

    UpdateAt(1, 3000);

    EXPECT_TRUE(HoldsOnly(Buffer(), 0, kHalf, 0x80));
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              Calls{"IDirectSoundBuffer8::Unlock(buffer2, 0, 0)"});
    EXPECT_EQ(SoundChannels[1].Reading, 0);
    UpdateAt(1, 100);
    EXPECT_TRUE(HoldsOnly(Buffer(), kHalf, kHalf, 0x80));
    EXPECT_EQ(fake::CountOf("mmioRead"), 1);
}

TEST_F(Channels, ReadErrorInALoopingStreamStartsOver) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    SetSoundChannelLoop(1, 1);
    fake::Fail("mmioRead", -1);

    UpdateAt(1, 3000); // the failed read ends the lap; the next starts at once
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, kHalf, 0));
    EXPECT_EQ(SoundChannels[1].Reading, 1);

    UpdateAt(1, 100);
    EXPECT_TRUE(HoldsSamples(Buffer(), kHalf, kHalf, kHalf));
}

TEST_F(Channels, WrappedLockIsFilledRegionByRegion) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    Buffer().ScriptLock({3500, 500, 0, 1500});
    fake::ClearCalls();

    UpdateAt(1, 3000);

    EXPECT_TRUE(HoldsSamples(Buffer(), 3500, 500, 4000));
    EXPECT_TRUE(HoldsSamples(Buffer(), 0, 1500, 4500));
    EXPECT_EQ(fake::CallsOf("mmioRead"), (Calls{"mmioRead(500)", "mmioRead(1500)"}));
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              Calls{"IDirectSoundBuffer8::Unlock(buffer2, 500, 1500)"});
}

TEST_F(Channels, WrappedLockWhereTheDataEndsInTheFirstRegion) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(4300)).c_str()), S_OK);
    Buffer().ScriptLock({3500, 500, 0, 1500});
    fake::ClearCalls();

    UpdateAt(1, 3000);

    EXPECT_TRUE(HoldsSamples(Buffer(), 3500, 300, 4000));
    EXPECT_TRUE(HoldsOnly(Buffer(), 3800, 200, 0x80));
    EXPECT_TRUE(HoldsOnly(Buffer(), 0, 1500, 0x80));
    EXPECT_EQ(fake::CallsOf("IDirectSoundBuffer8::Unlock"),
              Calls{"IDirectSoundBuffer8::Unlock(buffer2, 300, 0)"});
    EXPECT_EQ(SoundChannels[1].Reading, 1);
}

TEST_F(Channels, RefillThatCannotLockEndsTheStreamUnlessItLoops) {
    for (const LONG loop : {0, 1}) {
        ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
        SetSoundChannelLoop(1, loop);
        fake::Fail("IDirectSoundBuffer8::Lock", DSERR_BUFFERLOST);
        fake::FindSoundBuffer(fake::SoundBuffers().back()->label)->cursor = 3000;

        SoundChannels[1].Update();

        EXPECT_EQ(SoundChannels[1].RefillPhase, 1) << loop;
        EXPECT_EQ(SoundChannels[1].Reading, loop) << loop;
        CloseSoundChannel(1);
    }
}

TEST_F(Channels, UpdateLeavesStaticAndEmptyChannelsAlone) {
    ASSERT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), S_OK);
    fake::ClearCalls();
    for (SoundChannel &channel : SoundChannels) {
        channel.Update();
    }
    EXPECT_EQ(fake::Calls(), Calls{});
}

// ---- Playing, stopping, closing ---------------------------------------------

TEST_F(Channels, StaticChannelPlaysOnceFromTheStartEachTime) {
    ASSERT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), S_OK);
    SetSoundChannelLoop(0, 1); // no effect on a static channel
    fake::ClearCalls();

    EXPECT_EQ(PlaySoundChannel(0), S_OK);
    Buffer().cursor = 60;
    EXPECT_EQ(PlaySoundChannel(0), S_OK);

    EXPECT_EQ(fake::Calls(), (Calls{"IDirectSoundBuffer8::SetCurrentPosition(buffer2, 0)",
                                    "IDirectSoundBuffer8::Play(buffer2, 0, 0, 0x0)",
                                    "IDirectSoundBuffer8::SetCurrentPosition(buffer2, 0)",
                                    "IDirectSoundBuffer8::Play(buffer2, 0, 0, 0x0)"}));
    EXPECT_EQ(Buffer().cursor, 0u);
}

TEST_F(Channels, StaticPlayReturnsThePlayResult) {
    ASSERT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), S_OK);
    fake::Fail("IDirectSoundBuffer8::Play", DSERR_BUFFERLOST);
    EXPECT_EQ(PlaySoundChannel(0), DSERR_BUFFERLOST);
}

TEST_F(Channels, StreamPlaysLoopingUnderTheLockWithoutRewinding) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(PlaySoundChannel(1), S_OK);

    EXPECT_EQ(fake::Calls(), (Calls{"EnterCriticalSection(SoundLock)",
                                    "IDirectSoundBuffer8::Play(buffer2, 0, 0, 0x1)",
                                    "LeaveCriticalSection(SoundLock)"}));
    fake::Fail("IDirectSoundBuffer8::Play", DSERR_BUFFERLOST);
    EXPECT_EQ(PlaySoundChannel(1), DSERR_BUFFERLOST);
}

TEST_F(Channels, StoppedStreamResumesWhereItStopped) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    ASSERT_EQ(PlaySoundChannel(1), S_OK);
    Buffer().cursor = 1234;
    fake::ClearCalls();

    EXPECT_EQ(StopSoundChannel(1), S_OK);
    EXPECT_FALSE(Buffer().playing);
    SoundChannels[1].Update(); // a stopped cursor refills nothing
    EXPECT_EQ(PlaySoundChannel(1), S_OK);

    EXPECT_TRUE(Buffer().playing);
    EXPECT_EQ(Buffer().cursor, 1234u);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::SetCurrentPosition"), 0);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::Lock"), 0);
    // Stopping takes no lock.
    const Calls calls = fake::Calls();
    EXPECT_EQ(calls.front(), "IDirectSoundBuffer8::Stop(buffer2)");
}

TEST_F(Channels, ClosingAPlayingStreamStopsItUnderTheLock) {
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    ASSERT_EQ(PlaySoundChannel(1), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(CloseSoundChannel(1), 1);

    EXPECT_EQ(fake::Calls(),
              (Calls{"EnterCriticalSection(SoundLock)", "IDirectSoundBuffer8::Stop(buffer2)",
                     "mmioClose(0)", "IDirectSoundBuffer8::Release(buffer2)",
                     "LeaveCriticalSection(SoundLock)"}));
    ExpectEmpty(SoundChannels[1]);
    fake::ClearCalls();
    SoundChannels[1].Update();
    EXPECT_EQ(fake::Calls(), Calls{}) << "the worker still touches a closed stream";
}

// The worker applies fades and the master volume to static channels too, so
// closing one takes the lock.
TEST_F(Channels, ClosingAStaticChannelTakesTheLock) {
    ASSERT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(CloseSoundChannel(0), 1);

    EXPECT_EQ(fake::Calls(),
              (Calls{"EnterCriticalSection(SoundLock)", "IDirectSoundBuffer8::Stop(buffer2)",
                     "mmioClose(0)", "IDirectSoundBuffer8::Release(buffer2)",
                     "LeaveCriticalSection(SoundLock)"}));
    ExpectEmpty(SoundChannels[0]);
}

// The fake device cannot duplicate a buffer: an overlapped play then
// restarts the oldest play, the channel's own buffer.
TEST_F(Channels, OverlappedPlayWithoutADuplicateRestartsTheBuffer) {
    ASSERT_EQ(LoadSoundChannel(0, File(Slow8BitMono(100)).c_str()), S_OK);
    ASSERT_EQ(PlaySoundChannelOverlapped(0), S_OK);
    Buffer().cursor = 60;

    EXPECT_EQ(PlaySoundChannelOverlapped(0), S_OK);

    EXPECT_EQ(fake::CountOf("IDirectSound8::DuplicateSoundBuffer"), 1);
    EXPECT_TRUE(Buffer().playing);
    EXPECT_EQ(Buffer().cursor, 0u);
    EXPECT_EQ(SoundChannels[0].lpVoices[0], nullptr);
    ASSERT_EQ(StreamSoundChannel(1, File(Slow8BitMono(10000)).c_str()), S_OK);
    EXPECT_EQ(PlaySoundChannelOverlapped(1), E_FAIL) << "a stream";
}

TEST_F(Channels, EmptyChannelCannotPlayOrStopAndClosesWithOne) {
    EXPECT_EQ(PlaySoundChannel(7), E_FAIL);
    EXPECT_EQ(PlaySoundChannelOverlapped(7), E_FAIL);
    EXPECT_EQ(SetSoundChannelPan(7, 0), E_FAIL);
    EXPECT_EQ(StopSoundChannel(7), E_FAIL);
    EXPECT_EQ(CloseSoundChannel(7), 1);
    EXPECT_EQ(fake::Calls(), Calls{});
}

TEST_F(Channels, OpeningAChannelInUseFailsAndKeepsItsSound) {
    const std::string path = File(Slow8BitMono(100));
    ASSERT_EQ(LoadSoundChannel(0, path.c_str()), S_OK);
    const LPDIRECTSOUNDBUFFER8 buffer = SoundChannels[0].lpBuffer;
    fake::ClearCalls();

    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
    EXPECT_EQ(StreamSoundChannel(0, path.c_str()), E_FAIL);

    EXPECT_EQ(fake::Calls(), Calls{});
    EXPECT_EQ(SoundChannels[0].lpBuffer, buffer);
    EXPECT_EQ(SoundChannels[0].BufferBytes, 100u);
    EXPECT_EQ(CloseSoundChannel(0), 1);
    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), S_OK);
}

TEST_F(Channels, LoopFlagIsStoredAndClearedByOpenAndClose) {
    const std::string path = File(Slow8BitMono(100));
    EXPECT_EQ(SetSoundChannelLoop(3, 5), S_OK);
    EXPECT_EQ(SoundChannels[3].Loop, 5);
    ASSERT_EQ(LoadSoundChannel(3, path.c_str()), S_OK);
    EXPECT_EQ(SoundChannels[3].Loop, 0);
    EXPECT_EQ(SoundChannels[3].LoopStart, 0u);
    SetSoundChannelLoop(3, 1);
    CloseSoundChannel(3);
    EXPECT_EQ(SoundChannels[3].Loop, 0);
}

TEST_F(Channels, LastChannelIs255) {
    const std::string path = File(Slow8BitMono(100));
    EXPECT_EQ(IsSoundChannelInvalid(255), 0);
    EXPECT_EQ(IsSoundChannelInvalid(0), 0);
    EXPECT_EQ(LoadSoundChannel(255, path.c_str()), S_OK);
    EXPECT_EQ(PlaySoundChannel(255), S_OK);
    EXPECT_EQ(StopSoundChannel(255), S_OK);
    EXPECT_EQ(SetSoundChannelLoop(255, 1), S_OK);
    EXPECT_EQ(CloseSoundChannel(255), 1);
    EXPECT_EQ(StreamSoundChannel(255, path.c_str()), S_OK);
}

TEST_F(Channels, IndexBeyondTheTableTouchesNoChannel) {
    const std::string path = File(Slow8BitMono(100));
    fake::ClearCalls();
    for (const unsigned index : {256u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(IsSoundChannelInvalid(index), 1) << index;
        EXPECT_EQ(LoadSoundChannel(index, path.c_str()), E_FAIL) << index;
        EXPECT_EQ(StreamSoundChannel(index, path.c_str()), E_FAIL) << index;
        EXPECT_EQ(PlaySoundChannel(index), E_FAIL) << index;
        EXPECT_EQ(StopSoundChannel(index), E_FAIL) << index;
        EXPECT_EQ(CloseSoundChannel(index), E_FAIL) << index;
        EXPECT_EQ(SetSoundChannelLoop(index, 1), E_FAIL) << index;
        EXPECT_EQ(PlaySoundChannelOverlapped(index), E_FAIL) << index;
        EXPECT_EQ(SetSoundChannelVolume(index, 0), E_FAIL) << index;
    }
    EXPECT_EQ(fake::Calls(), Calls{});
}

// ---- CreateChannelBuffer ----------------------------------------------------

TEST_F(Channels, ChannelBufferNeedsADeviceAndAFormat) {
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(CreateChannelBuffer(nullptr, 100, 0x180E8), nullptr);
    const LPDIRECTSOUND8 device = sound.lpDS;
    sound.lpDS = nullptr;
    EXPECT_EQ(CreateChannelBuffer(&format, 100, 0x180E8), nullptr);
    sound.lpDS = device;
    EXPECT_EQ(fake::Calls(), Calls{});
}

TEST_F(Channels, ChannelBufferIsTheEighthInterfaceOfANewBuffer) {
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};

    const LPDIRECTSOUNDBUFFER8 buffer = CreateChannelBuffer(&format, 1234, 0x80);

    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(fake::Calls(),
              (Calls{"IDirectSound8::CreateSoundBuffer(0x80, 1234)",
                     "IDirectSoundBuffer8::QueryInterface(buffer2, IID_IDirectSoundBuffer8)",
                     "IDirectSoundBuffer8::Release(buffer2)"}));
    EXPECT_EQ(Buffer().desc.dwSize, sizeof(DSBUFFERDESC));
    EXPECT_EQ(Buffer().format.nSamplesPerSec, 22050u);
    EXPECT_EQ(Buffer().Refs(), 1u);
    buffer->Release();
}

TEST_F(Channels, ChannelBufferFailuresGiveNull) {
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    fake::Fail("IDirectSound8::CreateSoundBuffer", DSERR_OUTOFMEMORY);
    EXPECT_EQ(CreateChannelBuffer(&format, 100, 0x180E8), nullptr);
    fake::Fail("IDirectSoundBuffer8::QueryInterface", E_NOINTERFACE);
    EXPECT_EQ(CreateChannelBuffer(&format, 100, 0x180E8), nullptr);
    EXPECT_EQ(fake::SoundBuffers().size(), 1u) << "the first interface was kept";
}

// ---- Without the sound system -----------------------------------------------

// SoundLock exists only while the sound system runs: stream operations then
// fail instead of touching a lock that is not there.
class ChannelsWithoutSound : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::WatchLock(&sound.SoundLock, "SoundLock");
    }
    void TearDown() override {
        for (const std::string &call : fake::Calls()) {
            EXPECT_EQ(call.find("BAD"), std::string::npos) << call;
        }
        EXPECT_EQ(fake::OpenMmioFiles(), 0);
        fake::Test::TearDown();
    }
    wave::TempFolder folder_;
};

TEST_F(ChannelsWithoutSound, StreamOpenFailsBeforeInitSound) {
    const std::string path = folder_.Write("a.wav", Slow8BitMono(100));
    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
    EXPECT_EQ(fake::CountOf("mmioOpenA"), 0);
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(ChannelsWithoutSound, StreamOpenFailsAfterReleaseSound) {
    const std::string path = folder_.Write("a.wav", Slow8BitMono(100));
    ASSERT_EQ(InitSound(), S_OK);
    ASSERT_EQ(ReleaseSound(), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(StreamSoundChannel(1, path.c_str()), E_FAIL);
    EXPECT_EQ(SoundChannels[1].Play(), E_FAIL);

    EXPECT_EQ(fake::Calls(), Calls{});
    ExpectEmpty(SoundChannels[1]);
}

TEST_F(ChannelsWithoutSound, StaticOpenFailsWithoutADeviceAndClosesTheFile) {
    const std::string path = folder_.Write("a.wav", Slow8BitMono(100));
    EXPECT_EQ(LoadSoundChannel(0, path.c_str()), E_FAIL);
    EXPECT_EQ(fake::CountOf("mmioClose"), 1);
    ExpectEmpty(SoundChannels[0]);
}

// ---- With the worker running ------------------------------------------------

class ChannelsWithWorker : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::WatchLock(&sound.SoundLock, "SoundLock");
        ASSERT_EQ(InitSound(), S_OK);
    }
    void TearDown() override {
        ReleaseSound();
        EXPECT_EQ(fake::ThreadsAlive(), 0);
        EXPECT_EQ(fake::OpenMmioFiles(), 0);
        fake::Test::TearDown();
    }
    wave::TempFolder folder_;
};

template <class Condition> bool WaitUntil(Condition done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) {
            return true;
        }
        SleepEx(10, FALSE);
    }
    return done();
}

TEST_F(ChannelsWithWorker, WorkerRefillsAStreamInsideItsPass) {
    ASSERT_EQ(StreamSoundChannel(1, folder_.Write("a.wav", Slow8BitMono(10000)).c_str()), S_OK);
    ASSERT_EQ(PlaySoundChannel(1), S_OK);
    fake::ClearCalls();

    fake::FindSoundBuffer("buffer2")->cursor = 3000;
    ASSERT_TRUE(WaitUntil([] { return fake::CountOf("IDirectSoundBuffer8::Unlock") > 0; }));
    ReleaseSound();

    const Calls calls = fake::Calls();
    const auto lock =
        std::find(calls.begin(), calls.end(), "IDirectSoundBuffer8::Lock(buffer2, 0, 2000, 0x0)");
    ASSERT_NE(lock, calls.end());
    const auto entered = std::find(std::make_reverse_iterator(lock), calls.rend(),
                                   "EnterCriticalSection(SoundLock)");
    const auto left = std::find(std::make_reverse_iterator(lock), calls.rend(),
                                "LeaveCriticalSection(SoundLock)");
    EXPECT_LT(entered - std::make_reverse_iterator(lock), left - std::make_reverse_iterator(lock))
        << "the refill ran outside the worker's locked pass";
    EXPECT_EQ(
        std::count(calls.begin(), calls.end(), "IDirectSoundBuffer8::Lock(buffer2, 0, 2000, 0x0)"),
        1);
}

// Shutdown while a stream plays: the worker ends first, then the stream is
// stopped, its file closed and its buffer released, under the lock that
// still exists, and only then is the lock deleted.
TEST_F(ChannelsWithWorker, ReleaseSoundStopsTheWorkerBeforeClosingAPlayingStream) {
    ASSERT_EQ(StreamSoundChannel(1, folder_.Write("a.wav", Slow8BitMono(10000)).c_str()), S_OK);
    ASSERT_EQ(PlaySoundChannel(1), S_OK);
    ASSERT_TRUE(
        WaitUntil([] { return fake::CountOf("IDirectSoundBuffer8::GetCurrentPosition") > 0; }));
    fake::ClearCalls();

    ReleaseSound();

    const Calls calls = fake::Calls();
    const auto closed = std::find(calls.begin(), calls.end(), "CloseHandle(thread)");
    ASSERT_NE(closed, calls.end());
    EXPECT_NE(std::find(calls.begin(), closed, "PostThreadMessageA(0x12)"), closed);
    EXPECT_NE(std::find(calls.begin(), closed, "WaitForSingleObject(thread, INFINITE)"), closed);
    const Calls after(closed + 1, calls.end());
    const Calls expected = {
        "EnterCriticalSection(SoundLock)",
        "IDirectSoundBuffer8::Stop(buffer2)",
        "mmioClose(0)",
        "IDirectSoundBuffer8::Release(buffer2)",
        "LeaveCriticalSection(SoundLock)",
        "DeleteCriticalSection(SoundLock)",
        "IDirectSoundBuffer8::Release(buffer1)",
        "IDirectSound8::Release",
        "CoUninitialize",
    };
    EXPECT_EQ(after, expected);
    ExpectEmpty(SoundChannels[1]);
}

} // namespace
