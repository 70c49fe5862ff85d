// Start-up and shutdown: the framework's program against a bare program with
// the same platform set-up, each run as a process of its own, alternately.
#include "benches.h"
#include "measure.h"

#include <fw/app/framework.h>
#include <fw/app/window.h>
#include "../app/window_state.h"
#include <fw/graphics/graphics.h>
#include <fw/input/input.h>
#include <fw/sound/sound.h>

#include <d3d9.h>
#include <dinput.h>
#include <dsound.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

namespace {

// What a child reports, in seconds: the start-up, its parts (negative when
// not taken), then the shutdown's parts.
enum Figure {
    kStartup,
    kStartWindow,
    kStartInput,
    kStartSound,
    kStartGraphics,
    kFirstFrame,
    kStopSound,
    kStopInput,
    kStopGraphics,
    kStopWindow,
    kFigures
};
constexpr const char *kFigureNames[] = {"",         "window",      "input", "sound",
                                        "graphics", "first frame", "sound", "input",
                                        "graphics", "window"};

// ---- The bare program ------------------------------------------------------

struct BareProgram {
    HWND hwnd = nullptr;
    IDirectInput8A *input = nullptr;
    IDirectInputDevice8A *keyboard = nullptr;
    IDirectInputDevice8A *joystick = nullptr;
    IDirectSound8 *sound = nullptr;
    IDirectSoundBuffer *silence = nullptr;
    IDirect3D9 *d3d = nullptr;
    IDirect3DDevice9 *device = nullptr;
} bare;

LRESULT CALLBACK BareWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool BareWindow(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_CLASSDC;
    wc.lpfnWndProc = BareWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "bare";
    if (!RegisterClassExA(&wc)) {
        return false;
    }
    const DWORD style = WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    RECT rect = {0, 0, 800, 600};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    bare.hwnd =
        CreateWindowExA(exStyle, "bare", "bare", style, (GetSystemMetrics(SM_CXSCREEN) - 800) / 2,
                        (GetSystemMetrics(SM_CYSCREEN) - 600) / 2, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (!bare.hwnd) {
        return false;
    }
    ShowWindow(bare.hwnd, SW_SHOW);
    UpdateWindow(bare.hwnd);
    timeBeginPeriod(1);
    return true;
}

BOOL CALLBACK FirstController(LPCDIDEVICEINSTANCEA instance, void *guid) {
    *static_cast<GUID *>(guid) = instance->guidInstance;
    return DIENUM_STOP;
}

bool BareInput(HINSTANCE instance) {
    const DWORD level = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<void **>(&bare.input), nullptr)) ||
        FAILED(bare.input->CreateDevice(GUID_SysKeyboard, &bare.keyboard, nullptr)) ||
        FAILED(bare.keyboard->SetDataFormat(&c_dfDIKeyboard)) ||
        FAILED(bare.keyboard->SetCooperativeLevel(bare.hwnd, level))) {
        return false;
    }
    bare.keyboard->Acquire();
    GUID controller = GUID_NULL;
    bare.input->EnumDevices(DI8DEVCLASS_GAMECTRL, FirstController, &controller,
                            DIEDFL_ATTACHEDONLY);
    if (IsEqualGUID(controller, GUID_NULL) ||
        FAILED(bare.input->CreateDevice(controller, &bare.joystick, nullptr)) ||
        FAILED(bare.joystick->SetDataFormat(&c_dfDIJoystick)) ||
        FAILED(bare.joystick->SetCooperativeLevel(bare.hwnd, level))) {
        return false;
    }
    bare.joystick->Acquire();
    return true;
}

