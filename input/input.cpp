#include "input/input.h"

#include "app/framework.h"
#include "app/window.h"
#include "input/buttons.h"
#include "input/input_state.h"

#include <dbt.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr DWORD kCooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
// A device that is gone for good (the header's value is unsigned).
constexpr HRESULT kUnplugged = static_cast<HRESULT>(DIERR_UNPLUGGED);
// Key changes DirectInput keeps between two reads; a frame that overflows
// them falls back to comparing the two states.
constexpr DWORD kKeyboardBufferSize = 256;
constexpr DWORD kKeyboardReadChunk = 64;
// After Windows says the devices changed, controllers are looked for at the
// next frame and once more this much later: on some systems DirectInput
// lists a new device only a moment after the notification.
constexpr DWORD kDeviceRecheckMs = 1000;
constexpr BYTE kKeyDown = 0x80;
// GUID_DEVINTERFACE_HID: the device-interface class of HID devices, game
// controllers among them.
constexpr GUID kHidInterfaceClass = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

} // namespace

InputState inputState;

namespace {

HRESULT Report(const char *text, HRESULT result) {
    ShowMessage(text, "Error");
    return result;
}

HRESULT SetAxisRange(LPDIRECTINPUTDEVICE8A device, DWORD axis) {
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = axis;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = -JoystickRange;
    range.lMax = JoystickRange;
    return device->SetProperty(DIPROP_RANGE, &range.diph);
}

HRESULT SetAxisDeadZone(LPDIRECTINPUTDEVICE8A device, DWORD axis) {
    DIPROPDWORD deadZone = {};
    deadZone.diph.dwSize = sizeof deadZone;
    deadZone.diph.dwHeaderSize = sizeof deadZone.diph;
    deadZone.diph.dwObj = axis;
    deadZone.diph.dwHow = DIPH_BYOFFSET;
    deadZone.dwData = JoystickDeadZone;
    return device->SetProperty(DIPROP_DEADZONE, &deadZone.diph);
}

// The steps of CreateJoystick after the device is open, in order, each with
// the text shown when it fails.
struct JoystickStep {
    HRESULT (*run)(LPDIRECTINPUTDEVICE8A joystick);
    const char *failure;
};
const JoystickStep kJoystickSteps[] = {
    {[](LPDIRECTINPUTDEVICE8A j) { return j->SetDataFormat(&c_dfDIJoystick); },
     "CreateJoystick : SetDataFormat\n"},
    {[](LPDIRECTINPUTDEVICE8A j) {
         return j->SetCooperativeLevel(GetWindowHandle(), kCooperativeLevel);
     },
     "CreateJoystick : SetCooperativeLevel\n"},
    {[](LPDIRECTINPUTDEVICE8A j) { return SetAxisRange(j, DIJOFS_X); },
     "CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_X\n"},
    {[](LPDIRECTINPUTDEVICE8A j) { return SetAxisRange(j, DIJOFS_Y); },
     "CreateJoystick : SetProperty DIPROP_RANGE DIJOFS_Y\n"},
    {[](LPDIRECTINPUTDEVICE8A j) { return SetAxisDeadZone(j, DIJOFS_X); },
     "CreateJoystick : SetProperty DIJOFS_X\n"},
    {[](LPDIRECTINPUTDEVICE8A j) { return SetAxisDeadZone(j, DIJOFS_Y); },
     "CreateJoystick : SetProperty DIJOFS_Y\n"},
};

// What one enumeration of controllers found: the last set-up step's result
// of the controller it opened, or the first failure among those it tried.
struct JoystickSearch {
    HRESULT setUpResult;
    const char *failure;
    HRESULT failureResult;
};
JoystickSearch joystickSearch;

// Runs the steps, then reads the device's information and acquires it (their
// results ignored). The last step's result, or the failing one's with its
// text in `failure`.
HRESULT SetUpJoystick(LPDIRECTINPUTDEVICE8A joystick, const char **failure) {
    HRESULT hr = S_OK;
    for (const JoystickStep &step : kJoystickSteps) {
        hr = step.run(joystick);
        if (FAILED(hr)) {
            *failure = step.failure;
            return hr;
        }
    }
    inputState.JoystickInfo().dwSize = sizeof(DIDEVICEINSTANCEA);
    joystick->GetDeviceInfo(&inputState.JoystickInfo());
    joystick->Acquire();
    return hr;
}

// Whether DirectInput's device is one that XInput serves: its device path
// holds "IG_" (case aside). XInput reads such a pad whole (both triggers,
// the right stick, vibration); DirectInput only sees a compatibility view.
bool IsXInputDevice(LPDIRECTINPUTDEVICE8A device) {
    DIPROPGUIDANDPATH path = {};
    path.diph.dwSize = sizeof path;
    path.diph.dwHeaderSize = sizeof path.diph;
    path.diph.dwHow = DIPH_DEVICE;
    if (FAILED(device->GetProperty(DIPROP_GUIDANDPATH, &path.diph))) {
        return false;
    }
    for (const WCHAR *c = path.wszPath; c[0] != 0 && c[1] != 0 && c[2] != 0; ++c) {
        if ((c[0] == L'I' || c[0] == L'i') && (c[1] == L'G' || c[1] == L'g') && c[2] == L'_') {
            return true;
        }
    }
    return false;
}

void Press(MouseState &latch, unsigned button) {
    latch.dwDown |= 1u << button;
    latch.dwPressed |= 1u << button;
}

void Release(MouseState &latch, unsigned button) {
    latch.dwDown &= ~(1u << button);
    latch.dwReleased |= 1u << button;
}

// Every held button is let go: its up message will not reach the window.
void ReleaseAll(MouseState &latch) {
    latch.dwReleased |= latch.dwDown;
    latch.dwDown = 0;
}

// This frame's mouse: the buttons held now, those that went down or up since
// the last frame, and the whole wheel steps turned (the rest of a step is
// kept for the next frame).
void TakeMouseLatch() {
    MouseState &latch = inputState.MouseLatch;
    inputState.Mouse.dwDown = latch.dwDown;
    inputState.Mouse.dwPressed = latch.dwPressed;
    inputState.Mouse.dwReleased = latch.dwReleased;
    inputState.Mouse.wheel = latch.wheel / WHEEL_DELTA;
    latch.wheel -= inputState.Mouse.wheel * WHEEL_DELTA;
    latch.dwPressed = 0;
    latch.dwReleased = 0;
}

// This frame's typed text; the latch starts afresh.
void TakeTypedText() {
    memcpy(inputState.TypedText, inputState.TypedLatch, inputState.typedLatchLength);
    inputState.TypedText[inputState.typedLatchLength] = '\0';
    inputState.typedLatchLength = 0;
    inputState.bTypedLatchFull = FALSE;
}

// One UTF-16 unit of a WM_CHAR: a character of typed text once whole.
// Control characters (Backspace, Enter, Tab, Escape) stay keys.
void AddTypedUnit(WCHAR unit) {
    DWORD code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        inputState.wPendingSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (inputState.wPendingSurrogate == 0) {
            return; // half a character
        }
        code = 0x10000 + ((inputState.wPendingSurrogate - 0xD800u) << 10) + (unit - 0xDC00u);
    }
    inputState.wPendingSurrogate = 0;
    if (code < 0x20 || code == 0x7F || inputState.bTypedLatchFull) {
        return;
    }
    char bytes[4];
    size_t count;
    if (code < 0x80) {
        bytes[0] = static_cast<char>(code);
        count = 1;
    } else if (code < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (code >> 6));
        bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
        count = 2;
    } else if (code < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (code >> 12));
        bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
        count = 3;
    } else {
        bytes[0] = static_cast<char>(0xF0 | (code >> 18));
        bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
        count = 4;
    }
    // A character that does not fit is dropped with everything after it in
    // this frame, so that the text taken is a whole beginning of what was typed.
    if (inputState.typedLatchLength + count > kTypedTextBytes) {
        inputState.bTypedLatchFull = TRUE;
        return;
    }
    memcpy(inputState.TypedLatch + inputState.typedLatchLength, bytes, count);
    inputState.typedLatchLength += count;
}

