// Meshes, fonts, the quad batch and their release on the fake platform: the
// failure rows and decisions that Wine's D3DX cannot be made to produce.
#include "allocation.h"
#include "fake/d3dx_resources.h"
#include "graphics/graphics_test.h"
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/quad_batch.h>
#include <fw/resources/texture.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace graphics_test {
namespace {

class Resources : public GraphicsTest {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        fake::ResetD3DXResources();
        quadBatch.clear();
    }
    void TearDown() override {
        allocation::AllowAllocations();
        GraphicsTest::TearDown();
    }
};

bool IsEmpty(const MeshSlot &slot) {
    static const MeshSlot empty = {};
    return std::memcmp(&slot, &empty, sizeof slot) == 0;
}

// ---- Mesh slots -------------------------------------------------------------

// 300 materials: both arrays have sizes nothing else allocates.
std::vector<fake::XMaterial> ManyMaterials() {
    return std::vector<fake::XMaterial>(300, fake::XFileMaterials()[1]);
}

struct MeshFailure {
    const char *name;
    std::function<void()> arrange;
};

void PrintTo(const MeshFailure &row, std::ostream *os) { *os << row.name; }

class MeshFailures : public Resources, public ::testing::WithParamInterface<MeshFailure> {};

TEST_P(MeshFailures, LeaveTheSlotEmptyAndNothingAlive) {
    Start();
    ASSERT_EQ(LoadMesh(4, "old.x"), 0);
    const int withoutMesh = fake::Alive() - 3; // the old mesh and its texture go first
    GetParam().arrange();

    EXPECT_EQ(LoadMesh(4, "flag.x"), E_FAIL);

    EXPECT_TRUE(IsEmpty(var.MeshSlot[4]));
    EXPECT_EQ(fake::Alive(), withoutMesh);
}

INSTANTIATE_TEST_SUITE_P(
    , MeshFailures,
    ::testing::Values(MeshFailure{"Unloadable",
                                  [] { fake::Fail("D3DXLoadMeshFromXA", E_OUTOFMEMORY); }},
                      MeshFailure{"NoMaterials", [] { fake::XFileMaterials().clear(); }},
                      MeshFailure{"MaterialArray",
                                  [] {
                                      fake::XFileMaterials() = ManyMaterials();
                                      allocation::FailAllocationsOf(300 * sizeof(D3DMATERIAL9));
                                  }},
                      MeshFailure{"TextureArray",
                                  [] {
                                      fake::XFileMaterials() = ManyMaterials();
                                      allocation::FailAllocationsOf(300 *
                                                                    sizeof(IDirect3DTexture9 *));
                                  }}),
    [](const ::testing::TestParamInfo<MeshFailure> &info) { return info.param.name; });

TEST_F(Resources, DrawMeshTurnsDepthOnBeforeDrawingEachSubsetWithItsTexture) {
    Start();
    ASSERT_EQ(LoadMesh(255, "flag.x"), 0);
    fake::ClearCalls();
    fake::Fail("ID3DXMesh::DrawSubset", D3DERR_INVALIDCALL, 2);

    EXPECT_EQ(DrawMesh(255), D3DERR_INVALIDCALL) << "the last subset's result";

    const int firstDraw = IndexOf("ID3DXMesh::DrawSubset");
    EXPECT_LT(IndexOf(RenderState(D3DRS_ZWRITEENABLE, TRUE)), firstDraw);
    EXPECT_LT(IndexOf(RenderState(D3DRS_ZENABLE, D3DZB_TRUE)), firstDraw);
    EXPECT_EQ(fake::CallsOf("ID3DXMesh::DrawSubset"),
              (Calls{"ID3DXMesh::DrawSubset(mesh1, 0, texture4)",
                     "ID3DXMesh::DrawSubset(mesh1, 1, NULL)"}));
    ASSERT_EQ(fake::Device().materials.size(), 2u);
    EXPECT_EQ(fake::Device().materials[1].Ambient.r, 1.0f) << "ambient taken from diffuse";
}

TEST_F(Resources, DrawMeshRefusesEmptySlotsAndNumbersBeyondTheTable) {
    Start();
    ASSERT_EQ(LoadMesh(0, "flag.x"), 0);
    fake::ClearCalls();

    EXPECT_EQ(DrawMesh(1), E_FAIL);
    EXPECT_EQ(DrawMesh(256), E_FAIL);
    EXPECT_EQ(LoadMesh(256, "flag.x"), E_FAIL);
    EXPECT_EQ(ReleaseMesh(256), E_FAIL);

    EXPECT_TRUE(fake::Calls().empty());
}

