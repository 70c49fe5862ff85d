#include <fw/util/crc32.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

uint32_t CrcOf(const char *text) { return Crc32(text, static_cast<int32_t>(std::strlen(text))); }

TEST(Crc32, MatchesPublishedCheckValues) {
    struct Case {
        const char *name;
        const char *text;
        uint32_t crc;
    };
    const Case cases[] = {
        {"check string", "123456789", 0xCBF43926u},
        {"single letter", "a", 0xE8B7BE43u},
        {"pangram", "The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CrcOf(c.text), c.crc) << c.name;
    }
}

TEST(Crc32, CoversEveryByteValue) {
    unsigned char bytes[256];
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
    }
    EXPECT_EQ(Crc32(bytes, 256), 0x29058C73u);
    const unsigned char zero = 0;
    EXPECT_EQ(Crc32(&zero, 1), 0xD202EF8Du);
}

TEST(Crc32, EmptyAndNegativeLengthsGiveZero) {
    const char text[] = "123456789";
    EXPECT_EQ(Crc32(text, 0), 0u);
    EXPECT_EQ(Crc32(text, -1), 0u);
    EXPECT_EQ(Crc32(text, INT32_MIN), 0u);
}

TEST(Crc32, FirstCallBuildsTheTableAndLaterCallsAgree) {
    const uint32_t first = CrcOf("hata.x");
    EXPECT_EQ(crc32Table[0], 0u);
    EXPECT_EQ(crc32Table[1], 0x77073096u);
    EXPECT_EQ(crc32Table[128], 0xEDB88320u);
    EXPECT_EQ(crc32Table[255], 0x2D02EF8Du);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(CrcOf("hata.x"), first);
    }
}

// Every length to 4 KiB from every start within 16 bytes: every split of a
// range into the 16-byte steps and the bytes left over, at any alignment.
TEST(Crc32, MatchesZlibAtEveryLengthAndAlignment) {
    std::vector<uint8_t> bytes(4096 + 16);
    std::mt19937 random(32);
    for (uint8_t &byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    int mismatches = 0;
    for (int offset = 0; offset < 16; ++offset) {
        const uint8_t *start = bytes.data() + offset;
        for (int32_t length = 0; length <= 4096; ++length) {
            const auto zlibs = static_cast<uint32_t>(crc32(0, start, static_cast<uInt>(length)));
            if (Crc32(start, length) != zlibs && ++mismatches <= 5) {
                ADD_FAILURE() << "offset " << offset << ", length " << length;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Crc32, TerminatingNulChangesTheKey) {
    // File names are keyed without their NUL; counting it gives another key.
    const char name[] = "hako.x";
    EXPECT_NE(Crc32(name, 6), Crc32(name, 7));
}

} // namespace