constexpr BYTE kNoChange = 0xFF;

// Reads the keyboard's buffered changes since the last read into this
// frame's presses and releases, and each key's last change into `last`
// (kNoChange where it has none). False when they cannot be trusted to be
// complete: the buffer overflowed, or it cannot be read (a keyboard without
// a buffer, or one not acquired).
bool ReadKeyboardChanges(LPDIRECTINPUTDEVICE8A keyboard, BYTE (&last)[256]) {
    bool complete = true;
    DIDEVICEOBJECTDATA changes[kKeyboardReadChunk];
    for (;;) {
        DWORD count = kKeyboardReadChunk;
        const HRESULT hr = keyboard->GetDeviceData(sizeof changes[0], changes, &count, 0);
        if (FAILED(hr)) {
            return false;
        }
        complete = complete && hr != DI_BUFFEROVERFLOW;
        for (DWORD i = 0; i < count && i < kKeyboardReadChunk; ++i) {
            const DWORD key = changes[i].dwOfs & 0xFF;
            if ((changes[i].dwData & kKeyDown) != 0) {
                if (inputState.KeyPresses[key] < 0xFF) {
                    ++inputState.KeyPresses[key];
                }
                last[key] = kKeyDown;
            } else {
                inputState.KeyReleases[key] = 1;
                last[key] = 0;
            }
        }
        if (count < kKeyboardReadChunk) {
            return complete;
        }
    }
}

