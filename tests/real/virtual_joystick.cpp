#include "real/virtual_joystick.h"

#include "real/device_change.h"

#include <dinput.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kButtons = 32;
constexpr int kAxes = 2; // X, Y
constexpr LONG kDefaultMin = 0;
constexpr LONG kDefaultMax = 65535;
constexpr DWORD kMaxDeadZone = 10000;
constexpr DWORD kPovCentred = 0xFFFFFFFF;

// {6677A2B4-5D1E-4F8A-9C3B-7F6A00000001}
constexpr GUID kInstanceGuid = {
    0x6677a2b4, 0x5d1e, 0x4f8a, {0x9c, 0x3b, 0x7f, 0x6a, 0x00, 0x00, 0x00, 0x01}};
// {6677A2B4-5D1E-4F8A-9C3B-7F6A00000002}: the controller that fails set-up.
constexpr GUID kBrokenGuid = {
    0x6677a2b4, 0x5d1e, 0x4f8a, {0x9c, 0x3b, 0x7f, 0x6a, 0x00, 0x00, 0x00, 0x02}};
// Product GUIDs of HID devices carry the product and vendor ids in their
// first field and "PIDVID" in their last bytes.
constexpr GUID kProductGuid = {
    0x0001f00d, 0x0000, 0x0000, {0x00, 0x00, 0x50, 0x49, 0x44, 0x56, 0x49, 0x44}};
constexpr char kName[] = "fw virtual joystick";

// Where Wine's own DirectInput comes from: a DLL that takes the place of
// dinput8.dll names a renamed copy of it instead.
#ifndef VIRTUAL_JOYSTICK_REAL_DINPUT8
#define VIRTUAL_JOYSTICK_REAL_DINPUT8 "dinput8.dll"
#endif

class VirtualDevice;

// The physical stick every open virtual device reads.
struct Stick {
    LONG x = 0;
    LONG y = 0;
    BYTE buttons[kButtons] = {};
    DWORD pov = kPovCentred;
    bool plugged = true;
    bool brokenFirst = false;
    DIJOYSTATE lastReading = {};
    std::vector<VirtualDevice *> open;
    int acquired = 0;
    void (*readHook)() = nullptr;
} stick;

// ---- Virtual device -----------------------------------------------------

struct AxisSettings {
    LONG min = kDefaultMin;
    LONG max = kDefaultMax;
    DWORD deadZone = 0;
};

LONG MapAxis(LONG raw, const AxisSettings &axis) {
    const double travel = static_cast<double>(std::labs(raw)) / virtual_joystick::kAxisFull;
    const double dead = axis.deadZone / 10000.0;
    double outside = 0.0;
    if (travel > dead) {
        outside = std::min(1.0, (travel - dead) / (1.0 - dead));
    }
    const double centre = (static_cast<double>(axis.min) + axis.max) / 2.0;
    const double half = (static_cast<double>(axis.max) - axis.min) / 2.0;
    return static_cast<LONG>(std::lround(centre + (raw < 0 ? -outside : outside) * half));
}

bool IsJoystickFormat(LPCDIDATAFORMAT format) {
    return format->dwSize == sizeof(DIDATAFORMAT) &&
           format->dwObjSize == c_dfDIJoystick.dwObjSize &&
           format->dwDataSize == sizeof(DIJOYSTATE) &&
           format->dwNumObjs == c_dfDIJoystick.dwNumObjs;
}

void FillInstance(DIDEVICEINSTANCEA *instance) {
    DIDEVICEINSTANCEA full = {};
    full.dwSize = sizeof full;
    full.guidInstance = kInstanceGuid;
    full.guidProduct = kProductGuid;
    full.dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8) | DIDEVTYPE_HID;
    strcpy(full.tszInstanceName, kName);
    strcpy(full.tszProductName, kName);
    full.wUsagePage = 0x01; // generic desktop
    full.wUsage = 0x04;     // joystick
    const DWORD size = instance->dwSize;
    memcpy(instance, &full, size);
    instance->dwSize = size;
}