bool BareSound() {
    CoInitialize(nullptr);
    DSCAPS caps = {};
    caps.dwSize = sizeof caps;
    if (FAILED(DirectSoundCreate8(nullptr, &bare.sound, nullptr)) ||
        FAILED(bare.sound->SetCooperativeLevel(bare.hwnd, DSSCL_NORMAL)) ||
        FAILED(bare.sound->GetCaps(&caps))) {
        return false;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    format.wBitsPerSample = (caps.dwFlags & DSCAPS_SECONDARY16BIT) ? 16 : 8;
    format.nSamplesPerSec = caps.dwMaxSecondarySampleRate;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                   DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                   DSBCAPS_GETCURRENTPOSITION2; // the framework's silent buffer's
    desc.dwBufferBytes = 3 * format.nAvgBytesPerSec;
    desc.lpwfxFormat = &format;
    if (FAILED(bare.sound->CreateSoundBuffer(&desc, &bare.silence, nullptr))) {
        return false;
    }
    void *region = nullptr;
    DWORD bytes = 0;
    if (SUCCEEDED(
            bare.silence->Lock(0, 0, &region, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
        memset(region, format.wBitsPerSample == 8 ? 0x80 : 0, bytes);
        bare.silence->Unlock(region, bytes, nullptr, 0);
    }
    return SUCCEEDED(bare.silence->Play(0, 0, DSBPLAY_LOOPING));
}

bool BareGraphics() {
    bare.d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DDISPLAYMODE mode;
    if (!bare.d3d || FAILED(bare.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
        return false;
    }
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    pp.BackBufferFormat = mode.Format;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    return SUCCEEDED(bare.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, bare.hwnd,
                                            D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                            &bare.device));
}

void BareFirstFrame() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    bare.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
    bare.device->BeginScene();
    bare.device->EndScene();
    bare.device->Present(nullptr, nullptr, nullptr, nullptr);
}

template <typename T> void Release(T *&object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

void BareReleaseSound() {
    if (bare.silence) {
        bare.silence->Stop();
    }
    Release(bare.silence);
    Release(bare.sound);
    CoUninitialize();
}

void BareReleaseInput() {
    for (IDirectInputDevice8A **device : {&bare.keyboard, &bare.joystick}) {
        if (*device) {
            (*device)->Unacquire();
        }
        Release(*device);
    }
    Release(bare.input);
}

void BareReleaseGraphics() {
    Release(bare.device);
    Release(bare.d3d);
}

void BareReleaseWindow(HINSTANCE instance) {
    DestroyWindow(bare.hwnd);
    timeEndPeriod(1);
    UnregisterClassA("bare", instance);
}

// ---- The parent's side -----------------------------------------------------

// Runs this executable with `mode` and reads its figures from its output.
bool RunChild(const char *mode, std::vector<double> *figures) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string command = Format("\"%s\" %s", path, mode);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char chunk[256];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            output.append(chunk, got);
        }
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    figures->clear();
    const char *text = output.c_str();
    char *end = nullptr;
    for (double value = strtod(text, &end); end != text; value = strtod(text, &end)) {
        figures->push_back(value);
        text = end;
    }
    return static_cast<int>(figures->size()) == kFigures;
}

// The framework's start-up step by step, InitFramework's steps in its order
// without its error handling, to show where the time goes.
bool FrameworkSteps(double *at) {
    windowState.instance = GetModuleHandleA(nullptr);
    windowState.width = 800;
    windowState.height = 600;
    windowState.windowed = 1;
    wsprintfA(windowState.name, "%s", "fw");
    if (RegisterFrameworkClass("fw") != S_OK || CreateFrameworkWindow() != S_OK) {
        return false;
    }
    ShowWindow(windowState.hwnd, SW_SHOW);
    UpdateWindow(windowState.hwnd);
    timeBeginPeriod(1);
    at[kStartWindow] = Now();
    const bool input = InitInput() == 0;
    at[kStartInput] = Now();
    const bool sound = InitSound() == 0;
    at[kStartSound] = Now();
    const bool graphics = InitDirectX() == 0;
    at[kStartGraphics] = Now();
    return input && sound && graphics;
}

bool BareSteps(HINSTANCE instance, double *at) {
    if (!BareWindow(instance)) {
        return false;
    }
    at[kStartWindow] = Now();
    const bool input = BareInput(instance);
    at[kStartInput] = Now();
    const bool sound = BareSound();
    at[kStartSound] = Now();
    const bool graphics = BareGraphics();
    at[kStartGraphics] = Now();
    return input && sound && graphics;
}

} // namespace

