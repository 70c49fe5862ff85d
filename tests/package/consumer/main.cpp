// Reaches into every subsystem, so that linking needs every platform library
// the framework uses; it is built, never run.
#include <fw/fw.h>

int main(int, char **) {
    if (InitFramework("consumer", 320, 240, 1) != 0) {
        return 0;
    }
    LoadMesh(0, "mesh.x");
    LoadTexture("image.png");
    CreateFontData(0, "Arial", 16);
    CompileShaderFromFile("shader.fx", "vs", "ps");
    CreateEffectFromFile("effect.fx");
    LoadSoundChannel(0, "sound.wav");
    InitTasks();
    InitSinTable();
    while (UpdateFramework()) {
        ClearAndBeginScene(0xFF000000, FALSE);
        DrawRect(0, 0, 10, 10, static_cast<D3DCOLOR>(GetButtons() | Crc32("fw", 2)));
        AddQuad(0, 0, 1, 1, 0xFFFFFFFF);
        FlushQuads();
        DrawEffectGaussianBlur(0xFFFFFFFF);
        EndScene();
        Flip(0xFFFFFFFF);
    }
    ReleaseShader();
    ExitFramework();
    return 0;
}
