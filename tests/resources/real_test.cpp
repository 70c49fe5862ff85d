// Meshes, the texture cache, text and the quad batch on Wine's Direct3D 9 and
// D3DX, judged by the pixels they leave.
#include <fw/graphics/quad.h>
#include <fw/graphics/renderstate.h>
#include "real/boxes.h"
#include "real/device.h"
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/quad_batch.h>
#include <fw/resources/texture.h>
#include <fw/util/crc32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using real::DiffuseOnly;
using real::kMargin;
using RealResources = real::DeviceTest;

constexpr D3DCOLOR kBlack = 0xFF000000;
constexpr D3DCOLOR kBlue = 0xFF0000FF;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

D3DCOLOR Rgb(D3DCOLOR color) { return color & 0x00FFFFFF; }

// Every channel within `tolerance`; alpha is not compared.
bool Near(D3DCOLOR actual, D3DCOLOR expected, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>(actual >> shift & 0xFF);
        const int e = static_cast<int>(expected >> shift & 0xFF);
        if (a - e > tolerance || e - a > tolerance) {
            return false;
        }
    }
    return true;
}

// strips.x: three strips across clip space; the outer two textured with
// mesh_green.bmp, the middle one red with a texture file that is missing.
TEST_F(RealResources, MeshSubsetsDrawWithTheirMaterialsAndTextures) {
    ASSERT_EQ(LoadMesh(0, "strips.x"), 0);
    const MeshSlot &slot = var.MeshSlot[0];
    ASSERT_EQ(slot.dwNumMaterials, 3u);
    EXPECT_NE(slot.lpTexture[0], nullptr);
    EXPECT_EQ(slot.lpTexture[1], nullptr);
    EXPECT_NE(slot.lpTexture[2], nullptr);
    EXPECT_NE(slot.lpTexture[0], slot.lpTexture[2]) << "each subset loads its own texture";
    const D3DCOLORVALUE ambient = slot.lpMaterial[1].Ambient;
    EXPECT_EQ(ambient.r, 1.0f) << "the X file's black ambient became the red diffuse";
    EXPECT_EQ(ambient.g, 0.0f);
    EXPECT_EQ(ambient.b, 0.0f);

    ASSERT_EQ(ClearAndBeginScene(kBlack, 0), 0);
    SetRenderStateFlags(0);
    // Lit by white ambient light alone, a subset shows its material's ambient
    // colour times its texture.
    GetDevice()->SetRenderState(D3DRS_LIGHTING, TRUE);
    GetDevice()->SetRenderState(D3DRS_AMBIENT, kWhite);
    EXPECT_EQ(DrawMesh(0), D3D_OK);
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpBackSurface);
    EXPECT_TRUE(pixels::AreaIs(image, {kMargin, kMargin, 266 - kMargin, 584}, 0xFF00FF00, 2));
    EXPECT_TRUE(pixels::AreaIs(image, {266 + kMargin, kMargin, 533 - kMargin, 584}, 0xFFFF0000, 2));
    EXPECT_TRUE(pixels::AreaIs(image, {533 + kMargin, kMargin, 784, 584}, 0xFF00FF00, 2));
    EXPECT_EQ(Flip(kWhite), 0);
}

// colourkey.*: 16 x 8, columns 0-3 opaque black, 4-7 (1, 1, 1), 8-15 white.
class ColourKey : public RealResources, public ::testing::WithParamInterface<const char *> {};