// ---- Fonts ------------------------------------------------------------------

struct FontFailure {
    const char *name;
    const char *failing; // a D3DX creation, or NULL
    const char *face;
    const char *message;
    bool spriteStays;
};

void PrintTo(const FontFailure &row, std::ostream *os) { *os << row.name; }

class FontFailures : public Resources, public ::testing::WithParamInterface<FontFailure> {};

TEST_P(FontFailures, ShowTheirMessageAndLeaveTheSlotEmpty) {
    const FontFailure &row = GetParam();
    Start();
    if (row.failing != nullptr) {
        fake::Fail(row.failing, E_OUTOFMEMORY);
    }

    EXPECT_EQ(CreateFontData(5, row.face, 24), E_FAIL);

    // Before anything else: the setting found is kept for shutdown, then
    // smoothing goes on.
    ASSERT_GE(fake::Calls().size(), 2u);
    EXPECT_EQ(fake::Calls()[0], "SystemParametersInfoA(0x4a, 0, data, 0)");
    EXPECT_EQ(fake::Calls()[1], "SystemParametersInfoA(0x4b, 1, NULL, 0)");
    EXPECT_EQ(fake::Messages(), std::vector<std::string>{row.message});
    EXPECT_EQ(var.lpFont[5], nullptr);
    EXPECT_EQ(var.lpFontSprite != nullptr, row.spriteStays);
}

INSTANTIATE_TEST_SUITE_P(
    , FontFailures,
    ::testing::Values(FontFailure{"LongFace", nullptr, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                                  "CreateFontData : Invalid Font Face\n", false},
                      FontFailure{"Sprite", "D3DXCreateSprite", "Arial",
                                  "CreateFontData : D3DXCreateSprite(var.lpFontSprite)\n", false},
                      FontFailure{"Font", "D3DXCreateFontIndirectA", "Arial",
                                  "CreateFontData : D3DXCreateFontIndirect Failed\n", true}),
    [](const ::testing::TestParamInfo<FontFailure> &info) { return info.param.name; });

