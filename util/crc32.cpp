#include "util/crc32.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u; // reflected form

using Crc32Routine = uint32_t (*)(const void *, int32_t);

uint32_t Crc32FirstCall(const void *data, int32_t length);

// Crc32 calls through this; the first call switches it to the table routine,
// so later calls pay no test for the table.
Crc32Routine crc32Routine = Crc32FirstCall;

void BuildCrc32Table() {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ kPolynomial : value >> 1;
        }
        crc32Table[i] = value;
    }
}

uint32_t Crc32Table(const void *data, int32_t length) {
    const auto *bytes = static_cast<const uint8_t *>(data);
    uint32_t crc = 0xFFFFFFFFu;
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
