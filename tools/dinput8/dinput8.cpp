// A dinput8.dll to put beside a program on a machine without a game
// controller (Wine's DLL override chooses it over Wine's own). It hands out
// Wine's DirectInput, loaded from a renamed copy beside it, with one virtual
// joystick added in front of the real controllers: the virtual joystick of
// the real-platform tests. The keyboard and everything else are Wine's.
//
// The stick is scripted through a text file named by the environment
// variable FW_JOYSTICK (a Windows path; Wine maps a Unix one through drive
// Z:). Each read of the joystick reads the file again: "X Y BUTTONS [READS]",
// the raw axis positions from -32767 to 32767 (0 at rest; Y negative is up),
// a mask of the pressed buttons (bit n is button n; decimal, or hex with 0x)
// and, optionally, for how many reads that state holds before the stick
// returns to rest by itself. A program reads its joystick once a frame, so
// READS makes a push last an exact number of frames. Any change of the text
// starts the count again; text after READS is ignored, so a tag there tells
// two equal pushes apart. A missing or unreadable file leaves the stick as it
// was. Further lines: "pov N" turns the hat to N hundredths of a degree
// clockwise from up (centred without it); "unplugged" pulls the joystick out
// (the first line then does not matter), and the text without it plugs it in
// again, so that a script tests a program's hot-plug.
//
// Windows tells the program's windows when a device comes or goes; Wine does
// not for the virtual joystick, and the program looks for controllers only
// then. So a thread of the stand-in watches the file and, when "unplugged"
// comes or goes, posts WM_DEVICECHANGE as Windows would; the program's next
// look for controllers reads the file and finds the joystick plugged or not.
//
// Once a push with READS has run out, the stand-in writes its text to the
// file named by FW_JOYSTICK with ".done" added, so that a script can wait
// until the program has seen the whole push.
//
// FW_JOYSTICK_PACE, a number of milliseconds, makes each read of the
// joystick wait until that long after the previous one: the program's frames
// then last at least that long, so that a test taking screenshots sees a
// held key's effect over many frames.
#include "real/virtual_joystick.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The script last read, and the reads it has left when it has a count.
std::string script;
long readsLeft = -1;
// The script whose push was last reported done.
std::string reported;

void Pace() {
    static DWORD last;
    const char *pace = std::getenv("FW_JOYSTICK_PACE");
    if (pace == nullptr) {
        return;
    }
    const DWORD wanted = std::strtoul(pace, nullptr, 10);
    const DWORD since = GetTickCount() - last;
    if (last != 0 && since < wanted) {
        Sleep(wanted - since);
    }
    last = GetTickCount();
}

// The file's text, or false when there is none to read.
bool ReadScriptText(std::string *text) {
    const char *path = std::getenv("FW_JOYSTICK");
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    FILE *file = std::fopen(path, "r");
    if (file == nullptr) {
        return false;
    }
    char buffer[128] = {};
    const size_t size = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    text->assign(buffer, size);
    return true;
}

bool SaysUnplugged(const std::string &text) {
    return ("\n" + text).find("\nunplugged") != std::string::npos;
}

DWORD WINAPI WatchPlug(LPVOID) {
    for (;;) {
        std::string text;
        if (ReadScriptText(&text) && SaysUnplugged(text) == virtual_joystick::Plugged()) {
            virtual_joystick::PostDeviceChange();
        }
        Sleep(100);
    }
}

void ReadScript() {
    Pace();
    std::string current;
    if (!ReadScriptText(&current)) {
        return;
    }
    const char *path = std::getenv("FW_JOYSTICK");
    const char *text = current.c_str();
    // Whole lines only: the first line's tag is free text.
    const std::string lines = "\n" + current;
    const bool unplugged = SaysUnplugged(current);
    virtual_joystick::SetPlugged(!unplugged);
    if (unplugged) {
        return;
    }
    const size_t hat = lines.find("\npov ");
    const DWORD pov =
        hat == std::string::npos ? 0xFFFFFFFF : std::strtoul(lines.c_str() + hat + 5, nullptr, 10);
    long x = 0;
    long y = 0;
    long buttons = 0;
    long reads = -1;
    if (std::sscanf(text, "%ld %ld %li %ld", &x, &y, &buttons, &reads) < 3) {
        return;
    }
    if (current != script) {
        script = current;
        readsLeft = reads;
    }
    if (readsLeft == 0) {
        virtual_joystick::Reset();
        if (reported != script) {
            reported = script;
            FILE *done = std::fopen((std::string(path) + ".done").c_str(), "wb");
            if (done != nullptr) {
                std::fputs(script.c_str(), done);
                std::fclose(done);
            }
        }
        return;
    }
    if (readsLeft > 0) {
        --readsLeft;
    }
    virtual_joystick::SetAxes(x, y);
    virtual_joystick::SetPov(pov);
    for (int button = 0; button < 32; ++button) {
        virtual_joystick::SetButton(button, (static_cast<unsigned long>(buttons) >> button) & 1);
    }
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        virtual_joystick::SetReadHook(ReadScript);
        HANDLE watcher = CreateThread(nullptr, 0, WatchPlug, nullptr, 0, nullptr);
        if (watcher != nullptr) {
            CloseHandle(watcher);
        }
    }
    return TRUE;
}
