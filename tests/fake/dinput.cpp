#include "fake/dinput.h"

#include "fake/fake.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace fake {
namespace {

struct DirectInputScript {
    std::vector<Controller> controllers = {{"Joystick1"}};
    BYTE keys[256] = {};
    std::vector<KeyChange> keyChanges;
    bool keyOverflow = false;
    DIJOYSTATE joyState = {};
    std::map<std::string, const DIDEVICEINSTANCEA *> deviceInfo;
} script;

// Controller i's GUIDs: instance and product differ, so that a caller who
// opens the product GUID shows in the log.
GUID ControllerGuid(size_t index, bool product) {
    GUID guid = {0x4a4f5900u + static_cast<unsigned long>(index), 0x1234, 0x5678, {}};
    guid.Data4[0] = product ? 'P' : 'I';
    return guid;
}

std::string GuidName(REFGUID guid) {
    if (IsEqualGUID(guid, GUID_SysKeyboard)) {
        return "GUID_SysKeyboard";
    }
    if (IsEqualGUID(guid, GUID_SysMouse)) {
        return "GUID_SysMouse";
    }
    if (IsEqualGUID(guid, IID_IDirectInput8A)) {
        return "IID_IDirectInput8A";
    }
    if (IsEqualGUID(guid, IID_IDirectInput8W)) {
        return "IID_IDirectInput8W";
    }
    for (size_t i = 0; i < script.controllers.size(); ++i) {
        if (IsEqualGUID(guid, ControllerGuid(i, false))) {
            return script.controllers[i].name;
        }
        if (IsEqualGUID(guid, ControllerGuid(i, true))) {
            return script.controllers[i].name + " product";
        }
    }
    char text[64];
    snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
             guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
             guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string FormatName(LPCDIDATAFORMAT format) {
    if (format == &c_dfDIKeyboard) {
        return "c_dfDIKeyboard";
    }
    if (format == &c_dfDIJoystick) {
        return "c_dfDIJoystick";
    }
    if (format == &c_dfDIJoystick2) {
        return "c_dfDIJoystick2";
    }
    return Hex(reinterpret_cast<ULONG_PTR>(format));
}

// The call's scripted result, or `normal` when no script covers it.
HRESULT Result(const std::string &name, HRESULT normal = DI_OK) {
    HRESULT result = normal;
    Scripted(name, &result);
    return result;
}

#define NOT_IMPLEMENTED(method, ...)                                                               \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }

class FakeDevice : public Object<IDirectInputDevice8A> {
  public:
    FakeDevice(std::string name, bool keyboard) : name_(std::move(name)), keyboard_(keyboard) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputDevice8A)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("%s::Release", name_.c_str());
        return Object::Release();
    }

    NOT_IMPLEMENTED(GetCapabilities, LPDIDEVCAPS)
    NOT_IMPLEMENTED(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD)
    // Only a controller's device path (DIPROP_GUIDANDPATH); not logged.
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override {
        if (&property != &DIPROP_GUIDANDPATH || header->dwSize != sizeof(DIPROPGUIDANDPATH)) {
            return E_NOTIMPL;
        }
        for (const Controller &controller : script.controllers) {
            if (controller.name == name_ && !controller.path.empty()) {
                auto *path = reinterpret_cast<DIPROPGUIDANDPATH *>(header);
                wcsncpy(path->wszPath, controller.path.c_str(), MAX_PATH - 1);
                return DI_OK;
            }
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        char head[128];
        snprintf(head, sizeof head, "size=%lu, header=%lu, obj=%lu, how=%lu", header->dwSize,
                 header->dwHeaderSize, header->dwObj, header->dwHow);
        if (&property == &DIPROP_RANGE) {
            const auto *range = reinterpret_cast<const DIPROPRANGE *>(header);
            Record("%s::SetProperty(DIPROP_RANGE, %s, min=%ld, max=%ld)", name_.c_str(), head,
                   range->lMin, range->lMax);
        } else if (&property == &DIPROP_DEADZONE) {
            const auto *value = reinterpret_cast<const DIPROPDWORD *>(header);
            Record("%s::SetProperty(DIPROP_DEADZONE, %s, data=%lu)", name_.c_str(), head,
                   value->dwData);
        } else {
            Record("%s::SetProperty(%s, %s)", name_.c_str(),
                   Hex(reinterpret_cast<ULONG_PTR>(&property)).c_str(), head);
        }
        return Result(name_ + "::SetProperty");
    }

    HRESULT STDMETHODCALLTYPE Acquire() override { return Simple("Acquire"); }
    HRESULT STDMETHODCALLTYPE Unacquire() override { return Simple("Unacquire"); }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
        Record("%s::GetDeviceState(%lu)", name_.c_str(), size);
        const HRESULT result = Result(name_ + "::GetDeviceState");
        if (FAILED(result)) {
            return result;
        }
        if (keyboard_ && size == sizeof script.keys) {
            memcpy(data, script.keys, size);
        } else if (!keyboard_ && size == sizeof script.joyState) {
            memcpy(data, &script.joyState, size);
        } else {
            return DIERR_INVALIDPARAM;
        }
        return result;
    }

