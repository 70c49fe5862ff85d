// The fw demo: starts the framework with an 800 x 600 window, loads the flag,
// the box and the shaders, prints the device's best shader profiles and runs
// the demo scene until the window is closed or Escape is pressed.
#include <fw/app/framework.h>
#include "demo.h"
#include <fw/graphics/graphics.h>
#include <fw/shader/shader.h>

#include <d3dx9.h>

#include <cstdio>

int main(int, char **) {
    if (InitFramework("fw", 800, 600, 1) != 0) {
        return 0; // the failure has been shown and the framework shut down
    }
    LoadDemo();
    std::printf("%s\n", D3DXGetVertexShaderProfile(GetDevice()));
    std::printf("%s\n", D3DXGetPixelShaderProfile(GetDevice()));
    std::fflush(stdout);

    while (UpdateFramework()) {
        UpdateDemo();
        DrawDemo();
    }

    ReleaseShader();
    ExitFramework();
    return 0;
}
