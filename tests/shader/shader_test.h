// What the shader behaviour tests share: a started fake device, the global
// `shader` emptied after each test, and its four build routes.
#pragma once

#include "fake/d3dx_shader.h"
#include "graphics/graphics_test.h"
#include <fw/shader/shader.h>

namespace shader_test {

class ShaderTest : public graphics_test::GraphicsTest {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        Start();
    }
    void TearDown() override {
        ReleaseShader();
        GraphicsTest::TearDown();
    }
    // A full pair and an effect in `shader`, with an empty log.
    static void Fill() {
        ASSERT_EQ(CompileShaderFromFile("test.fx", "basic_vs", "basic_ps"), S_OK);
        ASSERT_EQ(CreateEffectFromFile("etest.fx"), S_OK);
        fake::ClearCalls();
    }
};

} // namespace shader_test