// This frame's key edges. From the buffered changes where they are complete;
// otherwise (after a failed read, an overflow, or a keyboard without a
// buffer) also from the difference of the two states, so nothing the states
// show is lost. A change buffered after the state was read is newer than
// the state: KeyState takes it, so that no key reads down in the frame that
// reports its release.
void ReadKeyEdges(LPDIRECTINPUTDEVICE8A keyboard, bool stateRead) {
    memset(inputState.KeyPresses, 0, sizeof inputState.KeyPresses);
    memset(inputState.KeyReleases, 0, sizeof inputState.KeyReleases);
    BYTE last[256];
    memset(last, kNoChange, sizeof last);
    // The buffer is read whenever the state was (so nothing stale is left in
    // it), but trusted alone only when the previous read succeeded too: a
    // keyboard acquired again starts with an empty buffer, and keys held
    // then show only in the state.
    const bool buffered = stateRead && keyboard != nullptr && ReadKeyboardChanges(keyboard, last);
    const bool complete = buffered && !inputState.bKeyboardUnread;
    inputState.bKeyboardUnread = !stateRead;
    for (unsigned key = 0; key < 256; ++key) {
        if (!complete) {
            const bool now = inputState.KeyState[key] == kKeyDown;
            const bool before = inputState.PreviousKeyState[key] == kKeyDown;
            if (now && !before && inputState.KeyPresses[key] == 0) {
                inputState.KeyPresses[key] = 1;
            }
            if (before && !now) {
                inputState.KeyReleases[key] = 1;
            }
        } else if (last[key] != kNoChange) {
            inputState.KeyState[key] = last[key];
        }
    }
}

void NeutralJoyState() {
    memset(&inputState.JoyState, 0, sizeof inputState.JoyState);
    for (DWORD &pov : inputState.JoyState.rgdwPOV) {
        pov = 0xFFFFFFFF; // centred
    }
}

void DropJoystick() {
    LPDIRECTINPUTDEVICE8A &joystick = inputState.lpJoystick();
    joystick->Unacquire();
    joystick->Release();
    joystick = nullptr;
    memset(&inputState.JoystickInfo(), 0, sizeof(DIDEVICEINSTANCEA));
    NeutralJoyState();
}

// Enumerates the attached controllers and opens the first that can be set
// up. The enumeration's own result.
HRESULT FindJoystick() {
    joystickSearch = JoystickSearch{};
    return inputState.lpDI->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoystickCallback, nullptr,
                                        DIEDFL_ATTACHEDONLY);
}

