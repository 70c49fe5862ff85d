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
    EXPECT_EQ(MeasureString(0, nullptr, &line), E_FAIL);
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
    ASSERT_EQ(quadBatch.size(), 40000u) << "four vertices a quad";
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

// ---- Sprites, triangles and lines -------------------------------------------

// A 4 x 4 texture of sixteen colours.
D3DCOLOR TexelColor(int x, int y) {
    return 0xFF000000 | static_cast<D3DCOLOR>(40 + 60 * x) << 16 |
           static_cast<D3DCOLOR>(40 + 60 * y) << 8 | static_cast<D3DCOLOR>(16 * (x + 4 * y));
}

class RealBatch : public RealResources {
  protected:
    void SetUp() override {
        RealResources::SetUp();
        ASSERT_EQ(GetDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &sheet,
                                             nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(sheet->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y) {
            auto *row =
                reinterpret_cast<D3DCOLOR *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch);
            for (int x = 0; x < 4; ++x) {
                row[x] = TexelColor(x, y);
            }
        }
        sheet->UnlockRect(0);
    }
    void TearDown() override {
        GetDevice()->SetTexture(0, nullptr);
        sheet->Release();
        RealResources::TearDown();
    }
    // One frame of the shapes `add` puts in the batch, opaque on black, with
    // the sheet point-sampled (`textured`) or the vertex colour alone.
    template <class Add> pixels::Image Frame(bool textured, Add add) {
        EXPECT_EQ(ClearAndBeginScene(kBlack, 0), 0);
        SetRenderStateFlags(RSF_MODULATE | RSF_POINT);
        if (textured) {
            GetDevice()->SetTexture(0, sheet);
        } else {
            DiffuseOnly();
        }
        GetDevice()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        add();
        EXPECT_EQ(FlushQuads(), D3D_OK);
        EXPECT_EQ(EndScene(), 0);
        return Read(var.lpBackSurface);
    }
    IDirect3DTexture9 *sheet = nullptr;
};

// The whole sheet on 40 x 16 pixels (texels of 10 x 4) around (200, 150),
// unturned and turned by one to three quarter turns: each turned picture is
// the unturned one turned about the centre, pixel for pixel.
TEST_F(RealBatch, ATurnedSpriteCoversItsUnturnedTwinTurned) {
    constexpr int kCx = 200, kCy = 150, kReach = 40;
    auto sprite = [this](float angle) {
        return Frame(true, [angle] {
            ASSERT_EQ(AddSprite(kCx, kCy, 40, 16, angle, kWhite, 0, 0, 1, 1), S_OK);
        });
    };
    const pixels::Image unturned = sprite(0.0f);
    EXPECT_EQ(pixels::Count(unturned, {180, 142, 220, 158}, kBlack, 0), 0);
    EXPECT_EQ(pixels::Count(unturned, {kCx - kReach, kCy - kReach, kCx + kReach, kCy + kReach},
                            kBlack, 0),
              4 * kReach * kReach - 40 * 16);
    EXPECT_EQ(Rgb(unturned.At(180, 142)), Rgb(TexelColor(0, 0)));
    EXPECT_EQ(Rgb(unturned.At(219, 157)), Rgb(TexelColor(3, 3)));

    pixels::Image expected = unturned;
    for (int quarter = 1; quarter <= 3; ++quarter) {
        // Pixel (x, y) turns a quarter clockwise about the centre, the
        // corner between four pixels, to (cx + cy - 1 - y, cy - cx + x).
        const pixels::Image before = expected;
        for (int y = kCy - kReach; y < kCy + kReach; ++y) {
            for (int x = kCx - kReach; x < kCx + kReach; ++x) {
                expected.data[(kCy - kCx + x) * expected.width + (kCx + kCy - 1 - y)] =
                    before.At(x, y);
            }
        }
        const pixels::Image turned = sprite(quarter * 1.57079633f);
        int wrong = 0;
        for (int y = kCy - kReach; y < kCy + kReach; ++y) {
            for (int x = kCx - kReach; x < kCx + kReach; ++x) {
                wrong += Rgb(turned.At(x, y)) != Rgb(expected.At(x, y));
            }
        }
        EXPECT_EQ(wrong, 0) << quarter << " quarter turns";
    }
    EXPECT_EQ(Flip(kWhite), 0);
}

struct SourceRect {
    const char *name;
    int left, top, right, bottom; // texels of the 4 x 4 sheet
};

void PrintTo(const SourceRect &row, std::ostream *os) { *os << row.name; }