TEST_P(ColourKey, OpaqueBlackLoadsAsTransparentBlack) {
    ASSERT_EQ(LoadTexture(GetParam()), S_OK);
    IDirect3DTexture9 *texture = var.TextureCache[0].lpTexture;
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(desc.Height, 8u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto *row = reinterpret_cast<const D3DCOLOR *>(static_cast<const char *>(locked.pBits) +
                                                         3 * locked.Pitch);
    EXPECT_EQ(row[1], 0x00000000u);
    EXPECT_EQ(row[5], 0xFF010101u) << "only exactly black is keyed";
    EXPECT_EQ(row[12], 0xFFFFFFFFu);
    texture->UnlockRect(0);
}

INSTANTIATE_TEST_SUITE_P(, ColourKey, ::testing::Values("colourkey.bmp", "colourkey.png"));

TEST_F(RealResources, ANameLoadedTwiceIsOneTextureCountedTwice) {
    ASSERT_EQ(LoadTexture("colourkey.png"), S_OK);
    IDirect3DTexture9 *const texture = var.TextureCache[0].lpTexture;
    ASSERT_EQ(LoadTexture("colourkey.png"), S_OK);
    EXPECT_EQ(var.TextureCache[0].lpTexture, texture);
    EXPECT_EQ(var.TextureCache[0].nRefCount, 2);
    EXPECT_EQ(var.TextureCache[1].lpTexture, nullptr);

    ReleaseTexture("colourkey.png");
    EXPECT_EQ(var.TextureCache[0].lpTexture, texture);
    ReleaseTexture("colourkey.png");
    EXPECT_EQ(var.TextureCache[0].lpTexture, nullptr);
    EXPECT_EQ(var.TextureCache[0].dwCrc, 0u);
}

// The first eight letters of "colourkey.bmp" in upper or lower case after
// the bits of `variant`: 256 names of one file (file names ignore case) that
// the cache keys apart.
std::string CaseVariant(unsigned variant) {
    std::string name = "colourkey.bmp";
    for (int i = 0; i < 8; ++i) {
        if (variant & (1u << i)) {
            name[i] = static_cast<char>(name[i] - 'a' + 'A');
        }
    }
    return name;
}

TEST_F(RealResources, TheCacheHolds256NamesAndReusesTheLowestFreedEntry) {
    for (unsigned variant = 0; variant < 256; ++variant) {
        ASSERT_EQ(LoadTexture(CaseVariant(variant).c_str()), S_OK) << CaseVariant(variant);
    }
    for (const TextureEntry &entry : var.TextureCache) {
        ASSERT_NE(entry.lpTexture, nullptr);
        EXPECT_EQ(entry.nRefCount, 1);
    }
    EXPECT_EQ(LoadTexture("./colourkey.bmp"), E_FAIL) << "the table is full";

    ReleaseTexture(CaseVariant(200).c_str());
    ReleaseTexture(CaseVariant(17).c_str());
    ASSERT_EQ(LoadTexture("./colourkey.bmp"), S_OK);
    EXPECT_EQ(var.TextureCache[17].dwCrc, Crc32("./colourkey.bmp", 15));
    EXPECT_EQ(var.TextureCache[200].lpTexture, nullptr);
}

TEST_F(RealResources, AFailedLoadLeavesNoEntry) {
    EXPECT_EQ(LoadTexture("missing.png"), E_FAIL);
    static const TextureEntry empty[TEXTURE_CACHE_SIZE] = {};
    EXPECT_EQ(std::memcmp(var.TextureCache, empty, sizeof empty), 0);
    ASSERT_EQ(LoadTexture("colourkey.png"), S_OK);
    EXPECT_NE(var.TextureCache[0].lpTexture, nullptr);
}

// One frame of "HIH" in white on blue at (x, 20), read back.
pixels::Image TextFrame(float x, int shadow) {
    pixels::Image image;
    EXPECT_EQ(ClearAndBeginScene(kBlue, 0), 0);
    EXPECT_EQ(DrawString(0, x, 20, kWhite, shadow, "HIH"), S_OK);
    EXPECT_EQ(EndScene(), 0);
    EXPECT_TRUE(pixels::Read(GetDevice(), var.lpBackSurface, &image));
    return image;
}

// A missing face name is refused with its message, not taken the length of.
TEST_F(RealResources, FontWithoutAFaceIsRefusedWithItsMessage) {
    boxes::Answerer answerer;
    EXPECT_EQ(CreateFontData(0, nullptr, 16), E_FAIL);
    EXPECT_EQ(var.lpFont[0], nullptr);
    EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"CreateFontData : Invalid Font Face\n"});
}

