// Screen quads: the vertex layout and the six vertices of a rectangle.
#include "graphics_test.h"

#include <cstddef>

namespace graphics_test {
namespace {

using ScreenQuads = GraphicsTest;

TEST(ScreenVertexLayout, MatchesFormat0x144WithAStrideOf28) {
    EXPECT_EQ(SCREEN_VERTEX_FVF, 0x144u);
    EXPECT_EQ(sizeof(ScreenVertex), 28u);
    EXPECT_EQ(offsetof(ScreenVertex, x), 0u);
    EXPECT_EQ(offsetof(ScreenVertex, rhw), 12u);
    EXPECT_EQ(offsetof(ScreenVertex, diffuse), 16u);
    EXPECT_EQ(offsetof(ScreenVertex, u), 20u);
    EXPECT_EQ(offsetof(ScreenVertex, v), 24u);
}

TEST_F(ScreenQuads, DrawRectDrawsTwoTrianglesOfPreTransformedVertices) {
    Start();

    EXPECT_EQ(DrawRect(10, 20, 110, 70, 0x80FF4020), 0);

    EXPECT_EQ(Direct3DCalls(), (Calls{Dev("SetFVF(0x144)"), Dev("DrawPrimitiveUP(4, 2, 28)")}));
    const std::vector<ScreenVertex> expected = {
        {9.5f, 19.5f, 0.5f, 1.0f, 0x80FF4020, 0, 0},
        {109.5f, 19.5f, 0.5f, 1.0f, 0x80FF4020, 1, 0},
        {9.5f, 69.5f, 0.5f, 1.0f, 0x80FF4020, 0, 1},
        {109.5f, 19.5f, 0.5f, 1.0f, 0x80FF4020, 1, 0},
        {109.5f, 69.5f, 0.5f, 1.0f, 0x80FF4020, 1, 1},
        {9.5f, 69.5f, 0.5f, 1.0f, 0x80FF4020, 0, 1},
    };
    EXPECT_EQ(LastDrawn(), expected);
    EXPECT_EQ(fake::Device().draws.back().fvf, 0x144u);
}

TEST_F(ScreenQuads, DrawTextureRectMapsTheTextureRectangleOntoTheCorners) {
    Start();

    EXPECT_EQ(DrawTextureRect(0, 0, 64, 32, 0xFFFFFFFF, 0.25f, 0.5f, 0.75f, 1.0f), 0);

    const std::vector<ScreenVertex> expected = {
        {-0.5f, -0.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.25f, 0.5f},
        {63.5f, -0.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.75f, 0.5f},
        {-0.5f, 31.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.25f, 1.0f},
        {63.5f, -0.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.75f, 0.5f},
        {63.5f, 31.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.75f, 1.0f},
        {-0.5f, 31.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0.25f, 1.0f},
    };
    EXPECT_EQ(LastDrawn(), expected);
}

TEST_F(ScreenQuads, DrawRectCenteredIsDrawRectAroundTheCentre) {
    Start();
    ASSERT_EQ(DrawRectCentered(100, 50, 10, 5, 0xFF00FF00), 0);
    const std::vector<ScreenVertex> centred = LastDrawn();
    ASSERT_EQ(DrawRect(90, 45, 110, 55, 0xFF00FF00), 0);
    EXPECT_EQ(centred, LastDrawn());
    EXPECT_EQ(centred, Rect(90, 45, 110, 55, 0xFF00FF00));
}

// Signed area of a screen triangle (y down): positive when clockwise.
float Winding(const ScreenVertex &a, const ScreenVertex &b, const ScreenVertex &c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

TEST_F(ScreenQuads, TrianglesRunClockwiseAndReverseWithReversedCorners) {
    Start();
    ASSERT_EQ(DrawRect(10, 10, 20, 20, 0xFFFFFFFF), 0);
    std::vector<ScreenVertex> v = LastDrawn();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_GT(Winding(v[0], v[1], v[2]), 0.0f);
    EXPECT_GT(Winding(v[3], v[4], v[5]), 0.0f);

    ASSERT_EQ(DrawRect(20, 10, 10, 20, 0xFFFFFFFF), 0) << "x2 < x1 is still drawn";
    v = LastDrawn();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_LT(Winding(v[0], v[1], v[2]), 0.0f);
    EXPECT_LT(Winding(v[3], v[4], v[5]), 0.0f);
}

TEST_F(ScreenQuads, RectanglesSetNoTextureAndNoState) {
    Start();
    DrawRect(0, 0, 1, 1, 0);
    DrawTextureRect(0, 0, 1, 1, 0, 0, 0, 1, 1);
    DrawRectCentered(0, 0, 1, 1, 0);
    EXPECT_EQ(fake::CountOf(Dev("SetTexture")), 0);
    EXPECT_EQ(fake::CountOf(Dev("SetRenderState")), 0);
    EXPECT_EQ(fake::CountOf(Dev("SetFVF")), 3);
    EXPECT_EQ(fake::CountOf(Dev("DrawPrimitiveUP")), 3);
}

TEST_F(ScreenQuads, ReturnTheDrawResultAndIgnoreTheVertexFormatResult) {
    Start();
    fake::Fail("IDirect3DDevice9::SetFVF", D3DERR_INVALIDCALL);
    EXPECT_EQ(DrawRect(0, 0, 1, 1, 0), 0);
    fake::Fail("IDirect3DDevice9::DrawPrimitiveUP", D3DERR_INVALIDCALL);
    EXPECT_EQ(DrawRect(0, 0, 1, 1, 0), D3DERR_INVALIDCALL);
    fake::Fail("IDirect3DDevice9::DrawPrimitiveUP", D3DERR_DEVICELOST);
    EXPECT_EQ(DrawRectCentered(0, 0, 1, 1, 0), D3DERR_DEVICELOST);
    fake::Fail("IDirect3DDevice9::DrawPrimitiveUP", D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(DrawTextureRect(0, 0, 1, 1, 0, 0, 0, 1, 1), D3DERR_DRIVERINTERNALERROR);
}

} // namespace
} // namespace graphics_test