class SourceRects : public RealBatch, public ::testing::WithParamInterface<SourceRect> {};

// Drawn at its size in texels with its top left corner on pixel (100, 60),
// a rectangle of the sheet shows each of its texels on one pixel and
// nothing around it.
TEST_P(SourceRects, MapTexelForPixel) {
    const SourceRect r = GetParam();
    const int width = r.right - r.left, height = r.bottom - r.top;
    const pixels::Image image = Frame(true, [&] {
        ASSERT_EQ(AddSprite(100 + width / 2.0f, 60 + height / 2.0f, static_cast<float>(width),
                            static_cast<float>(height), 0, kWhite, r.left / 4.0f, r.top / 4.0f,
                            r.right / 4.0f, r.bottom / 4.0f),
                  S_OK);
    });
    int wrong = 0;
    for (int y = 58; y < 66; ++y) {
        for (int x = 98; x < 106; ++x) {
            const int i = x - 100, j = y - 60;
            const bool inside = i >= 0 && i < width && j >= 0 && j < height;
            const D3DCOLOR expected = inside ? TexelColor(r.left + i, r.top + j) : kBlack;
            wrong += Rgb(image.At(x, y)) != Rgb(expected);
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    , SourceRects,
    ::testing::Values(SourceRect{"whole", 0, 0, 4, 4}, SourceRect{"middle", 1, 1, 3, 3},
                      SourceRect{"last_column", 3, 0, 4, 4}, SourceRect{"one_texel", 2, 1, 3, 2}),
    [](const ::testing::TestParamInfo<SourceRect> &info) { return std::string(info.param.name); });

struct Line {
    const char *name;
    float x1, y1, x2, y2, width;
    RECT lit; // right and bottom exclusive
};

void PrintTo(const Line &row, std::ostream *os) { *os << row.name; }

class Lines : public RealBatch, public ::testing::WithParamInterface<Line> {};

TEST_P(Lines, LightExactlyTheirPixels) {
    const Line line = GetParam();
    const pixels::Image image = Frame(false, [&] {
        ASSERT_EQ(AddLine(line.x1, line.y1, line.x2, line.y2, line.width, kWhite), S_OK);
    });
    int wrong = 0;
    for (LONG y = 0; y < 100; ++y) {
        for (LONG x = 0; x < 100; ++x) {
            const bool lit = x >= line.lit.left && x < line.lit.right && y >= line.lit.top &&
                             y < line.lit.bottom;
            wrong += Rgb(image.At(x, y)) != Rgb(lit ? kWhite : kBlack);
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    , Lines,
    ::testing::Values(Line{"one_pixel_along_row_5", 10, 5, 50, 5, 1, {10, 5, 51, 6}},
                      Line{"one_pixel_up_column_70", 70, 60, 70, 20, 1, {70, 20, 71, 61}},
                      Line{"three_pixels_along_row_30", 10, 30, 50, 30, 3, {9, 29, 52, 32}},
                      Line{"a_point_three_pixels_wide", 80, 80, 80, 80, 3, {79, 79, 82, 82}}),
    [](const ::testing::TestParamInfo<Line> &info) { return std::string(info.param.name); });

// The two triangles of a rectangle, batched with a sprite and a line, cover
// exactly what AddQuad covers, with nothing between or beside them.
TEST_F(RealBatch, TwoTrianglesCoverTheirRectangle) {
    const auto add = [](bool asTriangles) {
        if (asTriangles) {
            ASSERT_EQ(AddTriangle(20, 10, 70, 10, 20, 40, kBlue), S_OK);
            ASSERT_EQ(AddTriangle(70, 10, 70, 40, 20, 40, kBlue), S_OK);
        } else {
            ASSERT_EQ(AddQuad(20, 10, 70, 40, kBlue), S_OK);
        }
        ASSERT_EQ(AddSprite(150, 25, 20, 10, 0.5f, kWhite, 0, 0, 1, 1), S_OK);
        ASSERT_EQ(AddLine(20, 60, 90, 95, 2, kWhite), S_OK);
    };
    const pixels::Image triangles = Frame(false, [&] { add(true); });
    const pixels::Image quad = Frame(false, [&] { add(false); });
    EXPECT_TRUE(pixels::Same(triangles, quad, 0));
    EXPECT_EQ(pixels::Count(quad, {0, 0, 100, 50}, kBlue, 0), 50 * 30);
    EXPECT_EQ(Flip(kWhite), 0);
}

} // namespace
