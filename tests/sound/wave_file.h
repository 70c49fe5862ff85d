// Wave files for the sound tests, built byte by byte so that each test can
// place, size, cut and corrupt chunks at will, and written to a temporary
// folder of the test process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wave {

using Bytes = std::vector<uint8_t>;

// A chunk: four-character id, body, and the size its header claims
// (the body's size unless set).
struct Chunk {
    std::string id;
    Bytes body;
    int64_t claimedSize = -1;
};

// The fields of a format chunk, with the block alignment and byte rate of
// PCM unless set; `size` 16 or 18 (cbSize 0) or any other length.
struct Format {
    uint16_t tag = WAVE_FORMAT_PCM;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t bits = 8;
    int32_t blockAlign = -1;
    int64_t bytesPerSecond = -1;
    int size = 16;
};

// A PCM format with a `size`-byte "fmt " chunk.
Format Pcm(uint16_t channels, uint32_t rate, uint16_t bits, int size = 16);

Chunk FormatChunk(const Format &format);
// `count` sample bytes that are never a silence byte (0x00 or 0x80), each
// telling its position: sample i is 1 + i % 127.
Bytes Samples(uint32_t count);
inline uint8_t SampleAt(uint32_t i) { return static_cast<uint8_t>(1 + i % 127); }
Chunk DataChunk(uint32_t sampleBytes);

// "RIFF", size, form type, then the chunks (each padded to an even size).
Bytes Riff(const std::vector<Chunk> &chunks, const char *form = "WAVE", int64_t claimedSize = -1);
// The common file: "fmt " (16 bytes) then "data".
Bytes Simple(const Format &format, uint32_t sampleBytes);

// Little-endian stores into a file image, for corrupting one.
void Put16(Bytes &bytes, size_t at, uint16_t value);
void Put32(Bytes &bytes, size_t at, uint32_t value);

// A temporary folder of this process, removed with everything in it when the
// object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    // Writes `bytes` to `name` in the folder (replacing it); the full path.
    std::string Write(const std::string &name, const Bytes &bytes);
    const std::string &Path() const { return path_; }

  private:
    std::string path_;
    std::vector<std::string> files_;
};

} // namespace wave