#define NOT_SUPPORTED(method, ...)                                                                 \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return DIERR_UNSUPPORTED; }

class VirtualDevice : public IDirectInputDevice8A {
  public:
    explicit VirtualDevice(bool broken = false) : broken_(broken) {
        if (!broken_) {
            stick.open.push_back(this);
        }
    }
    virtual ~VirtualDevice() {
        SetAcquired(false);
        if (!broken_) {
            stick.open.erase(std::find(stick.open.begin(), stick.open.end(), this));
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputDevice8A)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override {
        if (caps == nullptr) {
            return E_POINTER;
        }
        if (caps->dwSize != sizeof(DIDEVCAPS) && caps->dwSize != sizeof(DIDEVCAPS_DX3)) {
            return DIERR_INVALIDPARAM;
        }
        const DWORD size = caps->dwSize;
        memset(caps, 0, size);
        caps->dwSize = size;
        caps->dwFlags = DIDC_ATTACHED;
        caps->dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8) | DIDEVTYPE_HID;
        caps->dwAxes = kAxes;
        caps->dwButtons = kButtons;
        caps->dwPOVs = 1;
        return DI_OK;
    }

    NOT_SUPPORTED(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD)

    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override {
        if (header == nullptr) {
            return E_POINTER;
        }
        if (header->dwHeaderSize != sizeof(DIPROPHEADER) || header->dwHow == DIPH_DEVICE) {
            return DIERR_INVALIDPARAM;
        }
        AxisSettings *axis = Axis(header);
        if (axis == nullptr) {
            return DIERR_OBJECTNOTFOUND;
        }
        if (&property == &DIPROP_RANGE && header->dwSize == sizeof(DIPROPRANGE)) {
            auto *range = reinterpret_cast<DIPROPRANGE *>(header);
            range->lMin = axis->min;
            range->lMax = axis->max;
            return DI_OK;
        }
        if (&property == &DIPROP_DEADZONE && header->dwSize == sizeof(DIPROPDWORD)) {
            reinterpret_cast<DIPROPDWORD *>(header)->dwData = axis->deadZone;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        if (header == nullptr) {
            return E_POINTER;
        }
        if (header->dwHeaderSize != sizeof(DIPROPHEADER)) {
            return DIERR_INVALIDPARAM;
        }
        AxisSettings *first = axes_;
        AxisSettings *last = axes_ + kAxes;
        if (header->dwHow != DIPH_DEVICE) {
            first = Axis(header);
            if (first == nullptr) {
                return DIERR_OBJECTNOTFOUND;
            }
            last = first + 1;
        } else if (header->dwObj != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (&property == &DIPROP_RANGE) {
            if (header->dwSize != sizeof(DIPROPRANGE)) {
                return DIERR_INVALIDPARAM;
            }
            const auto *range = reinterpret_cast<const DIPROPRANGE *>(header);
            if (range->lMin >= range->lMax) {
                return DIERR_INVALIDPARAM;
            }
            for (AxisSettings *axis = first; axis != last; ++axis) {
                axis->min = range->lMin;
                axis->max = range->lMax;
            }
            return DI_OK;
        }
        if (&property == &DIPROP_DEADZONE) {
            if (header->dwSize != sizeof(DIPROPDWORD)) {
                return DIERR_INVALIDPARAM;
            }
            const DWORD deadZone = reinterpret_cast<const DIPROPDWORD *>(header)->dwData;
            if (deadZone > kMaxDeadZone) {
                return DIERR_INVALIDPARAM;
            }
            for (AxisSettings *axis = first; axis != last; ++axis) {
                axis->deadZone = deadZone;
            }
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (!formatSet_) {
            return DIERR_INVALIDPARAM;
        }
        if (unplugged_) {
            return DIERR_UNPLUGGED;
        }
        if (acquired_) {
            return DI_NOEFFECT;
        }
        lost_ = false;
        SetAcquired(true);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        if (!acquired_) {
            return DI_NOEFFECT;
        }
        SetAcquired(false);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
        // First, so that the hook may pull the stick out.
        if (stick.readHook != nullptr) {
            stick.readHook();
        }
        const HRESULT status = ReadStatus();
        if (status != DI_OK) {
            return status;
        }
        if (data == nullptr || size != sizeof(DIJOYSTATE)) {
            return DIERR_INVALIDPARAM;
        }
        DIJOYSTATE state = {};
        state.lX = MapAxis(stick.x, axes_[0]);
        state.lY = MapAxis(stick.y, axes_[1]);
        state.rgdwPOV[0] = stick.pov;
        for (int hat = 1; hat < 4; ++hat) {
            state.rgdwPOV[hat] = kPovCentred; // the stick has one hat
        }
        memcpy(state.rgbButtons, stick.buttons, sizeof state.rgbButtons);
        memcpy(data, &state, sizeof state);
        stick.lastReading = state;
        return DI_OK;
    }

    NOT_SUPPORTED(GetDeviceData, DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD)

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
        if (format == nullptr) {
            return E_POINTER;
        }
        if (acquired_) {
            return DIERR_ACQUIRED;
        }
        if (broken_ || !IsJoystickFormat(format)) {
            return DIERR_INVALIDPARAM;
        }
        formatSet_ = true;
        return DI_OK;
    }

    NOT_SUPPORTED(SetEventNotification, HANDLE)

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
        const DWORD share = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (share == 0 || share == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) || focus == 0 ||
            focus == (DISCL_FOREGROUND | DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        if (focus == DISCL_FOREGROUND && !IsWindow(window)) {
            return E_HANDLE;
        }
        if (acquired_) {
            return DIERR_ACQUIRED;
        }
        return DI_OK;
    }

    NOT_SUPPORTED(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD)

    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override {
        if (instance == nullptr) {
            return E_POINTER;
        }
        if (instance->dwSize != sizeof(DIDEVICEINSTANCEA) &&
            instance->dwSize != sizeof(DIDEVICEINSTANCE_DX3A)) {
            return DIERR_INVALIDPARAM;
        }
        FillInstance(instance);
        return DI_OK;
    }

    NOT_SUPPORTED(RunControlPanel, HWND, DWORD)
    NOT_SUPPORTED(Initialize, HINSTANCE, DWORD, REFGUID)
    NOT_SUPPORTED(CreateEffect, REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT *, LPUNKNOWN)
    NOT_SUPPORTED(EnumEffects, LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD)
    NOT_SUPPORTED(GetEffectInfo, LPDIEFFECTINFOA, REFGUID)
    NOT_SUPPORTED(GetForceFeedbackState, LPDWORD)
    NOT_SUPPORTED(SendForceFeedbackCommand, DWORD)
    NOT_SUPPORTED(EnumCreatedEffectObjects, LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)
    NOT_SUPPORTED(Escape, LPDIEFFESCAPE)

    // An interrupt-driven device: nothing to poll, but the checks of a read.
    HRESULT STDMETHODCALLTYPE Poll() override {
        const HRESULT status = ReadStatus();
        return status == DI_OK ? DI_NOEFFECT : status;
    }

    NOT_SUPPORTED(SendDeviceData, DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD)
    NOT_SUPPORTED(EnumEffectsInFile, LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)
    NOT_SUPPORTED(WriteEffectToFile, LPCSTR, DWORD, LPDIFILEEFFECT, DWORD)
    NOT_SUPPORTED(BuildActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD)
    NOT_SUPPORTED(SetActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD)
    NOT_SUPPORTED(GetImageInfo, LPDIDEVICEIMAGEINFOHEADERA)

    // Another application took the device, or it went away for a moment.
    void LoseInput() {
        if (acquired_) {
            SetAcquired(false);
            lost_ = true;
        }
    }

    // Pulled out: this device object stays dead, as a real one does.
    void Unplug() {
        SetAcquired(false);
        unplugged_ = true;
    }

  private:
    void SetAcquired(bool acquired) {
        if (acquired != acquired_) {
            stick.acquired += acquired ? 1 : -1;
            acquired_ = acquired;
        }
    }

    // Object offsets are those of c_dfDIJoystick, so they mean nothing before
    // the data format is set.
    AxisSettings *Axis(LPCDIPROPHEADER header) {
        if (header->dwHow != DIPH_BYOFFSET || !formatSet_) {
            return nullptr;
        }
        if (header->dwObj == DIJOFS_X) {
            return &axes_[0];
        }
        if (header->dwObj == DIJOFS_Y) {
            return &axes_[1];
        }
        return nullptr;
    }

    // What a read finds before it looks at the data: a loss of input is
    // reported once, then the device is merely not acquired.
    HRESULT ReadStatus() {
        if (unplugged_) {
            return DIERR_INPUTLOST;
        }
        if (lost_) {
            lost_ = false;
            return DIERR_INPUTLOST;
        }
        return acquired_ ? DI_OK : DIERR_NOTACQUIRED;
    }

    ULONG refs_ = 1;
    bool broken_;
    AxisSettings axes_[kAxes];
    bool formatSet_ = false;
    bool acquired_ = false;
    bool lost_ = false;
    bool unplugged_ = false;
};

// ---- DirectInput wrapper --------------------------------------------------

bool OffersVirtualJoystick(DWORD deviceType, DWORD flags) {
    if ((flags & DIEDFL_FORCEFEEDBACK) != 0) {
        return false;
    }
    const DWORD kind = deviceType & 0xFF;
    return kind == DI8DEVCLASS_ALL || kind == DI8DEVCLASS_GAMECTRL || kind == DI8DEVTYPE_JOYSTICK;
}

class VirtualDirectInput : public IDirectInput8A {
  public:
    explicit VirtualDirectInput(IDirectInput8A *real) : real_(real) {}
    virtual ~VirtualDirectInput() { real_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInput8A)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        return real_->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A *device,
                                           LPUNKNOWN outer) override {
        const bool broken = IsEqualGUID(guid, kBrokenGuid) && stick.brokenFirst;
        if (!IsEqualGUID(guid, kInstanceGuid) && !broken) {
            return real_->CreateDevice(guid, device, outer);
        }
        if (device == nullptr) {
            return E_POINTER;
        }
        if (!stick.plugged) {
            *device = nullptr;
            return DIERR_DEVICENOTREG;
        }
        if (outer != nullptr) {
            *device = nullptr;
            return DIERR_NOAGGREGATION;
        }
        *device = new VirtualDevice(broken);
        return DI_OK;
    }

    // The virtual joystick comes first, so that it is the one a program
    // opens even where real controllers exist.
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback,
                                          LPVOID context, DWORD flags) override {
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (stick.readHook != nullptr) {
            stick.readHook();
        }
        if (stick.plugged && OffersVirtualJoystick(deviceType, flags)) {
            DIDEVICEINSTANCEA instance = {};
            instance.dwSize = sizeof instance;
            FillInstance(&instance);
            if (stick.brokenFirst) {
                DIDEVICEINSTANCEA broken = instance;
                broken.guidInstance = kBrokenGuid;
                strcpy(broken.tszInstanceName, "fw virtual pedals");
                if (callback(&broken, context) == DIENUM_STOP) {
                    return DI_OK;
                }
            }
            if (callback(&instance, context) == DIENUM_STOP) {
                return DI_OK;
            }
        }
        return real_->EnumDevices(deviceType, callback, context, flags);
    }

    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID guid) override {
        if (IsEqualGUID(guid, kInstanceGuid)) {
            return stick.plugged ? DI_OK : DI_NOTATTACHED;
        }
        return real_->GetDeviceStatus(guid);
    }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND owner, DWORD flags) override {
        return real_->RunControlPanel(owner, flags);
    }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE instance, DWORD version) override {
        return real_->Initialize(instance, version);
    }
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID guid, LPCSTR name, LPGUID instance) override {
        return real_->FindDevice(guid, name, instance);
    }
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCSTR user, LPDIACTIONFORMATA format,
                                                     LPDIENUMDEVICESBYSEMANTICSCBA callback,
                                                     LPVOID context, DWORD flags) override {
        return real_->EnumDevicesBySemantics(user, format, callback, context, flags);
    }
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK callback,
                                               LPDICONFIGUREDEVICESPARAMSA params, DWORD flags,
                                               LPVOID context) override {
        return real_->ConfigureDevices(callback, params, flags, context);
    }

  private:
    IDirectInput8A *real_;
    ULONG refs_ = 1;
};