    // The keyboard's queued changes, then none; DI_BUFFEROVERFLOW once when
    // scripted so. Not logged.
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD size, LPDIDEVICEOBJECTDATA data, LPDWORD count,
                                            DWORD) override {
        if (!keyboard_ || size != sizeof(DIDEVICEOBJECTDATA) || count == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        DWORD given = 0;
        while (given < *count && !script.keyChanges.empty()) {
            data[given] = DIDEVICEOBJECTDATA{};
            data[given].dwOfs = script.keyChanges.front().key;
            data[given].dwData = script.keyChanges.front().down ? 0x80 : 0;
            script.keyChanges.erase(script.keyChanges.begin());
            ++given;
        }
        *count = given;
        const bool overflow = script.keyOverflow && script.keyChanges.empty();
        script.keyOverflow = script.keyOverflow && !overflow;
        return overflow ? DI_BUFFEROVERFLOW : DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
        Record("%s::SetDataFormat(%s)", name_.c_str(), FormatName(format).c_str());
        return Result(name_ + "::SetDataFormat");
    }

    NOT_IMPLEMENTED(SetEventNotification, HANDLE)

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
        Record("%s::SetCooperativeLevel(%s, %s)", name_.c_str(),
               Hex(reinterpret_cast<ULONG_PTR>(window)).c_str(), Hex(flags).c_str());
        return Result(name_ + "::SetCooperativeLevel");
    }

    NOT_IMPLEMENTED(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD)

    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override {
        Record("%s::GetDeviceInfo(size=%lu)", name_.c_str(), instance->dwSize);
        const HRESULT result = Result(name_ + "::GetDeviceInfo");
        if (FAILED(result)) {
            return result;
        }
        if (instance->dwSize != sizeof(DIDEVICEINSTANCEA)) {
            return DIERR_INVALIDPARAM;
        }
        instance->dwDevType = keyboard_ ? DI8DEVTYPE_KEYBOARD : DI8DEVTYPE_JOYSTICK;
        snprintf(instance->tszInstanceName, sizeof instance->tszInstanceName, "%s", name_.c_str());
        snprintf(instance->tszProductName, sizeof instance->tszProductName, "%s", name_.c_str());
        script.deviceInfo[name_] = instance;
        return result;
    }

    NOT_IMPLEMENTED(RunControlPanel, HWND, DWORD)
    NOT_IMPLEMENTED(Initialize, HINSTANCE, DWORD, REFGUID)
    NOT_IMPLEMENTED(CreateEffect, REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT *, LPUNKNOWN)
    NOT_IMPLEMENTED(EnumEffects, LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD)
    NOT_IMPLEMENTED(GetEffectInfo, LPDIEFFECTINFOA, REFGUID)
    NOT_IMPLEMENTED(GetForceFeedbackState, LPDWORD)
    NOT_IMPLEMENTED(SendForceFeedbackCommand, DWORD)
    NOT_IMPLEMENTED(EnumCreatedEffectObjects, LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)
    NOT_IMPLEMENTED(Escape, LPDIEFFESCAPE)

    HRESULT STDMETHODCALLTYPE Poll() override { return Simple("Poll"); }

    NOT_IMPLEMENTED(SendDeviceData, DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD)
    NOT_IMPLEMENTED(EnumEffectsInFile, LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)
    NOT_IMPLEMENTED(WriteEffectToFile, LPCSTR, DWORD, LPDIFILEEFFECT, DWORD)
    NOT_IMPLEMENTED(BuildActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD)
    NOT_IMPLEMENTED(SetActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD)
    NOT_IMPLEMENTED(GetImageInfo, LPDIDEVICEIMAGEINFOHEADERA)

  private:
    HRESULT Simple(const char *method) {
        Record("%s::%s", name_.c_str(), method);
        return Result(name_ + "::" + method);
    }

    std::string name_;
    bool keyboard_;
};

