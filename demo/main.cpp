// The fw demo: starts the framework with an 800 x 600 window, prints the
// device's best shader profiles and runs the frame loop until the window is
// closed or Escape is pressed.
#include "app/framework.h"
#include "graphics/graphics.h"

#include <d3dx9.h>

#include <cstdio>

namespace {

constexpr D3DCOLOR kBackground = 0xFFFFFF8F;
constexpr D3DCOLOR kComposite = 0xFFFFFFFF;

void DrawFrame() {
    if (ClearAndBeginScene(kBackground, 0) == 0) {
        EndScene();
    }
    Flip(kComposite);
}

} // namespace

int main(int, char **) {
    if (InitFramework("fw", 800, 600, 1) != 0) {
        return 0; // the failure has been shown and the framework shut down
    }
    std::printf("%s\n", D3DXGetVertexShaderProfile(GetDevice()));
    std::printf("%s\n", D3DXGetPixelShaderProfile(GetDevice()));

    while (UpdateFramework()) {
        DrawFrame();
    }

    ExitFramework();
    return 0;
}
