// A dinput8.dll to put beside a program on a machine without a game
// controller (Wine's DLL override chooses it over Wine's own). It hands out
// Wine's DirectInput, loaded from a renamed copy beside it, with one virtual
// joystick added in front of the real controllers: the virtual joystick of
// the real-platform tests. The keyboard and everything else are Wine's.
//
// The stick is scripted through a text file named by the environment
// variable FW_JOYSTICK (a Windows path; Wine maps a Unix one through drive
// Z:). Each read of the joystick reads the file again: "X Y BUTTONS", the
// raw axis positions from -32767 to 32767 (0 at rest; Y negative is up) and
// a mask of the pressed buttons (bit n is button n; decimal, or hex with
// 0x). A missing or unreadable file leaves the stick as it was.
#include "real/virtual_joystick.h"

#include <cstdio>
#include <cstdlib>

namespace {

void ReadScript() {
    const char *path = std::getenv("FW_JOYSTICK");
    if (path == nullptr || path[0] == '\0') {
        return;
    }
    FILE *file = std::fopen(path, "r");
    if (file == nullptr) {
        return;
    }
    long x = 0;
    long y = 0;
    long buttons = 0;
    const int read = std::fscanf(file, "%ld %ld %li", &x, &y, &buttons);
    std::fclose(file);
    if (read != 3) {
        return;
    }
    virtual_joystick::SetAxes(x, y);
    for (int button = 0; button < 32; ++button) {
        virtual_joystick::SetButton(button, (static_cast<unsigned long>(buttons) >> button) & 1);
    }
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        virtual_joystick::SetReadHook(ReadScript);
    }
    return TRUE;
}
