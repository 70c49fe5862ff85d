/// \file
/// Quad batch: screen rectangles, turned sprites, triangles and lines
/// collected in one growable array and drawn together, the batched form of
/// DrawRect and DrawRectCentered (quad.h): the same ScreenVertex layout, the
/// same two triangles per rectangle and the same half-pixel shift, so a shape
/// covers the same pixels batched or drawn alone. Each shape is kept as four
/// vertices and drawn through a fixed pattern of 16-bit indices
/// (DrawIndexedPrimitiveUP): a third less to copy than six vertices a
/// rectangle.
///
/// A flush draws the whole batch with the texture and states in force at that
/// moment, inside the caller's scene, and empties it whatever happens; the
/// array keeps its capacity. Nothing else empties it: shapes not flushed
/// wait for the next FlushQuads, across frames and device resets. Every Add
/// call costs about the same, so mixing shapes keeps one draw per texture
/// and state.
///
/// Positions are screen pixels, (0, 0) the top left corner of the top left
/// pixel; x grows right and y down.
#pragma once

#include "../graphics/quad.h"

#include <vector>

/// The batch's vertices, four per shape: top left, top right, bottom left,
/// bottom right (a triangle repeats its last corner). Public because the
/// framework's interface names it; programs add shapes with the calls below
/// and do not push vertices of their own (a vertex pushed here bypasses the
/// half-pixel shift and the index pattern).
extern std::vector<ScreenVertex> quadBatch;

/// Appends the rectangle (x1, y1)-(x2, y2) with texture rectangle (0, 0)-(1, 1).
/// E_FAIL without a device, E_OUTOFMEMORY when the batch cannot grow; the
/// batch is then unchanged (so for every Add call below).
HRESULT AddQuad(float x1, float y1, float x2, float y2, D3DCOLOR color);
/// AddQuad of the rectangle of half-width hw and half-height hh around (cx, cy).
HRESULT AddQuadCentered(float cx, float cy, float hw, float hh, D3DCOLOR color);
/// A sprite: the texture rectangle (tu1, tv1)-(tu2, tv2) of the texture bound
/// at the flush (a frame of a sprite sheet: texel column c of a w-texel sheet
/// starts at c / w), drawn `width` by `height` pixels around (cx, cy) and
/// turned by `angle` radians about that centre, clockwise on screen. Unturned
/// it covers exactly the pixels of AddQuadCentered(cx, cy, width / 2,
/// height / 2), and a rectangle of the texture's own size in texels maps it
/// texel for pixel.
HRESULT AddSprite(float cx, float cy, float width, float height, float angle, D3DCOLOR color,
                  float tu1, float tv1, float tu2, float tv2);
/// The triangle of the three corners, in either winding, with texture
/// coordinates (0, 0), (1, 0) and (0, 1) at them: AddTriangle(x1, y1, x2, y1,
/// x1, y2) is the first triangle of AddQuad(x1, y1, x2, y2).
HRESULT AddTriangle(float x1, float y1, float x2, float y2, float x3, float y3, D3DCOLOR color);
/// A line `width` pixels wide between the centres of pixels (x1, y1) and
/// (x2, y2), both included (square ends half the width long), with texture
/// rectangle (0, 0)-(1, 1) along it: a line of width 1 from (10, 5) to
/// (50, 5) lights pixels 10 to 50 of row 5 and nothing else. A line of no
/// length is a width-wide square.
HRESULT AddLine(float x1, float y1, float x2, float y2, float width, D3DCOLOR color);
/// Draws the batch as an indexed triangle list and empties it. A batch beyond
/// 16 384 shapes or the device's largest primitive count or vertex index
/// goes in several draw calls; the result is
/// the first failing call's, else the last one's. E_FAIL for an empty batch
/// or without a device.
HRESULT FlushQuads();
