/// \file
/// Quad batch: screen rectangles collected in one growable array and drawn
/// together, the batched form of DrawRect and DrawRectCentered (quad.h): the
/// same ScreenVertex layout and the same six vertices per rectangle.
///
/// A flush draws the whole batch with the texture and states in force at that
/// moment, inside the caller's scene, and empties it whatever happens; the
/// array keeps its capacity. Nothing else empties it: rectangles not flushed
/// wait for the next FlushQuads, across frames and device resets.
#pragma once

#include "../graphics/quad.h"

#include <vector>

/// Grows only by whole rectangles of six vertices.
extern std::vector<ScreenVertex> quadBatch;

/// Appends the rectangle (x1, y1)-(x2, y2) with texture rectangle (0, 0)-(1, 1).
/// E_FAIL without a device, E_OUTOFMEMORY when the batch cannot grow; the
/// batch is then unchanged.
HRESULT AddQuad(float x1, float y1, float x2, float y2, D3DCOLOR color);
/// AddQuad of the rectangle of half-width hw and half-height hh around (cx, cy).
HRESULT AddQuadCentered(float cx, float cy, float hw, float hh, D3DCOLOR color);
/// Draws the batch as a triangle list and empties it. A batch beyond the
/// device's largest primitive count goes in several draw calls; the result is
/// the first failing call's, else the last one's. E_FAIL for an empty batch
/// or without a device.
HRESULT FlushQuads();