// Hot-plug: looks for a controller when Windows said the devices changed,
// never on a timer (enumeration can take tens of milliseconds on a system
// with many HID devices). A required controller's set-up failure is shown
// once; an optional one's never.
void LookForJoystick(bool devicesChanged) {
    const DWORD now = GetTickCount();
    bool due = devicesChanged;
    if (inputState.bDeviceRecheck && static_cast<LONG>(now - inputState.dwDeviceRecheckTime) >= 0) {
        inputState.bDeviceRecheck = FALSE;
        due = true;
    }
    if (devicesChanged) {
        inputState.bDeviceRecheck = TRUE;
        inputState.dwDeviceRecheckTime = now + kDeviceRecheckMs;
    }
    if (!due || inputState.lpJoystick() != nullptr || inputState.lpDI == nullptr) {
        return;
    }
    FindJoystick();
    if (inputState.lpJoystick() == nullptr && joystickSearch.failure != nullptr &&
        !inputState.bJoystickOptional && !inputState.bJoystickFailureShown) {
        inputState.bJoystickFailureShown = TRUE;
        ShowMessage(joystickSearch.failure, "Error");
    }
}

void WatchDeviceChanges() {
    HWND window = GetWindowHandle();
    if (window == nullptr || inputState.hDeviceNotify != nullptr) {
        return;
    }
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidInterfaceClass;
    // NULL where the system refuses: DBT_DEVNODES_CHANGED, which every
    // top-level window gets, still says that something changed.
    inputState.hDeviceNotify =
        RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

} // namespace

HRESULT InitInput() {
    HRESULT hr = DirectInput8Create(GetInstanceHandle(), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<void **>(&inputState.lpDI), nullptr);
    if (hr != 0) {
        ShowMessage("InitInput : DirectInput8Create\n", "Error");
        ExitFramework();
        return hr;
    }
    hr = CreateKeyboard();
    if (hr != 0) {
        return Report("InitInput : CreateKeyboard\n", hr);
    }
    OpenPads();
    WatchDeviceChanges();
    hr = CreateJoystick();
    // Without a DirectInput controller an XInput pad does, and an optional
    // program needs neither; any other failure is one.
    const bool missing = hr == E_FAIL && inputState.lpJoystick() == nullptr;
    if (hr != 0 && !(missing && (inputState.bJoystickOptional || AnyPadConnected()))) {
        return Report("InitInput : CreateJoystick\n", hr);
    }
    return 0;
}

HRESULT CreateKeyboard() {
    if (inputState.lpDI == nullptr) {
        return E_FAIL;
    }
    LPDIRECTINPUTDEVICE8A &keyboard = inputState.lpKeyboard();
    HRESULT hr = inputState.lpDI->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : CreateDevice\n", hr);
    }
    hr = keyboard->SetDataFormat(&c_dfDIKeyboard);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : SetDataFormat\n", hr);
    }
    hr = keyboard->SetCooperativeLevel(GetWindowHandle(), kCooperativeLevel);
    if (FAILED(hr)) {
        return Report("CreateKeyboard : SetCooperativeLevel\n", hr);
    }
    // The buffer keeps each key change between two frames, so that a tap
    // shorter than a frame is seen. Without it (refused) the edges come from
    // the states alone.
    DIPROPDWORD buffer = {};
    buffer.diph.dwSize = sizeof buffer;
    buffer.diph.dwHeaderSize = sizeof buffer.diph;
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = kKeyboardBufferSize;
    keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph);
    inputState.bKeyboardUnread = TRUE;
    inputState.KeyboardInfo().dwSize = sizeof(DIDEVICEINSTANCEA);
    hr = keyboard->GetDeviceInfo(&inputState.KeyboardInfo());
    if (FAILED(hr)) {
        return Report("CreateKeyboard : GetDeviceInfo\n", hr);
    }
    // Without the focus this fails; UpdateInput acquires again on every failed read.
    keyboard->Acquire();
    return hr;
}

