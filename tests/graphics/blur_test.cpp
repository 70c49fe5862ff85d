// The blur pass's failures: which end the program and which only return.
#include "graphics_test.h"

namespace graphics_test {
namespace {

struct BlurFailure {
    const char *name;
    const char *call; // the failing device method
    int occurrence;
    const char *message;
    bool quits;
};

void PrintTo(const BlurFailure &row, std::ostream *os) { *os << row.name; }

class BlurFailures : public GraphicsTest, public ::testing::WithParamInterface<BlurFailure> {};

TEST_P(BlurFailures, ShowTheirMessageAndReturnTheResult) {
    const BlurFailure &row = GetParam();
    Start();
    EnableFlip();
    ASSERT_EQ(ClearAndBeginScene(0xFF000000, 0), 0);
    SetRenderStateFlags(0x211);
    fake::ClearCalls();
    fake::Fail(std::string("IDirect3DDevice9::") + row.call, D3DERR_INVALIDCALL, row.occurrence);

    EXPECT_EQ(DrawEffectGaussianBlur(0xFFFFFFFF), D3DERR_INVALIDCALL);

    EXPECT_EQ(fake::Messages(), std::vector<std::string>{row.message});
    EXPECT_EQ(fake::CountOf("PostQuitMessage(0)"), row.quits ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    , BlurFailures,
    ::testing::Values(
        BlurFailure{"FrameTexture", "SetTexture", 1,
                    "DrawEffectGaussianBlur : Failed : SetTexture\n", true},
        BlurFailure{"EffectTarget", "SetRenderTarget", 1,
                    "DrawEffectGaussianBlur : SetRenderTarget(var.lpEffectSurface)\n", false},
        BlurFailure{"NoDepth", "SetDepthStencilSurface", 1,
                    "DrawEffectGaussianBlur : SetDepthStencilSurface(NULL)\n", false},
        BlurFailure{"EffectClear", "Clear", 1,
                    "DrawEffectGaussianBlur : Clear(var.lpEffectSurface)\n", false},
        BlurFailure{"EffectTexture", "SetTexture", 2,
                    "DrawEffectGaussianBlur : Failed : SetTexture(var.lpEffectTexture)\n", true}),
    [](const ::testing::TestParamInfo<BlurFailure> &info) { return info.param.name; });

TEST_F(GraphicsTest, BlurWithoutFlipBuffersDrawsNothing) {
    Start();
    ReleaseResource();
    fake::ClearCalls();

    EXPECT_EQ(DrawEffectGaussianBlur(0xFFFFFFFF), E_FAIL);

    EXPECT_TRUE(Direct3DCalls().empty());
}

} // namespace
} // namespace graphics_test