TEST_F(Resources, FontsShareOneSpriteAndKeepTheirSlots) {
    Start();
    ASSERT_EQ(CreateFontData(3, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", 24), S_OK) << "31 characters";
    ASSERT_EQ(CreateFontData(7, "Arial", 16), S_OK);
    EXPECT_EQ(CreateFontData(7, "Courier", 12), E_FAIL) << "occupied";

    EXPECT_EQ(fake::CountOf("D3DXCreateSprite"), 1);
    EXPECT_EQ(fake::CallsOf("D3DXCreateFontIndirectA"),
              (Calls{"D3DXCreateFontIndirectA(ABCDEFGHIJKLMNOPQRSTUVWXYZ01234, 24, 0, 400, 1, 0, "
                     "1, 8, 2, 0)",
                     "D3DXCreateFontIndirectA(Arial, 16, 0, 400, 1, 0, 1, 8, 2, 0)"}));
    ReleaseFontData(3);
    ReleaseFontData(7);
    EXPECT_NE(var.lpFontSprite, nullptr);
}

// Slot numbers outside the table are refused before anything is touched.
TEST_F(Resources, FontSlotsOutsideTheTableAreRefused) {
    Start();
    ASSERT_EQ(CreateFontData(0, "Arial", 16), S_OK);
    fake::ClearCalls();

    for (int index : {-1, 32, 1000}) {
        EXPECT_EQ(CreateFontData(index, "Arial", 16), E_FAIL) << index;
        EXPECT_EQ(OnLostFont(index), E_FAIL) << index;
        EXPECT_EQ(OnRestoreFont(index), E_FAIL) << index;
        EXPECT_EQ(DrawString(index, 0, 0, 0xFFFFFFFF, 0, "x"), E_FAIL) << index;
        EXPECT_EQ(DrawFormatString(index, 0, 0, 0xFFFFFFFF, 0, "%d", index), E_FAIL) << index;
        SIZE size = {};
        EXPECT_EQ(MeasureString(index, "x", &size), E_FAIL) << index;
        ReleaseFontData(index);
    }

    EXPECT_EQ(fake::CountOf("SystemParametersInfoA"), 3);
    EXPECT_EQ(fake::Calls().size(), 3u) << "nothing but the font smoothing";
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(Resources, FormattedTextIsCutAt4095Characters) {
    Start();
    ASSERT_EQ(CreateFontData(0, "Arial", 16), S_OK);
    const std::string longText(5000, 'x');

    EXPECT_EQ(DrawFormatString(0, 1.5f, 2, 0xFF102030, 2, "%s!", longText.c_str()), S_OK);

    ASSERT_EQ(fake::DrawnTexts().size(), 2u) << "shadow and text";
    EXPECT_EQ(fake::DrawnTexts()[1], std::string(4095, 'x'));
    EXPECT_EQ(fake::CallsOf("ID3DXFont::DrawTextA"),
              (Calls{"ID3DXFont::DrawTextA(font1, sprite1, -1, 3, 4, 0x100, 0xff000000)",
                     "ID3DXFont::DrawTextA(font1, sprite1, -1, 1, 2, 0x100, 0xff102030)"}));
}

// ---- Quad batch -------------------------------------------------------------

// 3 quads of 2 triangles through a device that takes 4 triangles a draw.
void ThreeQuadsThroughFourTriangleDraws() {
    fake::Adapter().caps.MaxPrimitiveCount = 4;
    ASSERT_EQ(InitDirectX(), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(AddQuad(10.0f * i, 0, 10.0f * i + 5, 5, 0xFF000000u + i), S_OK);
    }
    fake::ClearCalls();
}

TEST_F(Resources, ALargeBatchIsSplitAtTheDevicesPrimitiveLimit) {
    ThreeQuadsThroughFourTriangleDraws();
    std::vector<ScreenVertex> batch;
    for (int i = 0; i < 3; ++i) {
        const std::vector<ScreenVertex> quad =
            Rect(10.0f * i, 0, 10.0f * i + 5, 5, 0xFF000000u + i);
        batch.insert(batch.end(), quad.begin(), quad.end());
    }

    EXPECT_EQ(FlushQuads(), D3D_OK);

    const auto &draws = fake::Device().draws;
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].primitives, 4u);
    EXPECT_EQ(draws[1].primitives, 2u);
    std::vector<ScreenVertex> drawn = draws[0].Vertices<ScreenVertex>();
    const std::vector<ScreenVertex> rest = draws[1].Vertices<ScreenVertex>();
    drawn.insert(drawn.end(), rest.begin(), rest.end());
    EXPECT_EQ(drawn, batch);
    EXPECT_TRUE(quadBatch.empty());
}

TEST_F(Resources, TheDevicesPrimitiveLimitIsAskedOnceItHasAnswered) {
    ThreeQuadsThroughFourTriangleDraws();
    fake::Fail("IDirect3DDevice9::GetDeviceCaps", D3DERR_INVALIDCALL, 1);
    EXPECT_EQ(FlushQuads(), D3D_OK);
    ASSERT_EQ(fake::Device().draws.size(), 1u) << "no limit known: one draw";

    for (int batch = 0; batch < 2; ++batch) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(AddQuad(0, 0, 5, 5, 0xFF000000u), S_OK);
        }
        EXPECT_EQ(FlushQuads(), D3D_OK);
    }

    EXPECT_EQ(fake::CountOf(Dev("GetDeviceCaps")), 2) << "the failed call and one answer";
    EXPECT_EQ(fake::Device().draws.size(), 5u) << "both later batches split in two";
}

TEST_F(Resources, ASplitBatchStopsAtTheFirstFailingDraw) {
    ThreeQuadsThroughFourTriangleDraws();
    fake::Fail("IDirect3DDevice9::DrawIndexedPrimitiveUP", D3DERR_INVALIDCALL, 1);

    EXPECT_EQ(FlushQuads(), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::CountOf(Dev("DrawIndexedPrimitiveUP")), 1);
    EXPECT_TRUE(quadBatch.empty());
    EXPECT_EQ(FlushQuads(), E_FAIL) << "nothing left to draw";
}

TEST_F(Resources, ABatchThatCannotGrowStaysAsItWas) {
    Start();
    ASSERT_EQ(AddQuadCentered(100, 50, 10, 5, 0xFF00FF00), S_OK);
    // The second quad doubles the storage of the first.
    allocation::FailAllocationsOf(2 * quadBatch.size() * sizeof(ScreenVertex));

    EXPECT_EQ(AddQuad(0, 0, 1, 1, 0xFFFFFFFF), E_OUTOFMEMORY);

    allocation::AllowAllocations();
    EXPECT_EQ(FlushQuads(), D3D_OK);
    ASSERT_EQ(fake::Device().draws.size(), 1u);
    EXPECT_EQ(fake::Device().draws[0].Vertices<ScreenVertex>(), Rect(90, 45, 110, 55, 0xFF00FF00));
}