HRESULT CreateJoystick() {
    if (inputState.lpDI == nullptr) {
        return E_FAIL;
    }
    NeutralJoyState();
    HRESULT hr = FindJoystick();
    if (FAILED(hr)) {
        return Report("CreateJoystick : EnumDevices\n", hr);
    }
    if (inputState.lpJoystick() != nullptr) {
        return joystickSearch.setUpResult;
    }
    // NOTE: no message for a missing controller; InitInput's own says so.
    // Controllers that were there but could not be set up: the first one's
    // failure, for a required controller. An optional one is simply missing.
    if (joystickSearch.failure == nullptr || inputState.bJoystickOptional) {
        return E_FAIL;
    }
    inputState.bJoystickFailureShown = TRUE;
    return Report(joystickSearch.failure, joystickSearch.failureResult);
}

BOOL CALLBACK EnumJoystickCallback(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    if (inputState.lpDI == nullptr || instance == nullptr) {
        return DIENUM_STOP;
    }
    LPDIRECTINPUTDEVICE8A device = nullptr;
    HRESULT hr = inputState.lpDI->CreateDevice(instance->guidInstance, &device, nullptr);
    if (FAILED(hr) || device == nullptr) {
        return DIENUM_CONTINUE;
    }
    if (inputState.pXInputGetState != nullptr && IsXInputDevice(device)) {
        device->Release();
        return DIENUM_CONTINUE; // read through XInput
    }
    const char *failure = nullptr;
    hr = SetUpJoystick(device, &failure);
    if (FAILED(hr)) {
        // Pedals or a wheel that refuse the joystick's format: the next one may do.
        if (joystickSearch.failure == nullptr) {
            joystickSearch.failure = failure;
            joystickSearch.failureResult = hr;
        }
        device->Release();
        return DIENUM_CONTINUE;
    }
    inputState.lpJoystick() = device;
    joystickSearch.setUpResult = hr;
    return DIENUM_STOP;
}

HRESULT UpdateInput() {
    HRESULT hr = E_FAIL;
    memcpy(inputState.PreviousKeyState, inputState.KeyState, sizeof inputState.KeyState);
    TakeMouseLatch();
    TakeTypedText();
    LPDIRECTINPUTDEVICE8A keyboard = inputState.lpKeyboard();
    bool stateRead = false;
    if (keyboard != nullptr) {
        // A failed read leaves every key up for this frame.
        memset(inputState.KeyState, 0, sizeof inputState.KeyState);
        hr = keyboard->GetDeviceState(sizeof inputState.KeyState, inputState.KeyState);
        stateRead = hr == 0;
        if (hr != 0) {
            hr = keyboard->Acquire();
        }
    }
    ReadKeyEdges(keyboard, stateRead);

    const bool devicesChanged = inputState.bDevicesChanged != FALSE;
    inputState.bDevicesChanged = FALSE;
    LookForJoystick(devicesChanged);
    UpdatePads(devicesChanged, IsWindowFocused());
    LPDIRECTINPUTDEVICE8A joystick = inputState.lpJoystick();
    if (joystick != nullptr) {
        hr = joystick->Poll();
        if (hr == DI_OK || hr == DI_NOEFFECT) {
            hr = joystick->GetDeviceState(sizeof inputState.JoyState, &inputState.JoyState);
        }
        if (FAILED(hr)) {
            // A failed read (the window lost the focus) reads neutral until a
            // read succeeds, as the keyboard reads every key up: a stick held
            // at that moment would otherwise keep the player moving.
            NeutralJoyState();
            const HRESULT acquired = joystick->Acquire();
            // Pulled out: it is let go, and looked for again when Windows
            // says the devices changed.
            if (hr == kUnplugged || acquired == kUnplugged) {
                DropJoystick();
            }
        }
    }
    TakeButtonEdges();
    return hr;
}