// Wine's own DirectInput8Create. NOTE: this executable defines the name
// itself, so only the DLL's export reaches the real one; the DLL stays loaded
// for the life of the process.
decltype(&DirectInput8Create) RealDirectInput8Create() {
    static decltype(&DirectInput8Create) real = [] {
        HMODULE dll = LoadLibraryA(VIRTUAL_JOYSTICK_REAL_DINPUT8);
        auto found =
            dll ? reinterpret_cast<decltype(&DirectInput8Create)>(
                      reinterpret_cast<void (*)()>(GetProcAddress(dll, "DirectInput8Create")))
                : nullptr;
        return found == &DirectInput8Create ? nullptr : found;
    }();
    return real;
}

} // namespace

namespace virtual_joystick {

void SetAxes(LONG x, LONG y) {
    stick.x = std::clamp(x, -kAxisFull, kAxisFull);
    stick.y = std::clamp(y, -kAxisFull, kAxisFull);
}

void SetButton(int index, bool down) {
    if (index >= 0 && index < kButtons) {
        stick.buttons[index] = down ? 0x80 : 0;
    }
}

void SetPov(DWORD pov) { stick.pov = pov; }

void SetPlugged(bool plugged) {
    if (stick.plugged && !plugged) {
        for (VirtualDevice *device : stick.open) {
            device->Unplug();
        }
    }
    if (stick.plugged != plugged) {
        stick.plugged = plugged;
        PostDeviceChange();
    }
}

void PostDeviceChange() { device_change::Post(); }

void SetBrokenFirst(bool broken) { stick.brokenFirst = broken; }

bool Plugged() { return stick.plugged; }

void Reset() {
    SetAxes(0, 0);
    SetPov(kPovCentred);
    memset(stick.buttons, 0, sizeof stick.buttons);
}

void LoseInput() {
    for (VirtualDevice *device : stick.open) {
        device->LoseInput();
    }
}

DIJOYSTATE LastReading() { return stick.lastReading; }

int Alive() { return static_cast<int>(stick.open.size()); }

bool Acquired() { return stick.acquired > 0; }

const GUID &InstanceGuid() { return kInstanceGuid; }

void SetReadHook(void (*hook)()) { stick.readHook = hook; }

} // namespace virtual_joystick

HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID *object,
                                  LPUNKNOWN outer) {
    const auto real = RealDirectInput8Create();
    if (real == nullptr) {
        return DIERR_NOTINITIALIZED;
    }
    const HRESULT result = real(instance, version, riid, object, outer);
    if (FAILED(result) || outer != nullptr || !IsEqualGUID(riid, IID_IDirectInput8A)) {
        return result;
    }
    *object = static_cast<IDirectInput8A *>(
        new VirtualDirectInput(static_cast<IDirectInput8A *>(*object)));
    return result;
}
