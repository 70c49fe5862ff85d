#include "util/crc32.h"

#include <cstring>

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u; // reflected form
// Bytes taken per step of the table routine, one table each.
constexpr int kSlices = 16;

using Crc32Routine = uint32_t (*)(const void *, int32_t);

uint32_t Crc32FirstCall(const void *data, int32_t length);

// Crc32 calls through this; the first call switches it to the table routine,
// so later calls pay no test for the table.
Crc32Routine crc32Routine = Crc32FirstCall;

// sliceTables[k - 1][b]: what byte b contributes when k more bytes follow it
// in the same step (crc32Table is k = 0). 15 KiB, built with crc32Table.
uint32_t sliceTables[kSlices - 1][256];

void BuildCrc32Table() {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ kPolynomial : value >> 1;
        }
        crc32Table[i] = value;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = crc32Table[i];
        for (auto &table : sliceTables) {
            value = (value >> 8) ^ crc32Table[value & 0xFFu];
            table[i] = value;
        }
    }
}

uint32_t Load32(const uint8_t *bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word); // any alignment; little-endian x86
    return word;
}

// The contribution of the four bytes of `word`, which `follow` more bytes
// follow in the step.
uint32_t Slice4(uint32_t word, int follow) {
    const uint32_t(&t)[kSlices - 1][256] = sliceTables;
    return t[follow + 2][word & 0xFFu] ^ t[follow + 1][(word >> 8) & 0xFFu] ^
           t[follow][(word >> 16) & 0xFFu] ^
           (follow == 0 ? crc32Table[word >> 24] : t[follow - 1][word >> 24]);
}

// Sixteen bytes a step, one table lookup per byte and no step waiting on
// another's lookups but through the CRC; the last bytes one at a time.
uint32_t Crc32Table(const void *data, int32_t length) {
    const auto *bytes = static_cast<const uint8_t *>(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (; length >= kSlices; length -= kSlices, bytes += kSlices) {
        crc = Slice4(Load32(bytes) ^ crc, 12) ^ Slice4(Load32(bytes + 4), 8) ^
              Slice4(Load32(bytes + 8), 4) ^ Slice4(Load32(bytes + 12), 0);
    }
    for (int32_t i = 0; i < length; ++i) {
        crc = (crc >> 8) ^ crc32Table[(crc ^ bytes[i]) & 0xFFu];
    }
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Crc32FirstCall(const void *data, int32_t length) {
    BuildCrc32Table();
    crc32Routine = Crc32Table;
    return Crc32Table(data, length);
}

} // namespace

uint32_t crc32Table[256];

uint32_t Crc32(const void *data, int32_t length) { return crc32Routine(data, length); }
