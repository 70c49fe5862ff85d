/// \file
/// Sine table and plane vectors: sines by integer angle (8192 units a turn,
/// only the low 13 bits of an angle count) and helpers for two-float vectors.
/// The application fills the table with InitSinTable before use; until then
/// every lookup reads 0. Nothing here allocates or keeps other state.
#pragma once

#include <cstdint>

/// Entries of the table: angle units in a whole turn.
constexpr int SIN_TABLE_SIZE = 8192;

/// sin of each angle unit; all 0 until InitSinTable.
extern float SinTable[SIN_TABLE_SIZE];

/// Fills SinTable.
void InitSinTable();
/// sin(angle), angle in units of 1/8192 turn (low 13 bits).
float GetSin(int32_t angle);
/// The entry half a turn ahead: -sin(angle), not the cosine.
float GetNegSin(int32_t angle);

/// The length of (x, y).
float Vec2Length(float x, float y);
/// Scales v (x then y) to `length`; a zero vector stays zero.
void Vec2SetLength(float *v, float length);
/// result = (to - from) scaled to `length`; result may alias from or to.
void Vec2Direction(float *result, const float *from, const float *to, float length);