TEST_F(Resources, WithoutADeviceNothingIsAddedAndFlushingDiscards) {
    Start();
    ASSERT_EQ(AddQuad(0, 0, 1, 1, 0xFFFFFFFF), S_OK);
    const size_t oneQuad = quadBatch.size();
    ReleaseDirectX();
    fake::ClearCalls();

    EXPECT_EQ(AddQuad(0, 0, 1, 1, 0xFFFFFFFF), E_FAIL);
    EXPECT_EQ(quadBatch.size(), oneQuad);
    EXPECT_EQ(FlushQuads(), E_FAIL);
    EXPECT_TRUE(quadBatch.empty());
    EXPECT_TRUE(fake::Calls().empty());
}

// Every kind of shape, with the triangles it draws (a triangle is drawn
// with a second one of no area).
const struct {
    const char *name;
    HRESULT (*add)();
    UINT triangles;
} kShapes[] = {
    {"AddQuad", [] { return AddQuad(0, 0, 4, 4, 0xFFFFFFFF); }, 2},
    {"AddQuadCentered", [] { return AddQuadCentered(2, 2, 2, 2, 0xFFFFFFFF); }, 2},
    {"AddSprite", [] { return AddSprite(2, 2, 4, 4, 1.0f, 0xFFFFFFFF, 0, 0, 0.5f, 0.5f); }, 2},
    {"AddTriangle", [] { return AddTriangle(0, 0, 4, 0, 0, 4, 0xFFFFFFFF); }, 2},
    {"AddLine", [] { return AddLine(0, 0, 4, 4, 1, 0xFFFFFFFF); }, 2},
};

TEST_F(Resources, EveryShapeGoesIntoTheOneDrawOfItsFlush) {
    Start();
    UINT triangles = 0;
    for (const auto &shape : kShapes) {
        ASSERT_EQ(shape.add(), S_OK) << shape.name;
        triangles += shape.triangles;
    }
    fake::ClearCalls();

    EXPECT_EQ(FlushQuads(), D3D_OK);

    ASSERT_EQ(fake::Device().draws.size(), 1u);
    EXPECT_EQ(fake::Device().draws[0].primitives, triangles);
    ReleaseDirectX();
    for (const auto &shape : kShapes) {
        EXPECT_EQ(shape.add(), E_FAIL) << shape.name << " without a device";
    }
    EXPECT_TRUE(quadBatch.empty());
}

TEST_F(Resources, AnUnturnedSpriteIsItsRectangleWithTheSourceRectangle) {
    Start();
    ASSERT_EQ(AddSprite(100, 50, 20, 10, 0, 0xFF00FF00, 0.25f, 0.5f, 0.75f, 1.0f), S_OK);
    ASSERT_EQ(FlushQuads(), D3D_OK);
    std::vector<ScreenVertex> expected(6);
    RectVertices(expected.data(), 90, 45, 110, 55, 0xFF00FF00, 0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(fake::Device().draws.back().Vertices<ScreenVertex>(), expected);
}

// ---- Release ----------------------------------------------------------------

TEST_F(Resources, ReleaseDirectXReleasesEveryResourceBeforeTheDevice) {
    Start();
    ASSERT_EQ(LoadMesh(0, "flag.x"), 0);
    ASSERT_EQ(LoadMesh(255, "box.x"), 0);
    ASSERT_EQ(CreateFontData(31, "Arial", 16), S_OK);
    ASSERT_EQ(LoadTexture("a.png"), S_OK);
    ASSERT_EQ(LoadTexture("a.png"), S_OK);
    ASSERT_EQ(LoadTexture("b.png"), S_OK);
    fake::ClearCalls();

    ReleaseDirectX();

    const int device = IndexOf("IDirect3DDevice9::Release(device1)");
    const Calls calls = fake::Calls();
    int resources = 0;
    for (int i = 0; i < device; ++i) {
        resources +=
            calls[i].find("ID3DX") == 0 || calls[i].find("IDirect3DTexture9::Release(") == 0;
    }
    // Two meshes and their two textures, sprite, font, two cached textures,
    // the effect and flip textures.
    EXPECT_EQ(resources, 2 + 2 + 1 + 1 + 2 + 3);
    EXPECT_EQ(fake::Alive(), 0);
    EXPECT_TRUE(IsEmpty(var.MeshSlot[255]));
    static const TextureEntry emptyCache[TEXTURE_CACHE_SIZE] = {};
    EXPECT_EQ(std::memcmp(var.TextureCache, emptyCache, sizeof emptyCache), 0);
}

} // namespace
} // namespace graphics_test
