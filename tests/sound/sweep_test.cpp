// Corrupted wave files: thousands of seeded, reproducible variants of valid
// files, each opened static and streaming and, when accepted, played
// through a few refills. None may crash or hang; each open either succeeds
// with the channel in use or fails with E_FAIL and leaves the channel empty,
// its file closed and no buffer behind.
#include <fw/sound/channel.h>

#include <fw/sound/sound.h>

#include "fake/dsound.h"
#include "fake/fake.h"
#include "fake/mmio.h"
#include "wave_file.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using wave::Bytes;

constexpr unsigned kSeed = 20261208;
constexpr int kVariants = 2000;

std::vector<Bytes> ValidFiles() {
    return {
        wave::Simple(wave::Pcm(1, 1000, 8), 3000),
        wave::Simple(wave::Pcm(2, 2000, 16), 9000),
        wave::Riff({wave::DataChunk(2500), wave::FormatChunk(wave::Pcm(1, 1500, 16, 18))}),
        wave::Riff({wave::FormatChunk(wave::Pcm(2, 1000, 8, 18)), wave::DataChunk(4001),
                    wave::Chunk{"LIST", Bytes(64, 'I')}}),
        wave::Riff({wave::FormatChunk(wave::Pcm(1, 800, 8)), wave::Chunk{"junk", Bytes(9, 'j')},
                    wave::DataChunk(1200)}),
    };
}

uint32_t Interesting32(std::mt19937 &random, size_t fileSize) {
    const uint32_t values[] = {0,          1,          2,          3,          4,
                               16,         18,         0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                               0xFFFFFFFE, 0xFFFFFFF8, 0x10000000, 0x0FFFFFFF, 0x00010000};
    switch (random() % 3) {
    case 0:
        return values[random() % (sizeof values / sizeof values[0])];
    case 1:
        return static_cast<uint32_t>(fileSize) + random() % 16 - 8;
    default:
        return static_cast<uint32_t>(random());
    }
}

uint16_t Interesting16(std::mt19937 &random) {
    const uint16_t values[] = {0, 1, 2, 3, 4, 8, 16, 24, 0x7FFF, 0x8000, 0xFFFF, 0xFFFE};
    return random() % 4 ? values[random() % (sizeof values / sizeof values[0])]
                        : static_cast<uint16_t>(random());
}

// Most corruptions land in the headers (the first 64 bytes and the chunk
// headers), where they change what the open decides.
size_t Where(std::mt19937 &random, size_t size) {
    if (size == 0) {
        return 0;
    }
    return random() % 4 ? random() % std::min<size_t>(size, 64) : random() % size;
}

Bytes Mutate(Bytes file, std::mt19937 &random) {
    const int count = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < count && !file.empty(); ++i) {
        switch (random() % 4) {
        case 0:
            file[Where(random, file.size())] = static_cast<uint8_t>(random());
            break;
        case 1:
            wave::Put32(file, Where(random, file.size()), Interesting32(random, file.size()));
            break;
        case 2:
            wave::Put16(file, Where(random, file.size()), Interesting16(random));
            break;
        default:
            file.resize(random() % (file.size() + 1));
            break;
        }
    }
    return file;
}

class CorruptedFiles : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        ASSERT_EQ(InitSound(), S_OK);
        // The worker stays: its passes meet the channel as they would in a
        // running program. A real device might allocate what a corrupted
        // size asks for; the fake stops at 1 MB, as if out of memory.
        fake::SetSoundMemoryLimit(1u << 20);
    }
    void TearDown() override {
        ReleaseSound();
        fake::Test::TearDown();
    }
    wave::TempFolder folder_;
};

bool IsEmpty(const SoundChannel &c) {
    return !c.lpBuffer && !c.hmmio && c.Format.wFormatTag == 0 && c.Format.nChannels == 0 &&
           c.Format.nSamplesPerSec == 0 && c.RiffChunk.ckid == 0 && c.DataChunk.ckid == 0 &&
           c.DataChunk.cksize == 0 && c.BufferBytes == 0 && c.HalfBytes == 0 &&
           c.WriteOffset == 0 && c.RefillPhase == 0 && c.Reading == 0 && c.Loop == 0 &&
           c.LoopStart == 0 && c.ReadPosition == 0;
}

// A few half-cycles of the play cursor, the worker's refills among them.
void PlayThrough(unsigned index, std::mt19937 &random) {
    SoundChannel &channel = SoundChannels[index];
    SetSoundChannelLoop(index, static_cast<LONG>(random() % 2));
    PlaySoundChannel(index);
    fake::SoundBuffer *buffer = fake::SoundBuffers().back();
    for (int half = 0; half < 4; ++half) {
        buffer->cursor = half % 2 == 0 ? channel.BufferBytes - 1 : 0;
        EnterCriticalSection(&sound.SoundLock);
        channel.Update();
        LeaveCriticalSection(&sound.SoundLock);
    }
    StopSoundChannel(index);
}

TEST_F(CorruptedFiles, OpenCleanlyOrAreRefusedWithTheChannelEmpty) {
    std::mt19937 random(kSeed);
    const std::vector<Bytes> valid = ValidFiles();
    const DWORD start = GetTickCount();
    int opened = 0;
    int refused = 0;
    for (int i = 0; i < kVariants; ++i) {
        const Bytes file = Mutate(valid[i % valid.size()], random);
        const std::string path = folder_.Write("variant.wav", file);
        for (const bool stream : {false, true}) {
            SCOPED_TRACE("seed " + std::to_string(kSeed) + ", variant " + std::to_string(i) +
                         (stream ? ", streaming" : ", static"));
            fake::ClearCalls();
            const HRESULT hr =
                stream ? StreamSoundChannel(0, path.c_str()) : LoadSoundChannel(0, path.c_str());
            const SoundChannel &channel = SoundChannels[0];
            if (hr == S_OK) {
                ++opened;
                ASSERT_NE(channel.lpBuffer, nullptr);
                ASSERT_NE(channel.hmmio, nullptr);
                ASSERT_NE(channel.BufferBytes, 0u);
                ASSERT_EQ(channel.HalfBytes != 0, stream);
                ASSERT_EQ(channel.Format.wFormatTag, WAVE_FORMAT_PCM);
                ASSERT_EQ(fake::OpenMmioFiles(), 1);
                ASSERT_EQ(fake::SoundBuffers().size(), 2u);
                PlayThrough(0, random);
            } else {
                ++refused;
                ASSERT_EQ(hr, E_FAIL);
                ASSERT_TRUE(IsEmpty(channel));
                ASSERT_EQ(fake::OpenMmioFiles(), 0);
                ASSERT_EQ(fake::SoundBuffers().size(), 1u) << "a refused open kept its buffer";
            }
            ASSERT_EQ(CloseSoundChannel(0), 1);
            ASSERT_TRUE(IsEmpty(channel));
            ASSERT_EQ(fake::OpenMmioFiles(), 0);
        }
        ASSERT_LT(GetTickCount() - start, 60000u) << "the sweep is stuck";
    }
    std::printf("%d variants, seed %u: %d opens accepted, %d refused, %lu ms\n", kVariants, kSeed,
                opened, refused, GetTickCount() - start);
    EXPECT_GT(opened, kVariants / 10) << "the corruptions leave too little to play";
    EXPECT_GT(refused, kVariants / 10) << "the corruptions leave too little to refuse";
}

} // namespace
