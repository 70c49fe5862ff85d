// Render targets of a program's own on the fake platform: the creation
// failures, which leave the slot empty and nothing alive, and a reset that
// cannot make a target again. (Drawing, the nesting and a real loss are
// real-platform tests.)
#include "graphics_test.h"
#include <fw/graphics/target.h>

namespace graphics_test {
namespace {

struct CreationRow {
    const char *name;
    const char *call; // the failing method
    DWORD flags;
    const char *message;
};
void PrintTo(const CreationRow &row, std::ostream *os) { *os << row.name; }

class RenderTargetCreation : public GraphicsTest,
                             public ::testing::WithParamInterface<CreationRow> {};

TEST_P(RenderTargetCreation, FailsWithItsMessageAndLeavesTheSlotEmpty) {
    const CreationRow &row = GetParam();
    Start();
    fake::Fail(row.call, E_OUTOFMEMORY);

    EXPECT_EQ(CreateRenderTarget(3, 64, 32, D3DFMT_A8R8G8B8, row.flags), E_OUTOFMEMORY);

    EXPECT_EQ(fake::Messages(), Calls{row.message});
    EXPECT_EQ(GetRenderTargetTexture(3), nullptr);
    EXPECT_EQ(BeginRenderTarget(3, FALSE, 0), E_FAIL);
    // The slot is free again.
    EXPECT_EQ(CreateRenderTarget(3, 64, 32, D3DFMT_A8R8G8B8, row.flags), S_OK);
    ReleaseRenderTarget(3);
}

INSTANTIATE_TEST_SUITE_P(
    , RenderTargetCreation,
    ::testing::Values(
        CreationRow{"Texture", "IDirect3DDevice9::CreateTexture", 0,
                    "CreateRenderTarget : CreateTexture\n"},
        CreationRow{"Level", "IDirect3DTexture9::GetSurfaceLevel", 0,
                    "CreateRenderTarget : GetSurfaceLevel\n"},
        CreationRow{"Depth", "IDirect3DDevice9::CreateDepthStencilSurface", RENDER_TARGET_DEPTH,
                    "CreateRenderTarget : CreateDepthStencilSurface\n"},
        CreationRow{"Copy", "IDirect3DDevice9::CreateOffscreenPlainSurface", RENDER_TARGET_KEEP,
                    "CreateRenderTarget : CreateOffscreenPlainSurface\n"},
        CreationRow{"Fill", "IDirect3DDevice9::ColorFill", 0, "CreateRenderTarget : ColorFill\n"}),
    [](const ::testing::TestParamInfo<CreationRow> &info) { return info.param.name; });

class ProgramRenderTargets : public GraphicsTest {};

TEST_F(ProgramRenderTargets, ArgumentsOutsideTheTableOrWithoutADeviceFail) {
    EXPECT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_UNKNOWN, 0), E_FAIL) << "no device";
    Start();
    EXPECT_EQ(CreateRenderTarget(-1, 64, 64, D3DFMT_UNKNOWN, 0), E_FAIL);
    EXPECT_EQ(CreateRenderTarget(RENDER_TARGET_COUNT, 64, 64, D3DFMT_UNKNOWN, 0), E_FAIL);
    EXPECT_EQ(BeginRenderTarget(RENDER_TARGET_COUNT, FALSE, 0), E_FAIL);
    EXPECT_EQ(GetRenderTargetTexture(-1), nullptr);
    EXPECT_EQ(EndRenderTarget(), E_FAIL) << "nothing begun";
    ASSERT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_UNKNOWN, 0), S_OK);
    EXPECT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_UNKNOWN, 0), E_FAIL) << "occupied";
    ReleaseRenderTarget(0);
    EXPECT_TRUE(fake::Messages().empty());
}

// A target that cannot be made again after a reset ends the program as any
// failed restore does; the program registered nothing for it.
TEST_F(ProgramRenderTargets, ATargetThatCannotBeMadeAgainEndsTheProgram) {
    Start();
    ASSERT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_UNKNOWN, RENDER_TARGET_DEPTH), S_OK);
    // The flip buffers' two come first.
    fake::Fail("IDirect3DDevice9::CreateDepthStencilSurface", E_OUTOFMEMORY, 3);

    EXPECT_EQ(HandlePresentParam(D3DERR_DEVICENOTRESET, FALSE), E_OUTOFMEMORY);

    EXPECT_EQ(fake::Messages(), (Calls{"OnRestore : CreateDepthStencilSurface\n",
                                       "HandlePresentParam : Failed : OnRestore\n"}));
    EXPECT_EQ(fake::CountOf("PostQuitMessage(0)"), 1);
    ReleaseRenderTarget(0);
}

} // namespace
} // namespace graphics_test