int RunStartupChild(StartupSide side, double mainStart) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    double at[kFigures] = {};
    at[kStartup] = mainStart;
    bool started = false;
    if (side == StartupSide::kFramework) {
        started = InitFramework("fw", 800, 600, 1) == 0;
    } else if (side == StartupSide::kFrameworkSteps) {
        started = FrameworkSteps(at);
    } else {
        started = BareSteps(instance, at);
    }
    if (!started) {
        return 1;
    }
    if (side == StartupSide::kBare) {
        BareFirstFrame();
    } else {
        FrameworkFrame();
    }
    at[kFirstFrame] = Now();
    if (side == StartupSide::kBare) {
        BareReleaseSound();
        at[kStopSound] = Now();
        BareReleaseInput();
        at[kStopInput] = Now();
        BareReleaseGraphics();
        at[kStopGraphics] = Now();
        BareReleaseWindow(instance);
    } else {
        // ExitFramework's releases one by one; it then finds them done and
        // does what is left: the window, the timer, the class.
        ReleaseSound();
        at[kStopSound] = Now();
        ReleaseInput();
        at[kStopInput] = Now();
        ReleaseDirectX();
        at[kStopGraphics] = Now();
        ExitFramework();
    }
    at[kStopWindow] = Now();
    std::printf("%.6f", at[kFirstFrame] - at[kStartup]);
    for (int figure = kStartWindow; figure < kFigures; ++figure) {
        const bool taken = at[figure] != 0.0 && at[figure - 1] != 0.0;
        std::printf(" %.6f", taken ? at[figure] - at[figure - 1] : -1.0);
    }
    std::printf("\n");
    return 0;
}

void BenchStartup(int rounds) {
    Progress("start-up and shutdown: %d rounds of a fw program, the same step by step and a bare "
             "one",
             rounds);
    // figures[figure][side][round]; sides: fw, bare, fw step by step.
    std::vector<Times> figures(kFigures + 1, Times(3));
    bool failed = false;
    auto side = [&](int which, const char *mode) {
        std::vector<double> values;
        if (!RunChild(mode, &values)) {
            failed = true;
            return 0.0;
        }
        double shutdown = 0.0;
        for (int figure = 0; figure < kFigures; ++figure) {
            figures[figure][which].push_back(values[figure]);
            shutdown += figure >= kStopSound ? values[figure] : 0.0;
        }
        figures[kFigures][which].push_back(shutdown);
        return values[kStartup];
    };
    Alternate(rounds,
              {[&] { return side(0, "startup-fw"); }, [&] { return side(1, "startup-bare"); },
               [&] { return side(2, "startup-fw-steps"); }});
    if (failed) {
        Progress("start-up: a child program failed; its rounds are left out");
    }
    if (figures[kStartup][0].empty() || figures[kStartup][1].empty() ||
        figures[kStartup][2].empty()) {
        return;
    }
    AddRatioRow("start-up: main to first frame, fw vs bare", figures[kStartup], 0, 1, 1e3, "ms",
                1.1);
    for (int figure = kStartWindow; figure <= kFirstFrame; ++figure) {
        AddRatioRow(Format("start-up, step by step: %s", kFigureNames[figure]), figures[figure], 2,
                    1, 1e3, "ms", 0.0);
    }
    AddRatioRow("shutdown: whole, fw vs bare", figures[kFigures], 0, 1, 1e3, "ms", 0.0);
    for (int figure = kStopSound; figure < kFigures; ++figure) {
        AddRatioRow(Format("shutdown: %s", kFigureNames[figure]), figures[figure], 0, 1, 1e3, "ms",
                    0.0);
    }
}

} // namespace bench