void ReleaseInput() {
    for (LPDIRECTINPUTDEVICE8A &device : inputState.lpDevice) {
        if (device != nullptr) {
            device->Unacquire();
            device->Release();
            device = nullptr;
        }
    }
    ClosePads();
    if (inputState.hDeviceNotify != nullptr) {
        UnregisterDeviceNotification(inputState.hDeviceNotify);
        inputState.hDeviceNotify = nullptr;
    }
    memset(inputState.KeyState, 0, sizeof inputState.KeyState);
    memset(inputState.PreviousKeyState, 0, sizeof inputState.PreviousKeyState);
    memset(inputState.KeyPresses, 0, sizeof inputState.KeyPresses);
    memset(inputState.KeyReleases, 0, sizeof inputState.KeyReleases);
    inputState.dwPreviousButtons = 0;
    inputState.dwButtonsPressed = 0;
    inputState.dwButtonsReleased = 0;
    memset(inputState.DeviceInfo, 0, sizeof inputState.DeviceInfo);
    memset(&inputState.JoyState, 0, sizeof inputState.JoyState);
    inputState.Mouse = MouseState{};
    inputState.MouseLatch = MouseState{};
    inputState.bDevicesChanged = FALSE;
    inputState.bDeviceRecheck = FALSE;
    inputState.bJoystickFailureShown = FALSE;
    inputState.typedLatchLength = 0;
    inputState.bTypedLatchFull = FALSE;
    inputState.wPendingSurrogate = 0;
    inputState.TypedText[0] = '\0';
    if (inputState.lpDI != nullptr) {
        inputState.lpDI->Release();
        inputState.lpDI = nullptr;
    }
}

void SetJoystickRequired(BOOL required) { inputState.bJoystickOptional = !required; }

int IsJoystickConnected() { return inputState.lpJoystick() != nullptr ? 1 : 0; }

void SetTextInput(BOOL on) {
    inputState.bTextInput = on;
    inputState.typedLatchLength = 0;
    inputState.bTypedLatchFull = FALSE;
    inputState.wPendingSurrogate = 0;
}

BOOL InputWindowMessage(HWND window, UINT message, WPARAM wParam) {
    MouseState &latch = inputState.MouseLatch;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        // Captured while a button is held, so that its release outside the
        // window still comes here.
        if (latch.dwDown == 0 && GetCapture() != window) {
            SetCapture(window);
        }
        Press(latch, message == WM_LBUTTONDOWN                ? 0
                     : message == WM_RBUTTONDOWN              ? 1
                     : message == WM_MBUTTONDOWN              ? 2
                     : GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? 3
                                                              : 4);
        return message == WM_XBUTTONDOWN;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
        Release(latch, message == WM_LBUTTONUP                  ? 0
                       : message == WM_RBUTTONUP                ? 1
                       : message == WM_MBUTTONUP                ? 2
                       : GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? 3
                                                                : 4);
        if (latch.dwDown == 0 && GetCapture() == window) {
            ReleaseCapture();
        }
        return message == WM_XBUTTONUP;
    case WM_CAPTURECHANGED:
    case WM_KILLFOCUS:
        // The button-up messages go elsewhere now: every button is let go.
        ReleaseAll(latch);
        return FALSE;
    case WM_MOUSEWHEEL:
        latch.wheel += GET_WHEEL_DELTA_WPARAM(wParam);
        return FALSE;
    case WM_DEVICECHANGE:
        if (wParam == DBT_DEVNODES_CHANGED || wParam == DBT_DEVICEARRIVAL ||
            wParam == DBT_DEVICEREMOVECOMPLETE) {
            inputState.bDevicesChanged = TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void TakeTypedCharacters() {
    if (!inputState.bTextInput) {
        return;
    }
    // NOTE: the window is an ANSI window, whose WM_CHAR carries the system
    // code page's bytes: characters outside it would come as '?'. Taken with
    // PeekMessageW the same message carries UTF-16; DispatchMessageW still
    // hands the window procedure its ANSI form.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        if (msg.hwnd == GetWindowHandle()) {
            AddTypedUnit(static_cast<WCHAR>(msg.wParam));
        }
        DispatchMessageW(&msg);
    }
}