TEST_F(RealResources, TextShadowLiesTwoPixelsRightAndBelowInBlack) {
    if (real::WineVersion().rfind("10.", 0) == 0) {
        GTEST_SKIP() << "Wine 10's D3DX (on DXVK and on Wine's own Direct3D alike): the same text "
                        "drawn two pixels lower is not the same picture moved, the rows along its "
                        "horizontal edges differ by an eighth (32 of 255 levels)";
    }
    ASSERT_EQ(CreateFontData(0, "DejaVu Sans", 48), S_OK);
    const pixels::Image plain = TextFrame(10, 0);
    const pixels::Image truncated = TextFrame(10.9f, 0);
    const pixels::Image shadowed = TextFrame(10, 2);

    EXPECT_TRUE(truncated.data == plain.data) << "x = 10.9 draws at column 10";
    // The shadowed frame is the plain one with its background turned black
    // wherever the text, moved two pixels right and down, covers it fully: a
    // pixel that the plain text covers by c (red = 255 c over blue) then shows
    // c white over black, grey 255 c. Where the moved text does not reach,
    // nothing changes; its antialiased edges are not compared.
    int shadow = 0, elsewhere = 0, wrong = 0;
    for (UINT y = 2; y < plain.height; ++y) {
        for (UINT x = 2; x < plain.width; ++x) {
            const D3DCOLOR moved = plain.At(x - 2, y - 2);
            const D3DCOLOR here = plain.At(x, y);
            const D3DCOLOR seen = shadowed.At(x, y);
            if (Near(moved, kWhite, 8)) {
                ++shadow;
                wrong += !Near(seen, (here >> 16 & 0xFF) * 0x010101, 12);
            } else if (Near(moved, kBlue, 8)) {
                ++elsewhere;
                wrong += !Near(seen, here, 12);
            }
        }
    }
    EXPECT_GT(shadow, 200);
    EXPECT_EQ(wrong, 0) << "of " << shadow + elsewhere << " pixels";
    EXPECT_EQ(Flip(kWhite), 0);
}

// The smallest rectangle (right and bottom exclusive) holding every pixel
// that is not the background; empty when there is none.
RECT Ink(const pixels::Image &image, D3DCOLOR background) {
    RECT ink = {LONG(image.width), LONG(image.height), 0, 0};
    for (UINT y = 0; y < image.height; ++y) {
        for (UINT x = 0; x < image.width; ++x) {
            if (!Near(image.At(x, y), background, 8)) {
                ink.left = std::min<LONG>(ink.left, x);
                ink.top = std::min<LONG>(ink.top, y);
                ink.right = std::max<LONG>(ink.right, x + 1);
                ink.bottom = std::max<LONG>(ink.bottom, y + 1);
            }
        }
    }
    return ink;
}

