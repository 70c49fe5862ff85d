#include <fw/util/sintable.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class SinTableTest : public ::testing::Test {
  protected:
    void SetUp() override { InitSinTable(); }
};

TEST_F(SinTableTest, TellingEntriesAreBitExact) {
    struct Case {
        int entry;
        double value;
    };
    const Case cases[] = {
        {0, 0.0},
        {1, 0.0007669903570786119},
        {1024, 0.7071067690849304},
        {2048, 1.0},
        {4096, -8.742277657347586e-08},
        {6144, -1.0},
        {8191, -0.00076657923636958},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Bits(SinTable[c.entry]), Bits(static_cast<float>(c.value)))
            << "entry " << c.entry;
    }
}

TEST_F(SinTableTest, AnglesWrapOnTheLowThirteenBits) {
    EXPECT_EQ(GetSin(2048), 1.0f);
    EXPECT_EQ(GetSin(6144), -1.0f);
    EXPECT_EQ(Bits(GetSin(8192)), Bits(GetSin(0)));
    EXPECT_EQ(Bits(GetSin(-1)), Bits(SinTable[8191]));
    EXPECT_EQ(Bits(GetSin(8192 * 1000 + 2048)), Bits(1.0f));
    EXPECT_EQ(Bits(GetSin(INT32_MIN)), Bits(SinTable[0]));
}

TEST_F(SinTableTest, NegSinReadsHalfATurnAhead) {
    EXPECT_EQ(GetNegSin(2048), -1.0f);
    EXPECT_EQ(Bits(GetNegSin(0)), Bits(SinTable[4096]));
    EXPECT_EQ(Bits(GetNegSin(INT32_MIN)), Bits(SinTable[4096]));
    for (int angle : {1, 100, 3000, 5000, 8191}) {
        EXPECT_NEAR(GetNegSin(angle), -GetSin(angle), 1e-6) << "angle " << angle;
    }
}

TEST(PlaneVector, LengthOfThreeFourIsFive) {
    EXPECT_EQ(Vec2Length(3.0f, 4.0f), 5.0f);
    EXPECT_EQ(Vec2Length(-3.0f, -4.0f), 5.0f);
    EXPECT_EQ(Vec2Length(0.0f, 0.0f), 0.0f);
}

TEST(PlaneVector, SetLengthScalesOrKeepsZero) {
    float v[2] = {3.0f, 4.0f};
    Vec2SetLength(v, 10.0f);
    EXPECT_FLOAT_EQ(v[0], 6.0f);
    EXPECT_FLOAT_EQ(v[1], 8.0f);

    float zero[2] = {0.0f, 0.0f};
    Vec2SetLength(zero, 5.0f);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);

    float flip[2] = {3.0f, 4.0f};
    Vec2SetLength(flip, -5.0f);
    EXPECT_FLOAT_EQ(flip[0], -3.0f);
    EXPECT_FLOAT_EQ(flip[1], -4.0f);
}

TEST(PlaneVector, DirectionBetweenPoints) {
    const float from[2] = {1.0f, 1.0f};
    const float to[2] = {4.0f, 5.0f};
    float result[2];
    Vec2Direction(result, from, to, 1.0f);
    EXPECT_EQ(result[0], 0.6f);
    EXPECT_EQ(result[1], 0.8f);

    Vec2Direction(result, from, from, 1.0f);
    EXPECT_EQ(result[0], 0.0f);
    EXPECT_EQ(result[1], 0.0f);
}

TEST(PlaneVector, DirectionMayOverwriteItsInputs) {
    float a[2] = {1.0f, 1.0f};
    const float b[2] = {4.0f, 5.0f};
    Vec2Direction(a, a, b, 5.0f);
    EXPECT_FLOAT_EQ(a[0], 3.0f);
    EXPECT_FLOAT_EQ(a[1], 4.0f);

    const float c[2] = {1.0f, 1.0f};
    float d[2] = {4.0f, 5.0f};
    Vec2Direction(d, c, d, 10.0f);
    EXPECT_FLOAT_EQ(d[0], 6.0f);
    EXPECT_FLOAT_EQ(d[1], 8.0f);
}

} // namespace
