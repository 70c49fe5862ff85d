#include "util/sintable.h"

#include <cmath>

namespace {

// 360/8192 degrees times single-precision pi, in degrees-to-radians form.
constexpr double kUnitTimesPi = 0.1380582747515291;

} // namespace

float SinTable[SIN_TABLE_SIZE];

void InitSinTable() {
    for (int i = 0; i < SIN_TABLE_SIZE; ++i) {
        // NOTE: the angle is rounded to float before the sine is taken; the
        // telling entries (4096 is sin of float pi, not 0) depend on it.
        const float radians = static_cast<float>(i * kUnitTimesPi / 180.0);
        SinTable[i] = static_cast<float>(std::sin(static_cast<double>(radians)));
    }
}

float GetSin(int32_t angle) { return SinTable[angle & 0x1FFF]; }

float GetNegSin(int32_t angle) {
    // Unsigned arithmetic: angle - 4096 must wrap, not overflow.
    return SinTable[(static_cast<uint32_t>(angle) - 4096u) & 0x1FFFu];
}

float Vec2Length(float x, float y) {
    const float squared = x * x + y * y;
    return std::sqrt(squared);
}

void Vec2SetLength(float *v, float length) {
    const float current = Vec2Length(v[0], v[1]);
    if (current == 0.0f) {
        return;
    }
    v[0] = v[0] / current * length;
    v[1] = v[1] / current * length;
}

void Vec2Direction(float *result, const float *from, const float *to, float length) {
    const float dx = to[0] - from[0];
    const float dy = to[1] - from[1];
    result[0] = dx;
    result[1] = dy;
    Vec2SetLength(result, length);
}
