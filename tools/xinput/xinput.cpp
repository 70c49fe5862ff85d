// An xinput1_4.dll to put beside a program on a machine without an Xbox-style
// pad (Wine's DLL override chooses it over Wine's own): up to four virtual
// pads that follow a text file, for the run and test scripts.
//
// The file is named by the environment variable FW_XINPUT (a Windows path;
// Wine maps a Unix one through drive Z:) and read again at every call. One
// line per connected pad:
//
//   pad N BUTTONS LX LY RX RY LT RT
//
// N is the slot (0 to 3); BUTTONS the XINPUT_GAMEPAD_* flags held (decimal,
// or hex with 0x); LX LY RX RY the sticks' raw positions (-32768 to 32767, y
// up, as XInput gives them); LT RT the triggers (0 to 255). A slot without a
// line is not connected: deleting the line pulls the pad out, writing it
// again plugs it in. A missing file means no pad at all.
//
// Each XInputSetState is recorded by appending "pad N LOW HIGH" to the file
// named FW_XINPUT with ".vibration" added, so that a script or test can see
// what the program asked of the motors.
//
// Windows tells the programs' windows when a device comes or goes
// (WM_DEVICECHANGE with DBT_DEVNODES_CHANGED); Wine does not for these
// virtual pads, so a thread of the stand-in watches the file and posts that
// message to the process's top-level windows when the set of pads changes.
#include <windows.h>

#include <xinput.h>

#include "real/device_change.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kPads = 4;
constexpr DWORD kWatchMs = 100;

struct Pad {
    bool connected;
    XINPUT_GAMEPAD gamepad;
};

// The file's path, or false when FW_XINPUT is not set.
bool ScriptPath(char *path, DWORD size) {
    const DWORD length = GetEnvironmentVariableA("FW_XINPUT", path, size);
    return length > 0 && length < size;
}

// The pads as the file says now.
void ReadPads(Pad pads[kPads]) {
    memset(pads, 0, sizeof(Pad) * kPads);
    char path[MAX_PATH];
    if (!ScriptPath(path, sizeof path)) {
        return;
    }
    FILE *file = std::fopen(path, "r");
    if (file == nullptr) {
        return;
    }
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        unsigned long pad = 0;
        long buttons = 0;
        long lx = 0, ly = 0, rx = 0, ry = 0;
        unsigned long lt = 0, rt = 0;
        if (std::sscanf(line, "pad %lu %li %ld %ld %ld %ld %lu %lu", &pad, &buttons, &lx, &ly, &rx,
                        &ry, &lt, &rt) != 8 ||
            pad >= kPads) {
            continue;
        }
        Pad &p = pads[pad];
        p.connected = true;
        p.gamepad.wButtons = static_cast<WORD>(buttons);
        p.gamepad.sThumbLX = static_cast<SHORT>(lx);
        p.gamepad.sThumbLY = static_cast<SHORT>(ly);
        p.gamepad.sThumbRX = static_cast<SHORT>(rx);
        p.gamepad.sThumbRY = static_cast<SHORT>(ry);
        p.gamepad.bLeftTrigger = static_cast<BYTE>(lt > 255 ? 255 : lt);
        p.gamepad.bRightTrigger = static_cast<BYTE>(rt > 255 ? 255 : rt);
    }
    std::fclose(file);
}

DWORD WINAPI WatchPads(LPVOID) {
    unsigned seen = 0;
    for (;;) {
        Pad pads[kPads];
        ReadPads(pads);
        unsigned connected = 0;
        for (DWORD i = 0; i < kPads; ++i) {
            connected |= pads[i].connected ? 1u << i : 0;
        }
        if (connected != seen) {
            seen = connected;
            device_change::Post();
        }
        Sleep(kWatchMs);
    }
}

} // namespace

extern "C" {

DWORD WINAPI XInputGetState(DWORD index, XINPUT_STATE *state) {
    static DWORD packet;
    if (index >= kPads || state == nullptr) {
        return ERROR_BAD_ARGUMENTS;
    }
    Pad pads[kPads];
    ReadPads(pads);
    if (!pads[index].connected) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    state->dwPacketNumber = ++packet;
    state->Gamepad = pads[index].gamepad;
    return ERROR_SUCCESS;
}

DWORD WINAPI XInputSetState(DWORD index, XINPUT_VIBRATION *vibration) {
    if (index >= kPads || vibration == nullptr) {
        return ERROR_BAD_ARGUMENTS;
    }
    Pad pads[kPads];
    ReadPads(pads);
    if (!pads[index].connected) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    char path[MAX_PATH + 16];
    if (ScriptPath(path, MAX_PATH)) {
        std::strcat(path, ".vibration");
        FILE *file = std::fopen(path, "a");
        if (file != nullptr) {
            std::fprintf(file, "pad %lu %u %u\n", index, vibration->wLeftMotorSpeed,
                         vibration->wRightMotorSpeed);
            std::fclose(file);
        }
    }
    return ERROR_SUCCESS;
}

DWORD WINAPI XInputGetCapabilities(DWORD index, DWORD, XINPUT_CAPABILITIES *capabilities) {
    if (index >= kPads || capabilities == nullptr) {
        return ERROR_BAD_ARGUMENTS;
    }
    Pad pads[kPads];
    ReadPads(pads);
    if (!pads[index].connected) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    memset(capabilities, 0, sizeof *capabilities);
    capabilities->Type = XINPUT_DEVTYPE_GAMEPAD;
    capabilities->SubType = XINPUT_DEVSUBTYPE_GAMEPAD;
    capabilities->Gamepad.wButtons = 0xF3FF;
    capabilities->Gamepad.bLeftTrigger = 0xFF;
    capabilities->Gamepad.bRightTrigger = 0xFF;
    capabilities->Gamepad.sThumbLX = capabilities->Gamepad.sThumbLY = -64;
    capabilities->Gamepad.sThumbRX = capabilities->Gamepad.sThumbRY = -64;
    capabilities->Vibration.wLeftMotorSpeed = capabilities->Vibration.wRightMotorSpeed = 0xFFFF;
    return ERROR_SUCCESS;
}

void WINAPI XInputEnable(BOOL) {}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        HANDLE watcher = CreateThread(nullptr, 0, WatchPads, nullptr, 0, nullptr);
        if (watcher != nullptr) {
            CloseHandle(watcher);
        }
    }
    return TRUE;
}
