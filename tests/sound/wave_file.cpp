#include "wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace wave {
namespace {

void Append32(Bytes &bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void Append16(Bytes &bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendId(Bytes &bytes, const std::string &id) {
    for (size_t i = 0; i < 4; ++i) {
        bytes.push_back(i < id.size() ? static_cast<uint8_t>(id[i]) : ' ');
    }
}

} // namespace

Format Pcm(uint16_t channels, uint32_t rate, uint16_t bits, int size) {
    Format format;
    format.channels = channels;
    format.rate = rate;
    format.bits = bits;
    format.size = size;
    return format;
}

Chunk FormatChunk(const Format &format) {
    const uint16_t blockAlign = format.blockAlign >= 0
                                    ? static_cast<uint16_t>(format.blockAlign)
                                    : static_cast<uint16_t>(format.channels * format.bits / 8);
    const uint32_t bytesPerSecond = format.bytesPerSecond >= 0
                                        ? static_cast<uint32_t>(format.bytesPerSecond)
                                        : blockAlign * format.rate;
    Bytes body;
    Append16(body, format.tag);
    Append16(body, format.channels);
    Append32(body, format.rate);
    Append32(body, bytesPerSecond);
    Append16(body, blockAlign);
    Append16(body, format.bits);
    if (format.size >= 18) {
        Append16(body, 0);
    }
    body.resize(static_cast<size_t>(format.size), 0);
    return Chunk{"fmt ", body};
}

Bytes Samples(uint32_t count) {
    Bytes bytes(count);
    for (uint32_t i = 0; i < count; ++i) {
        bytes[i] = SampleAt(i);
    }
    return bytes;
}

Chunk DataChunk(uint32_t sampleBytes) { return Chunk{"data", Samples(sampleBytes)}; }

Bytes Riff(const std::vector<Chunk> &chunks, const char *form, int64_t claimedSize) {
    Bytes body;
    AppendId(body, form);
    for (const Chunk &chunk : chunks) {
        AppendId(body, chunk.id);
        Append32(body, chunk.claimedSize >= 0 ? static_cast<uint32_t>(chunk.claimedSize)
                                              : static_cast<uint32_t>(chunk.body.size()));
        body.insert(body.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() % 2 != 0) {
            body.push_back(0);
        }
    }
    Bytes file;
    AppendId(file, "RIFF");
    Append32(file, claimedSize >= 0 ? static_cast<uint32_t>(claimedSize)
                                    : static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes Simple(const Format &format, uint32_t sampleBytes) {
    return Riff({FormatChunk(format), DataChunk(sampleBytes)});
}

void Put16(Bytes &bytes, size_t at, uint16_t value) {
    for (size_t i = 0; i < 2 && at + i < bytes.size(); ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void Put32(Bytes &bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

TempFolder::TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "fw_sound_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    for (const std::string &file : files_) {
        DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(path_.c_str());
}

std::string TempFolder::Write(const std::string &name, const Bytes &bytes) {
    const std::string file = path_ + name;
    FILE *out = std::fopen(file.c_str(), "wb");
    EXPECT_NE(out, nullptr) << file;
    if (out) {
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), out);
        }
        std::fclose(out);
    }
    if (std::find(files_.begin(), files_.end(), file) == files_.end()) {
        files_.push_back(file);
    }
    return file;
}

} // namespace wave
