// A program that loads for a while before its window opens and again before
// its first frame, as one with a lot of data does; for tools/run.sh, whose
// shots must wait for the first frame. With FW_LATE_NO_WINDOW set it never
// opens a window at all.
#include <fw/fw.h>

#include <cstdlib>

int main() {
    if (std::getenv("FW_LATE_NO_WINDOW") != nullptr) {
        Sleep(120000);
        return 0;
    }
    Sleep(3000);
    if (InitFramework("late window", 320, 240, 1) != 0) {
        return 0;
    }
    Sleep(3000);
    while (UpdateFramework()) {
        ClearAndBeginScene(0xFF3070D0, 0);
        EndScene();
        Flip(0xFFFFFFFF);
    }
    ExitFramework();
    return 0;
}