std::string Text(const RECT &r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// Drawn at (100, 50), the text lies in the measured box (give or take a pixel
// of antialiasing) and reaches its right side and its last line, short of a
// glyph's bearing.
TEST_F(RealResources, MeasuredSizeIsTheBoxTheTextIsDrawnIn) {
    ASSERT_EQ(CreateFontData(0, "DejaVu Sans", 32), S_OK);
    SIZE line = {};
    ASSERT_EQ(MeasureString(0, "Wide middle line", &line), S_OK);
    std::printf("\"Wide middle line\" in DejaVu Sans 32: %ld x %ld\n", line.cx, line.cy);
    for (const char *text :
         {"Wide middle line", "Wide middle line\nshort", "a\nWide middle line\nb"}) {
        SIZE size = {};
        ASSERT_EQ(MeasureString(0, text, &size), S_OK) << text;
        EXPECT_EQ(size.cx, line.cx) << text << ": the widest line";
        EXPECT_EQ(size.cy, (1 + std::count(text, text + std::strlen(text), '\n')) * line.cy)
            << text;

        ASSERT_EQ(ClearAndBeginScene(kBlue, 0), 0);
        ASSERT_EQ(DrawString(0, 100, 50, kWhite, 0, text), S_OK);
        ASSERT_EQ(EndScene(), 0);
        const RECT ink = Ink(Read(var.lpBackSurface), kBlue);
        const RECT box = {100, 50, 100 + size.cx, 50 + size.cy};
        const LONG slack = line.cy / 4;
        EXPECT_TRUE(ink.left >= box.left - 1 && ink.top >= box.top - 1 &&
                    ink.right <= box.right + 1 && ink.bottom <= box.bottom + 1 &&
                    ink.left <= box.left + slack && ink.right >= box.right - slack &&
                    ink.bottom >= box.bottom - line.cy / 2)
            << text << ": drawn " << Text(ink) << ", measured " << Text(box);
        EXPECT_EQ(Flip(kWhite), 0);
    }
    SIZE size = {};
    EXPECT_EQ(MeasureString(0, nullptr, &size), E_FAIL);
    EXPECT_EQ(MeasureString(0, "x", nullptr), E_FAIL);
}

// The setting is the logon session's, shared by every program of the
// display; the test leaves it as it found it.
TEST_F(RealResources, FontSmoothingIsPutBackAtShutdown) {
    BOOL found = FALSE;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &found, 0));
    for (const BOOL desktop : {FALSE, TRUE}) {
        BOOL now = !desktop;
        SystemParametersInfoA(SPI_SETFONTSMOOTHING, desktop, nullptr, 0);
        SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &now, 0);
        if (now != desktop) {
            SystemParametersInfoA(SPI_SETFONTSMOOTHING, found, nullptr, 0);
            GTEST_SKIP() << "this system's font smoothing cannot be switched";
        }
        ASSERT_EQ(CreateFontData(0, "DejaVu Sans", 16), S_OK);
        ASSERT_EQ(CreateFontData(1, "DejaVu Sans", 24), S_OK) << "a second font changes nothing";
        SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &now, 0);
        EXPECT_TRUE(now) << "while fonts are made";

        ExitFramework();
        SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &now, 0);
        EXPECT_EQ(now, desktop) << "after shutdown";
        Start(800, 600);
    }
    SystemParametersInfoA(SPI_SETFONTSMOOTHING, found, nullptr, 0);
}

// 100 x 100 quads of 2 x 1 pixels, 3 pixels apart, each in its own colour.
D3DCOLOR QuadColor(int i, int j) {
    return 0xFF000080 | static_cast<D3DCOLOR>(i * 2) << 16 | static_cast<D3DCOLOR>(j * 2) << 8;
}

TEST_F(RealResources, TenThousandBatchedQuadsCoverExactlyTheirPixels) {
    ASSERT_EQ(ClearAndBeginScene(kBlack, 0), 0);
    SetRenderStateFlags(0);
    DiffuseOnly();
    GetDevice()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    for (int i = 0; i < 100; ++i) {
        for (int j = 0; j < 100; ++j) {
            const float x = 20.0f + 3 * i, y = 20.0f + 3 * j;
            ASSERT_EQ(AddQuad(x, y, x + 2, y + 1, QuadColor(i, j)), S_OK);
        }
    }
    ASSERT_EQ(quadBatch.size(), 60000u);
    EXPECT_EQ(FlushQuads(), D3D_OK);
    EXPECT_TRUE(quadBatch.empty());
    ASSERT_EQ(EndScene(), 0);

    const pixels::Image image = Read(var.lpBackSurface);
    int wrong = 0;
    for (int y = 10; y < 330; ++y) {
        for (int x = 10; x < 330; ++x) {
            const int i = (x - 20) / 3, j = (y - 20) / 3;
            const bool covered =
                x >= 20 && y >= 20 && i < 100 && j < 100 && (x - 20) % 3 < 2 && (y - 20) % 3 == 0;
            const D3DCOLOR expected = covered ? QuadColor(i, j) : kBlack;
            wrong += Rgb(image.At(x, y)) != Rgb(expected);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Flip(kWhite), 0);
}

} // namespace