class FakeDirectInput : public Object<IDirectInput8A> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInput8A)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirectInput8::Release");
        return Object::Release();
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A *device,
                                           LPUNKNOWN outer) override {
        const std::string name = GuidName(guid);
        Record("IDirectInput8::CreateDevice(%s, %s)", name.c_str(), outer ? "outer" : "NULL");
        HRESULT result = DIERR_DEVICENOTREG;
        bool keyboard = false;
        if (IsEqualGUID(guid, GUID_SysKeyboard)) {
            result = DI_OK;
            keyboard = true;
        }
        for (size_t i = 0; i < script.controllers.size(); ++i) {
            if (IsEqualGUID(guid, ControllerGuid(i, false))) {
                result = script.controllers[i].createResult;
            }
        }
        Scripted("IDirectInput8::CreateDevice", &result);
        *device = FAILED(result) ? nullptr : new FakeDevice(keyboard ? "Keyboard" : name, keyboard);
        return result;
    }

    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback,
                                          LPVOID context, DWORD flags) override {
        Record("IDirectInput8::EnumDevices(%lu, %s, %s)", type,
               context ? Hex(reinterpret_cast<ULONG_PTR>(context)).c_str() : "NULL",
               Hex(flags).c_str());
        const HRESULT result = Result("IDirectInput8::EnumDevices");
        if (FAILED(result) || (type != DI8DEVCLASS_ALL && type != DI8DEVCLASS_GAMECTRL)) {
            return result;
        }
        // A copy: a callback may not change the list under the loop, but a
        // test could script one that does.
        const std::vector<Controller> controllers = script.controllers;
        for (size_t i = 0; i < controllers.size(); ++i) {
            DIDEVICEINSTANCEA instance = {};
            instance.dwSize = sizeof instance;
            instance.guidInstance = ControllerGuid(i, false);
            instance.guidProduct = ControllerGuid(i, true);
            instance.dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8);
            snprintf(instance.tszInstanceName, sizeof instance.tszInstanceName, "%s",
                     controllers[i].name.c_str());
            snprintf(instance.tszProductName, sizeof instance.tszProductName, "%s",
                     controllers[i].name.c_str());
            const BOOL answer = callback(&instance, context);
            Record("EnumDevicesCallback(%s) = %s", controllers[i].name.c_str(),
                   answer == DIENUM_STOP       ? "DIENUM_STOP"
                   : answer == DIENUM_CONTINUE ? "DIENUM_CONTINUE"
                                               : Hex(answer).c_str());
            if (answer == DIENUM_STOP) {
                break;
            }
        }
        return result;
    }

    NOT_IMPLEMENTED(GetDeviceStatus, REFGUID)
    NOT_IMPLEMENTED(RunControlPanel, HWND, DWORD)
    NOT_IMPLEMENTED(Initialize, HINSTANCE, DWORD)
    NOT_IMPLEMENTED(FindDevice, REFGUID, LPCSTR, LPGUID)
    NOT_IMPLEMENTED(EnumDevicesBySemantics, LPCSTR, LPDIACTIONFORMATA,
                    LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD)
    NOT_IMPLEMENTED(ConfigureDevices, LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA,
                    DWORD, LPVOID)
};

} // namespace

void SetControllers(const std::vector<Controller> &controllers) {
    script.controllers = controllers;
}

void SetKey(unsigned code, BYTE value) {
    if (code < sizeof script.keys) {
        script.keys[code] = value;
    }
}

void QueueKeyChanges(const std::vector<KeyChange> &changes, bool overflow) {
    script.keyChanges.insert(script.keyChanges.end(), changes.begin(), changes.end());
    script.keyOverflow = overflow;
}

void SetJoyState(const DIJOYSTATE &state) { script.joyState = state; }

const DIDEVICEINSTANCEA *DeviceInfoBuffer(const std::string &name) {
    auto found = script.deviceInfo.find(name);
    return found == script.deviceInfo.end() ? nullptr : found->second;
}

void ResetDirectInput() { script = DirectInputScript(); }

} // namespace fake

HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID *object,
                                  LPUNKNOWN outer) {
    fake::Record("DirectInput8Create(%s, %s, %s, %s)",
                 fake::Hex(reinterpret_cast<ULONG_PTR>(instance)).c_str(),
                 fake::Hex(version).c_str(), fake::GuidName(riid).c_str(),
                 outer ? "outer" : "NULL");
    HRESULT result = IsEqualGUID(riid, IID_IDirectInput8A) ? DI_OK : E_NOINTERFACE;
    fake::Scripted("DirectInput8Create", &result);
    *object = FAILED(result) ? nullptr : static_cast<IDirectInput8A *>(new fake::FakeDirectInput);
    return result;
}
