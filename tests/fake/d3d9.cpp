#include "fake/d3d9.h"

#include "fake/fake.h"

#include <cstdint>
#include <cstdio>

namespace fake {
namespace {

class FakeDevice;

// ---- Setup and observed state ---------------------------------------------

AdapterSetup DefaultAdapter() {
    AdapterSetup setup = {};
    std::snprintf(setup.identifier.Driver, sizeof setup.identifier.Driver, "fake_d3d9.dll");
    std::snprintf(setup.identifier.Description, sizeof setup.identifier.Description,
                  "Fake Direct3D 9 Adapter");
    std::snprintf(setup.identifier.DeviceName, sizeof setup.identifier.DeviceName,
                  "\\\\.\\DISPLAY1");
    setup.displayMode = {1024, 768, 60, D3DFMT_X8R8G8B8};
    setup.caps.DeviceType = D3DDEVTYPE_HAL;
    setup.caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    setup.caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    setup.caps.MaxTextureWidth = 4096;
    setup.caps.MaxTextureHeight = 4096;
    setup.caps.MaxActiveLights = 8;
    setup.caps.MaxSimultaneousTextures = 8;
    setup.caps.NumSimultaneousRTs = 4;
    setup.caps.MaxPrimitiveCount = 0xFFFFF;
    setup.fourSamples = true;
    setup.hardwareVertexProcessing = true;
    setup.textureMultiSample = D3DMULTISAMPLE_NONE;
    setup.textureMultiSampleQuality = 0;
    return setup;
}

AdapterSetup &TheAdapter() {
    static AdapterSetup setup = DefaultAdapter();
    return setup;
}

std::vector<CreateDeviceCall> &DeviceCalls() {
    static std::vector<CreateDeviceCall> calls;
    return calls;
}

DeviceState &State() {
    static DeviceState state;
    return state;
}

// ---- Device reset ------------------------------------------------------------
// Reset, as Direct3D 9 does it, refuses while a default-pool resource is
// alive (textures and stand-alone surfaces) or the application still holds a
// reference to the back buffer or the automatic depth buffer.

int &DefaultPoolCount() {
    static int count = 0;
    return count;
}

class DefaultPoolObject {
  public:
    explicit DefaultPoolObject(bool counted) : counted_(counted) { DefaultPoolCount() += counted_; }
    ~DefaultPoolObject() { DefaultPoolCount() -= counted_; }

  private:
    bool counted_;
};

std::map<std::string, int> &LabelCounts() {
    static std::map<std::string, int> counts;
    return counts;
}

std::string NextLabel(const std::string &kind) {
    return kind + std::to_string(++LabelCounts()[kind]);
}

// ---- Lifetimes ------------------------------------------------------------

// A reference count, a count of bindings, and the parent (device or Direct3D
// object) that the first reference holds a reference to. The object is
// destroyed when neither references nor bindings are left.
class Lifetime {
  public:
    explicit Lifetime(Lifetime *parent) : parent_(parent) {
        if (parent_ != nullptr) {
            parent_->Ref();
        }
    }
    virtual ~Lifetime() = default;

    ULONG Ref() {
        if (refs_++ == 0 && parent_ != nullptr) {
            parent_->Ref();
        }
        return refs_;
    }
    ULONG Unref() {
        if (refs_ == 0) {
            ADD_FAILURE() << "Release of an object with no reference left";
            return 0;
        }
        const ULONG left = --refs_;
        if (left == 0) {
            Lifetime *parent = parent_;
            if (binds_ == 0) {
                Destroy();
            }
            if (parent != nullptr) {
                parent->Unref();
            }
        }
        return left;
    }
    void Bind() { ++binds_; }
    void Unbind() {
        if (--binds_ == 0 && refs_ == 0) {
            Destroy();
        }
    }

  protected:
    virtual void Destroy() { delete this; }

  private:
    ULONG refs_ = 1;
    int binds_ = 0;
    Lifetime *parent_;
};

// What a pointer handed to the fake is: its label, and what binding it keeps
// in being (none for the device's own surfaces, which live with the device).
struct Entry {
    std::string label;
    Lifetime *binding;
};

std::map<const void *, Entry> &Registry() {
    static std::map<const void *, Entry> registry;
    return registry;
}

const Entry *Find(const void *object) {
    auto found = Registry().find(object);
    return found != Registry().end() ? &found->second : nullptr;
}

// Counts the object among the living and registers it under `key`.
class Tracked {
  public:
    Tracked(const void *key, std::string label, Lifetime *binding) : key_(key), label_(label) {
        Registry()[key_] = {std::move(label), binding};
        ObjectCreated();
    }
    virtual ~Tracked() {
        Registry().erase(key_);
        ObjectDestroyed();
    }
    const char *Name() const { return label_.c_str(); }

  private:
    const void *key_;
    std::string label_;
};

HRESULT Answer(const std::string &name, HRESULT normal) {
    HRESULT result;
    return Scripted(name, &result) ? result : normal;
}

// A method that nothing models: recorded by name, answers `normal`.
HRESULT Unmodelled(const char *name, HRESULT normal) {
    Record("%s", name);
    return Answer(name, normal);
}

std::string Pointer(const void *p) {
    if (p == nullptr) {
        return "NULL";
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives + 2;
    default:
        return 0;
    }
}

#define FAKE_OK(iface, name, params)                                                               \
    HRESULT STDMETHODCALLTYPE name params override { return Unmodelled(#iface "::" #name, D3D_OK); }
#define FAKE_NOTIMPL(iface, name, params)                                                          \
    HRESULT STDMETHODCALLTYPE name params override {                                               \
        return Unmodelled(#iface "::" #name, E_NOTIMPL);                                           \
    }
#define FAKE_VALUE(iface, type, name, params, value)                                               \
    type STDMETHODCALLTYPE name params override {                                                  \
        Record("%s", #iface "::" #name);                                                           \
        return value;                                                                              \
    }
#define FAKE_VOID(iface, name, params)                                                             \
    void STDMETHODCALLTYPE name params override { Record("%s", #iface "::" #name); }

// ---- Surfaces and textures --------------------------------------------------

// A surface either shares the count of its texture or device (`share`) or,
// standing alone, has its own and holds a reference to its device.
class FakeSurface final : public IDirect3DSurface9,
                          public Lifetime,
                          public Tracked,
                          private DefaultPoolObject {
  public:
    FakeSurface(FakeDevice *device, Lifetime *standaloneParent, Lifetime *share, Lifetime *binding,
                const D3DSURFACE_DESC &desc, const std::string &label)
        : Lifetime(standaloneParent),
          Tracked(static_cast<IDirect3DSurface9 *>(this), label, share == nullptr ? this : binding),
          DefaultPoolObject(share == nullptr && desc.Pool == D3DPOOL_DEFAULT), device_(device),
          share_(share), desc_(desc) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        Record("IDirect3DSurface9::QueryInterface(%s)", Name());
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ++held_;
        return Owner()->Ref();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirect3DSurface9::Release(%s)", Name());
        --held_;
        return Owner()->Unref();
    }
    // References taken through this surface and not yet given back.
    int Held() const { return held_; }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
    FAKE_OK(IDirect3DSurface9, SetPrivateData, (REFGUID, const void *, DWORD, DWORD))
    FAKE_NOTIMPL(IDirect3DSurface9, GetPrivateData, (REFGUID, void *, DWORD *))
    FAKE_OK(IDirect3DSurface9, FreePrivateData, (REFGUID))
    FAKE_VALUE(IDirect3DSurface9, DWORD, SetPriority, (DWORD), 0)
    FAKE_VALUE(IDirect3DSurface9, DWORD, GetPriority, (), 0)
    FAKE_VOID(IDirect3DSurface9, PreLoad, ())
    FAKE_VALUE(IDirect3DSurface9, D3DRESOURCETYPE, GetType, (), D3DRTYPE_SURFACE)
    FAKE_NOTIMPL(IDirect3DSurface9, GetContainer, (REFIID, void **))
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC *desc) override {
        Record("IDirect3DSurface9::GetDesc(%s)", Name());
        const HRESULT hr = Answer("IDirect3DSurface9::GetDesc", D3D_OK);
        if (SUCCEEDED(hr)) {
            *desc = desc_;
        }
        return hr;
    }
    FAKE_NOTIMPL(IDirect3DSurface9, LockRect, (D3DLOCKED_RECT *, const RECT *, DWORD))
    FAKE_OK(IDirect3DSurface9, UnlockRect, ())
    FAKE_NOTIMPL(IDirect3DSurface9, GetDC, (HDC *))
    FAKE_OK(IDirect3DSurface9, ReleaseDC, (HDC))

    const D3DSURFACE_DESC &Desc() const { return desc_; }

  private:
    Lifetime *Owner() { return share_ != nullptr ? share_ : this; }

    FakeDevice *device_;
    Lifetime *share_;
    D3DSURFACE_DESC desc_;
    int held_ = 0;
};

class FakeTexture final : public IDirect3DTexture9,
                          public Lifetime,
                          public Tracked,
                          private DefaultPoolObject {
  public:
    FakeTexture(FakeDevice *device, Lifetime *deviceLifetime, UINT width, UINT height, UINT levels,
                DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : Lifetime(deviceLifetime),
          Tracked(static_cast<IDirect3DTexture9 *>(this), NextLabel("texture"), this),
          DefaultPoolObject(pool == D3DPOOL_DEFAULT), device_(device) {
        if (levels == 0) {
            for (UINT size = width > height ? width : height; size > 0; size /= 2) {
                ++levels;
            }
        }
        for (UINT level = 0; level < levels; ++level) {
            D3DSURFACE_DESC desc = {};
            desc.Format = format;
            desc.Type = D3DRTYPE_SURFACE;
            desc.Usage = usage;
            desc.Pool = pool;
            if (usage & D3DUSAGE_RENDERTARGET) {
                desc.MultiSampleType = Adapter().textureMultiSample;
                desc.MultiSampleQuality = Adapter().textureMultiSampleQuality;
            }
            desc.Width = width > (1u << level) ? width >> level : 1;
            desc.Height = height > (1u << level) ? height >> level : 1;
            levels_.push_back(
                new FakeSurface(device, nullptr, this, this, desc,
                                std::string(Name()) + ".level" + std::to_string(level)));
        }
    }
    ~FakeTexture() override {
        for (FakeSurface *level : levels_) {
            delete level;
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        Record("IDirect3DTexture9::QueryInterface(%s)", Name());
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirect3DTexture9::Release(%s)", Name());
        return Unref();
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
    FAKE_OK(IDirect3DTexture9, SetPrivateData, (REFGUID, const void *, DWORD, DWORD))
    FAKE_NOTIMPL(IDirect3DTexture9, GetPrivateData, (REFGUID, void *, DWORD *))
    FAKE_OK(IDirect3DTexture9, FreePrivateData, (REFGUID))
    FAKE_VALUE(IDirect3DTexture9, DWORD, SetPriority, (DWORD), 0)
    FAKE_VALUE(IDirect3DTexture9, DWORD, GetPriority, (), 0)
    FAKE_VOID(IDirect3DTexture9, PreLoad, ())
    FAKE_VALUE(IDirect3DTexture9, D3DRESOURCETYPE, GetType, (), D3DRTYPE_TEXTURE)
    FAKE_VALUE(IDirect3DTexture9, DWORD, SetLOD, (DWORD), 0)
    FAKE_VALUE(IDirect3DTexture9, DWORD, GetLOD, (), 0)
    DWORD STDMETHODCALLTYPE GetLevelCount() override {
        Record("IDirect3DTexture9::GetLevelCount(%s)", Name());
        return static_cast<DWORD>(levels_.size());
    }
    FAKE_OK(IDirect3DTexture9, SetAutoGenFilterType, (D3DTEXTUREFILTERTYPE))
    FAKE_VALUE(IDirect3DTexture9, D3DTEXTUREFILTERTYPE, GetAutoGenFilterType, (), D3DTEXF_LINEAR)
    FAKE_VOID(IDirect3DTexture9, GenerateMipSubLevels, ())
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC *desc) override {
        Record("IDirect3DTexture9::GetLevelDesc(%s, %u)", Name(), level);
        const HRESULT hr = Answer("IDirect3DTexture9::GetLevelDesc", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (level >= levels_.size()) {
            return D3DERR_INVALIDCALL;
        }
        *desc = levels_[level]->Desc();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9 **surface) override {
        Record("IDirect3DTexture9::GetSurfaceLevel(%s, %u)", Name(), level);
        const HRESULT hr = Answer("IDirect3DTexture9::GetSurfaceLevel", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (level >= levels_.size()) {
            return D3DERR_INVALIDCALL;
        }
        Ref();
        *surface = levels_[level];
        return D3D_OK;
    }
    FAKE_NOTIMPL(IDirect3DTexture9, LockRect, (UINT, D3DLOCKED_RECT *, const RECT *, DWORD))
    FAKE_OK(IDirect3DTexture9, UnlockRect, (UINT))
    FAKE_OK(IDirect3DTexture9, AddDirtyRect, (const RECT *))

  private:
    FakeDevice *device_;
    std::vector<FakeSurface *> levels_;
};

// ---- Direct3D object --------------------------------------------------------

class FakeDirect3D final : public IDirect3D9, public Lifetime, public Tracked {
  public:
    FakeDirect3D() : Lifetime(nullptr), Tracked(static_cast<IDirect3D9 *>(this), "d3d9", nullptr) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        Record("IDirect3D9::QueryInterface");
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirect3D9::Release(%s)", Name());
        return Unref();
    }
    FAKE_OK(IDirect3D9, RegisterSoftwareDevice, (void *))
    FAKE_VALUE(IDirect3D9, UINT, GetAdapterCount, (), 1)
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags,
                                                   D3DADAPTER_IDENTIFIER9 *identifier) override {
        Record("IDirect3D9::GetAdapterIdentifier(%u, 0x%lx)", adapter, flags);
        const HRESULT hr = Answer("IDirect3D9::GetAdapterIdentifier", D3D_OK);
        if (SUCCEEDED(hr)) {
            *identifier = Adapter().identifier;
        }
        return hr;
    }
    FAKE_VALUE(IDirect3D9, UINT, GetAdapterModeCount, (UINT, D3DFORMAT), 1)
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                               D3DDISPLAYMODE *displayMode) override {
        Record("IDirect3D9::EnumAdapterModes(%u, %d, %u)", adapter, format, mode);
        const HRESULT hr = Answer("IDirect3D9::EnumAdapterModes", D3D_OK);
        if (SUCCEEDED(hr)) {
            *displayMode = Adapter().displayMode;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE *mode) override {
        Record("IDirect3D9::GetAdapterDisplayMode(%u)", adapter);
        const HRESULT hr = Answer("IDirect3D9::GetAdapterDisplayMode", D3D_OK);
        if (SUCCEEDED(hr)) {
            *mode = Adapter().displayMode;
        }
        return hr;
    }
    FAKE_OK(IDirect3D9, CheckDeviceType, (UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, WINBOOL))
    FAKE_OK(IDirect3D9, CheckDeviceFormat,
            (UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT))
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                                         D3DFORMAT format, WINBOOL windowed,
                                                         D3DMULTISAMPLE_TYPE multiSample,
                                                         DWORD *qualityLevels) override {
        Record("IDirect3D9::CheckDeviceMultiSampleType(%u, %d, %d, %d, %d)", adapter, type, format,
               windowed, multiSample);
        HRESULT hr = Answer("IDirect3D9::CheckDeviceMultiSampleType", D3D_OK);
        if (SUCCEEDED(hr) && multiSample == D3DMULTISAMPLE_4_SAMPLES && !Adapter().fourSamples) {
            hr = D3DERR_NOTAVAILABLE;
        }
        if (SUCCEEDED(hr) && qualityLevels != nullptr) {
            *qualityLevels = 1;
        }
        return hr;
    }
    FAKE_OK(IDirect3D9, CheckDepthStencilMatch, (UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT))
    FAKE_OK(IDirect3D9, CheckDeviceFormatConversion, (UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT))
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type,
                                            D3DCAPS9 *caps) override {
        Record("IDirect3D9::GetDeviceCaps(%u, %d)", adapter, type);
        const HRESULT hr = Answer("IDirect3D9::GetDeviceCaps", D3D_OK);
        if (SUCCEEDED(hr)) {
            *caps = Adapter().caps;
        }
        return hr;
    }
    FAKE_VALUE(IDirect3D9, HMONITOR, GetAdapterMonitor, (UINT), nullptr)
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window,
                                           DWORD behavior, D3DPRESENT_PARAMETERS *params,
                                           IDirect3DDevice9 **device) override;
};

// ---- Device -----------------------------------------------------------------

class FakeDevice final : public IDirect3DDevice9, public Lifetime, public Tracked {
  public:
    FakeDevice(FakeDirect3D *d3d, HWND window, DWORD behavior, const D3DPRESENT_PARAMETERS &params)
        : Lifetime(d3d),
          Tracked(static_cast<IDirect3DDevice9 *>(this), NextLabel("device"), nullptr), d3d_(d3d),
          window_(window), behavior_(behavior), params_(params) {
        State() = DeviceState();
        D3DSURFACE_DESC desc = {};
        desc.Format = params.BackBufferFormat != D3DFMT_UNKNOWN ? params.BackBufferFormat
                                                                : Adapter().displayMode.Format;
        desc.Type = D3DRTYPE_SURFACE;
        desc.Usage = D3DUSAGE_RENDERTARGET;
        desc.Pool = D3DPOOL_DEFAULT;
        desc.MultiSampleType = params.MultiSampleType;
        desc.MultiSampleQuality = params.MultiSampleQuality;
        desc.Width = params.BackBufferWidth;
        desc.Height = params.BackBufferHeight;
        backBuffer_ = new FakeSurface(this, nullptr, this, nullptr, desc, NextLabel("backbuffer"));
        targets_[0] = backBuffer_;
        if (params.EnableAutoDepthStencil) {
            desc.Format = params.AutoDepthStencilFormat;
            desc.Usage = D3DUSAGE_DEPTHSTENCIL;
            autoDepth_ =
                new FakeSurface(this, nullptr, this, nullptr, desc, NextLabel("autodepth"));
            depth_ = autoDepth_;
        }
        State().renderTarget = targets_[0];
        State().depthStencil = depth_;
    }
    ~FakeDevice() override {
        delete backBuffer_;
        delete autoDepth_;
    }

    Lifetime *AsLifetime() { return this; }

    // ---- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        Record("IDirect3DDevice9::QueryInterface");
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("IDirect3DDevice9::Release(%s)", Name());
        return Unref();
    }

    // ---- Device, swap chain and presentation
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
        Record("IDirect3DDevice9::TestCooperativeLevel");
        return Answer("IDirect3DDevice9::TestCooperativeLevel", D3D_OK);
    }
    FAKE_VALUE(IDirect3DDevice9, UINT, GetAvailableTextureMem, (), 256u << 20)
    FAKE_OK(IDirect3DDevice9, EvictManagedResources, ())
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9 **d3d) override {
        Record("IDirect3DDevice9::GetDirect3D");
        const HRESULT hr = Answer("IDirect3DDevice9::GetDirect3D", D3D_OK);
        if (SUCCEEDED(hr)) {
            d3d_->Ref();
            *d3d = d3d_;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9 *caps) override {
        Record("IDirect3DDevice9::GetDeviceCaps");
        const HRESULT hr = Answer("IDirect3DDevice9::GetDeviceCaps", D3D_OK);
        if (SUCCEEDED(hr)) {
            *caps = Adapter().caps;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE *mode) override {
        Record("IDirect3DDevice9::GetDisplayMode(%u)", swapChain);
        const HRESULT hr = Answer("IDirect3DDevice9::GetDisplayMode", D3D_OK);
        if (SUCCEEDED(hr)) {
            *mode = Adapter().displayMode;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE
    GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS *parameters) override {
        Record("IDirect3DDevice9::GetCreationParameters");
        *parameters = {D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, behavior_};
        return Answer("IDirect3DDevice9::GetCreationParameters", D3D_OK);
    }
    FAKE_OK(IDirect3DDevice9, SetCursorProperties, (UINT, UINT, IDirect3DSurface9 *))
    FAKE_VOID(IDirect3DDevice9, SetCursorPosition, (int, int, DWORD))
    FAKE_VALUE(IDirect3DDevice9, WINBOOL, ShowCursor, (WINBOOL), FALSE)
    FAKE_NOTIMPL(IDirect3DDevice9, CreateAdditionalSwapChain,
                 (D3DPRESENT_PARAMETERS *, IDirect3DSwapChain9 **))
    FAKE_NOTIMPL(IDirect3DDevice9, GetSwapChain, (UINT, IDirect3DSwapChain9 **))
    FAKE_VALUE(IDirect3DDevice9, UINT, GetNumberOfSwapChains, (), 1)
    // Unbinds everything and points the device at its own buffers again,
    // then refuses while default-pool objects are alive (see above).
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS *params) override {
        Record("IDirect3DDevice9::Reset");
        State().resets.push_back(*params);
        const HRESULT hr = Answer("IDirect3DDevice9::Reset", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        for (auto &binding : textureBindings_) {
            Rebind(binding.second, nullptr);
        }
        State().textures.clear();
        for (DWORD i = 0; i < 4; ++i) {
            targets_[i] = i == 0 ? backBuffer_ : nullptr;
            Rebind(targetBindings_[i], targets_[i]);
        }
        depth_ = autoDepth_;
        Rebind(depthBinding_, depth_);
        State().renderTarget = targets_[0];
        State().depthStencil = depth_;
        const bool buffersHeld =
            backBuffer_->Held() > 0 || (autoDepth_ != nullptr && autoDepth_->Held() > 0);
        return DefaultPoolCount() > 0 || buffersHeld ? D3DERR_INVALIDCALL : D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT *source, const RECT *destination, HWND window,
                                      const RGNDATA *dirty) override {
        Record("IDirect3DDevice9::Present(%s, %s, %s, %s)", Pointer(source).c_str(),
               Pointer(destination).c_str(), Pointer(window).c_str(), Pointer(dirty).c_str());
        return Answer("IDirect3DDevice9::Present", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                            IDirect3DSurface9 **surface) override {
        Record("IDirect3DDevice9::GetBackBuffer(%u, %u, %d)", swapChain, index, type);
        const HRESULT hr = Answer("IDirect3DDevice9::GetBackBuffer", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (swapChain != 0 || index != 0) {
            return D3DERR_INVALIDCALL;
        }
        backBuffer_->AddRef();
        *surface = backBuffer_;
        return D3D_OK;
    }
    FAKE_NOTIMPL(IDirect3DDevice9, GetRasterStatus, (UINT, D3DRASTER_STATUS *))
    FAKE_OK(IDirect3DDevice9, SetDialogBoxMode, (WINBOOL))
    FAKE_VOID(IDirect3DDevice9, SetGammaRamp, (UINT, DWORD, const D3DGAMMARAMP *))
    FAKE_VOID(IDirect3DDevice9, GetGammaRamp, (UINT, D3DGAMMARAMP *))

    // ---- Resources
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture9 **texture, HANDLE *shared) override {
        Record("IDirect3DDevice9::CreateTexture(%u, %u, %u, 0x%lx, %d, %d)", width, height, levels,
               usage, format, pool);
        const HRESULT hr = Answer("IDirect3DDevice9::CreateTexture", D3D_OK);
        if (FAILED(hr)) {
            *texture = nullptr;
            return hr;
        }
        if (shared != nullptr || width == 0 || height == 0) {
            *texture = nullptr;
            return D3DERR_INVALIDCALL;
        }
        *texture = new FakeTexture(this, this, width, height, levels, usage, format, pool);
        return D3D_OK;
    }
    FAKE_NOTIMPL(IDirect3DDevice9, CreateVolumeTexture,
                 (UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9 **,
                  HANDLE *))
    FAKE_NOTIMPL(IDirect3DDevice9, CreateCubeTexture,
                 (UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9 **, HANDLE *))
    FAKE_NOTIMPL(IDirect3DDevice9, CreateVertexBuffer,
                 (UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9 **, HANDLE *))
    FAKE_NOTIMPL(IDirect3DDevice9, CreateIndexBuffer,
                 (UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9 **, HANDLE *))
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                                 D3DMULTISAMPLE_TYPE multiSample, DWORD quality,
                                                 WINBOOL lockable, IDirect3DSurface9 **surface,
                                                 HANDLE *shared) override {
        Record("IDirect3DDevice9::CreateRenderTarget(%u, %u, %d, %d, %lu, %d)", width, height,
               format, multiSample, quality, lockable);
        return CreateSurface("IDirect3DDevice9::CreateRenderTarget", "surface", width, height,
                             format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, multiSample, quality,
                             surface, shared);
    }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                        D3DMULTISAMPLE_TYPE multiSample,
                                                        DWORD quality, WINBOOL discard,
                                                        IDirect3DSurface9 **surface,
                                                        HANDLE *shared) override {
        Record("IDirect3DDevice9::CreateDepthStencilSurface(%u, %u, %d, %d, %lu, %d)", width,
               height, format, multiSample, quality, discard);
        return CreateSurface("IDirect3DDevice9::CreateDepthStencilSurface", "depth", width, height,
                             format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, multiSample, quality,
                             surface, shared);
    }
    FAKE_OK(IDirect3DDevice9, UpdateSurface,
            (IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *, const POINT *))
    FAKE_OK(IDirect3DDevice9, UpdateTexture, (IDirect3DBaseTexture9 *, IDirect3DBaseTexture9 *))
    FAKE_OK(IDirect3DDevice9, GetRenderTargetData, (IDirect3DSurface9 *, IDirect3DSurface9 *))
    FAKE_OK(IDirect3DDevice9, GetFrontBufferData, (UINT, IDirect3DSurface9 *))
    FAKE_OK(IDirect3DDevice9, StretchRect,
            (IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *, const RECT *,
             D3DTEXTUREFILTERTYPE))
    FAKE_OK(IDirect3DDevice9, ColorFill, (IDirect3DSurface9 *, const RECT *, D3DCOLOR))
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                          D3DPOOL pool, IDirect3DSurface9 **surface,
                                                          HANDLE *shared) override {
        Record("IDirect3DDevice9::CreateOffscreenPlainSurface(%u, %u, %d, %d)", width, height,
               format, pool);
        return CreateSurface("IDirect3DDevice9::CreateOffscreenPlainSurface", "surface", width,
                             height, format, 0, pool, D3DMULTISAMPLE_NONE, 0, surface, shared);
    }

    // ---- Targets and scenes
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD index, IDirect3DSurface9 *surface) override {
        Record("IDirect3DDevice9::SetRenderTarget(%lu, %s)", index, Label(surface).c_str());
        const HRESULT hr = Answer("IDirect3DDevice9::SetRenderTarget", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (index >= 4 || (index == 0 && surface == nullptr)) {
            return D3DERR_INVALIDCALL;
        }
        Rebind(targetBindings_[index], surface);
        targets_[index] = surface;
        if (index == 0) {
            State().renderTarget = surface;
        }
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD index, IDirect3DSurface9 **surface) override {
        Record("IDirect3DDevice9::GetRenderTarget(%lu)", index);
        const HRESULT hr = Answer("IDirect3DDevice9::GetRenderTarget", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (index >= 4) {
            return D3DERR_INVALIDCALL;
        }
        if (targets_[index] == nullptr) {
            return D3DERR_NOTFOUND;
        }
        targets_[index]->AddRef();
        *surface = targets_[index];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9 *surface) override {
        Record("IDirect3DDevice9::SetDepthStencilSurface(%s)", Label(surface).c_str());
        const HRESULT hr = Answer("IDirect3DDevice9::SetDepthStencilSurface", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        Rebind(depthBinding_, surface);
        depth_ = surface;
        State().depthStencil = surface;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9 **surface) override {
        Record("IDirect3DDevice9::GetDepthStencilSurface");
        const HRESULT hr = Answer("IDirect3DDevice9::GetDepthStencilSurface", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (depth_ == nullptr) {
            return D3DERR_NOTFOUND;
        }
        depth_->AddRef();
        *surface = depth_;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        Record("IDirect3DDevice9::BeginScene");
        const HRESULT hr = Answer("IDirect3DDevice9::BeginScene", D3D_OK);
        if (SUCCEEDED(hr)) {
            ++State().sceneDepth;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        Record("IDirect3DDevice9::EndScene");
        const HRESULT hr = Answer("IDirect3DDevice9::EndScene", D3D_OK);
        if (SUCCEEDED(hr)) {
            --State().sceneDepth;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT *rects, DWORD flags, D3DCOLOR color,
                                    float z, DWORD stencil) override {
        Record("IDirect3DDevice9::Clear(%lu, %s, 0x%lx, 0x%08lx, %g, %lu)", count,
               Pointer(rects).c_str(), flags, color, static_cast<double>(z), stencil);
        return Answer("IDirect3DDevice9::Clear", D3D_OK);
    }

    // ---- Transforms, viewport, material, lights, clipping
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           const D3DMATRIX *matrix) override {
        Record("IDirect3DDevice9::SetTransform(%d)", state);
        const HRESULT hr = Answer("IDirect3DDevice9::SetTransform", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (matrix == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        State().transforms[state] = *matrix;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state,
                                           D3DMATRIX *matrix) override {
        Record("IDirect3DDevice9::GetTransform(%d)", state);
        auto found = State().transforms.find(state);
        if (found != State().transforms.end()) {
            *matrix = found->second;
        } else {
            *matrix = {};
            matrix->_11 = matrix->_22 = matrix->_33 = matrix->_44 = 1.0f;
        }
        return Answer("IDirect3DDevice9::GetTransform", D3D_OK);
    }
    FAKE_OK(IDirect3DDevice9, MultiplyTransform, (D3DTRANSFORMSTATETYPE, const D3DMATRIX *))
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9 *viewport) override {
        Record("IDirect3DDevice9::SetViewport(%lu, %lu, %lu, %lu)", viewport->X, viewport->Y,
               viewport->Width, viewport->Height);
        const HRESULT hr = Answer("IDirect3DDevice9::SetViewport", D3D_OK);
        if (SUCCEEDED(hr)) {
            viewport_ = *viewport;
            hasViewport_ = true;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9 *viewport) override {
        Record("IDirect3DDevice9::GetViewport");
        *viewport =
            hasViewport_
                ? viewport_
                : D3DVIEWPORT9{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
        return Answer("IDirect3DDevice9::GetViewport", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9 *material) override {
        Record("IDirect3DDevice9::SetMaterial");
        const HRESULT hr = Answer("IDirect3DDevice9::SetMaterial", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().materials.push_back(*material);
        }
        return hr;
    }
    FAKE_NOTIMPL(IDirect3DDevice9, GetMaterial, (D3DMATERIAL9 *))
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9 *light) override {
        Record("IDirect3DDevice9::SetLight(%lu)", index);
        const HRESULT hr = Answer("IDirect3DDevice9::SetLight", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().lights[index] = *light;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9 *light) override {
        Record("IDirect3DDevice9::GetLight(%lu)", index);
        auto found = State().lights.find(index);
        if (found == State().lights.end()) {
            return D3DERR_INVALIDCALL;
        }
        *light = found->second;
        return Answer("IDirect3DDevice9::GetLight", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, WINBOOL enable) override {
        Record("IDirect3DDevice9::LightEnable(%lu, %d)", index, enable);
        const HRESULT hr = Answer("IDirect3DDevice9::LightEnable", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().lightEnabled[index] = enable;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, WINBOOL *enable) override {
        Record("IDirect3DDevice9::GetLightEnable(%lu)", index);
        auto found = State().lightEnabled.find(index);
        if (found == State().lightEnabled.end()) {
            return D3DERR_INVALIDCALL;
        }
        *enable = found->second;
        return Answer("IDirect3DDevice9::GetLightEnable", D3D_OK);
    }
    FAKE_OK(IDirect3DDevice9, SetClipPlane, (DWORD, const float *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetClipPlane, (DWORD, float *))

    // ---- States and textures
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        Record("IDirect3DDevice9::SetRenderState(%d, 0x%lx)", state, value);
        const HRESULT hr = Answer("IDirect3DDevice9::SetRenderState", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().renderStates[state] = value;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD *value) override {
        Record("IDirect3DDevice9::GetRenderState(%d)", state);
        auto found = State().renderStates.find(state);
        *value = found != State().renderStates.end() ? found->second : 0;
        return Answer("IDirect3DDevice9::GetRenderState", D3D_OK);
    }
    // ---- State blocks
    // Log: "IDirect3DDevice9::CreateStateBlock(1)", "IDirect3DStateBlock9::Release(block1)".
    // A state block holds a reference to the device and, as on Windows, keeps
    // Reset from succeeding while it lives.
    class FakeStateBlock final : public IDirect3DStateBlock9,
                                 public Lifetime,
                                 public Tracked,
                                 private DefaultPoolObject {
      public:
        FakeStateBlock(FakeDevice *device, const std::string &label)
            : Lifetime(device), Tracked(static_cast<IDirect3DStateBlock9 *>(this), label, nullptr),
              DefaultPoolObject(true), device_(device) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return Ref(); }
        ULONG STDMETHODCALLTYPE Release() override {
            Record("IDirect3DStateBlock9::Release(%s)", Name());
            return Unref();
        }
        HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override {
            device_->AddRef();
            *device = device_;
            return D3D_OK;
        }
        HRESULT STDMETHODCALLTYPE Capture() override { return D3D_OK; }
        HRESULT STDMETHODCALLTYPE Apply() override { return D3D_OK; }

      private:
        FakeDevice *device_;
    };
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type,
                                               IDirect3DStateBlock9 **block) override {
        Record("IDirect3DDevice9::CreateStateBlock(%d)", type);
        const HRESULT hr = Answer("IDirect3DDevice9::CreateStateBlock", D3D_OK);
        *block = SUCCEEDED(hr) ? new FakeStateBlock(this, NextLabel("block")) : nullptr;
        return hr;
    }
    FAKE_OK(IDirect3DDevice9, BeginStateBlock, ())
    FAKE_NOTIMPL(IDirect3DDevice9, EndStateBlock, (IDirect3DStateBlock9 **))
    FAKE_OK(IDirect3DDevice9, SetClipStatus, (const D3DCLIPSTATUS9 *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetClipStatus, (D3DCLIPSTATUS9 *))
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9 **texture) override {
        Record("IDirect3DDevice9::GetTexture(%lu)", stage);
        auto found = State().textures.find(stage);
        *texture = found != State().textures.end() ? found->second : nullptr;
        if (*texture != nullptr) {
            (*texture)->AddRef();
        }
        return Answer("IDirect3DDevice9::GetTexture", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9 *texture) override {
        Record("IDirect3DDevice9::SetTexture(%lu, %s)", stage, Label(texture).c_str());
        const HRESULT hr = Answer("IDirect3DDevice9::SetTexture", D3D_OK);
        if (SUCCEEDED(hr)) {
            Rebind(textureBindings_[stage], texture);
            State().textures[stage] = texture;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD *value) override {
        Record("IDirect3DDevice9::GetTextureStageState(%lu, %d)", stage, type);
        auto found = State().stageStates.find({stage, type});
        *value = found != State().stageStates.end() ? found->second : 0;
        return Answer("IDirect3DDevice9::GetTextureStageState", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD value) override {
        Record("IDirect3DDevice9::SetTextureStageState(%lu, %d, 0x%lx)", stage, type, value);
        const HRESULT hr = Answer("IDirect3DDevice9::SetTextureStageState", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().stageStates[{stage, type}] = value;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD *value) override {
        Record("IDirect3DDevice9::GetSamplerState(%lu, %d)", sampler, type);
        auto found = State().samplerStates.find({sampler, type});
        *value = found != State().samplerStates.end() ? found->second : 0;
        return Answer("IDirect3DDevice9::GetSamplerState", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override {
        Record("IDirect3DDevice9::SetSamplerState(%lu, %d, 0x%lx)", sampler, type, value);
        const HRESULT hr = Answer("IDirect3DDevice9::SetSamplerState", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().samplerStates[{sampler, type}] = value;
        }
        return hr;
    }
    FAKE_NOTIMPL(IDirect3DDevice9, ValidateDevice, (DWORD *))
    FAKE_OK(IDirect3DDevice9, SetPaletteEntries, (UINT, const PALETTEENTRY *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetPaletteEntries, (UINT, PALETTEENTRY *))
    FAKE_OK(IDirect3DDevice9, SetCurrentTexturePalette, (UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetCurrentTexturePalette, (UINT *))
    FAKE_OK(IDirect3DDevice9, SetScissorRect, (const RECT *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetScissorRect, (RECT *))
    FAKE_OK(IDirect3DDevice9, SetSoftwareVertexProcessing, (WINBOOL))
    FAKE_VALUE(IDirect3DDevice9, WINBOOL, GetSoftwareVertexProcessing, (), FALSE)
    FAKE_OK(IDirect3DDevice9, SetNPatchMode, (float))
    FAKE_VALUE(IDirect3DDevice9, float, GetNPatchMode, (), 0.0f)

    // ---- Drawing
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start,
                                            UINT primitives) override {
        Record("IDirect3DDevice9::DrawPrimitive(%d, %u, %u)", type, start, primitives);
        return Answer("IDirect3DDevice9::DrawPrimitive", D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex,
                                                   UINT minIndex, UINT vertices, UINT startIndex,
                                                   UINT primitives) override {
        Record("IDirect3DDevice9::DrawIndexedPrimitive(%d, %d, %u, %u, %u, %u)", type, baseVertex,
               minIndex, vertices, startIndex, primitives);
        return Answer("IDirect3DDevice9::DrawIndexedPrimitive", D3D_OK);
    }
    // A draw as the device's state stands, without its vertices yet.
    Draw NewDraw(D3DPRIMITIVETYPE type, UINT primitives, UINT stride) {
        Draw draw;
        draw.type = type;
        draw.primitives = primitives;
        draw.stride = stride;
        draw.fvf = State().fvf;
        auto texture = State().textures.find(0);
        draw.texture0 = Label(texture != State().textures.end() ? texture->second : nullptr);
        draw.target = Label(State().renderTarget);
        return draw;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitives,
                                              const void *data, UINT stride) override {
        Record("IDirect3DDevice9::DrawPrimitiveUP(%d, %u, %u)", type, primitives, stride);
        const HRESULT hr = Answer("IDirect3DDevice9::DrawPrimitiveUP", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (data == nullptr || primitives == 0) {
            return D3DERR_INVALIDCALL;
        }
        Draw draw = NewDraw(type, primitives, stride);
        const auto *bytes = static_cast<const unsigned char *>(data);
        draw.data.assign(bytes, bytes + VertexCount(type, primitives) * stride);
        State().draws.push_back(std::move(draw));
        return D3D_OK;
    }
    // Recorded as a draw of the vertices the indices pick, in their order:
    // what a non-indexed draw of the same triangles would be given.
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex,
                                                     UINT vertices, UINT primitives,
                                                     const void *indices, D3DFORMAT indexFormat,
                                                     const void *data, UINT stride) override {
        Record("IDirect3DDevice9::DrawIndexedPrimitiveUP(%d, %u, %u, %u, %d, %u)", type, minIndex,
               vertices, primitives, indexFormat, stride);
        const HRESULT hr = Answer("IDirect3DDevice9::DrawIndexedPrimitiveUP", D3D_OK);
        if (FAILED(hr)) {
            return hr;
        }
        if (data == nullptr || indices == nullptr || primitives == 0 ||
            (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32)) {
            return D3DERR_INVALIDCALL;
        }
        Draw draw = NewDraw(type, primitives, stride);
        const auto *bytes = static_cast<const unsigned char *>(data);
        for (UINT i = 0; i < VertexCount(type, primitives); ++i) {
            const UINT index = indexFormat == D3DFMT_INDEX16
                                   ? static_cast<const WORD *>(indices)[i]
                                   : static_cast<UINT>(static_cast<const DWORD *>(indices)[i]);
            if (index < minIndex || index >= minIndex + vertices) {
                return D3DERR_INVALIDCALL;
            }
            draw.data.insert(draw.data.end(), bytes + index * stride, bytes + (index + 1) * stride);
        }
        State().draws.push_back(std::move(draw));
        return D3D_OK;
    }
    FAKE_OK(IDirect3DDevice9, ProcessVertices,
            (UINT, UINT, UINT, IDirect3DVertexBuffer9 *, IDirect3DVertexDeclaration9 *, DWORD))
    FAKE_NOTIMPL(IDirect3DDevice9, CreateVertexDeclaration,
                 (const D3DVERTEXELEMENT9 *, IDirect3DVertexDeclaration9 **))
    FAKE_OK(IDirect3DDevice9, SetVertexDeclaration, (IDirect3DVertexDeclaration9 *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetVertexDeclaration, (IDirect3DVertexDeclaration9 **))
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override {
        Record("IDirect3DDevice9::SetFVF(0x%lx)", fvf);
        const HRESULT hr = Answer("IDirect3DDevice9::SetFVF", D3D_OK);
        if (SUCCEEDED(hr)) {
            State().fvf = fvf;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD *fvf) override {
        Record("IDirect3DDevice9::GetFVF");
        *fvf = State().fvf;
        return Answer("IDirect3DDevice9::GetFVF", D3D_OK);
    }

    // ---- Shaders and streams
    // ---- Vertex and pixel shaders
    // Log: "IDirect3DDevice9::CreateVertexShader(test.fx:basic_vs:vs_3_0)" (the
    // fake D3DX's byte code is a text naming its source), SetVertexShader(vshader1),
    // SetVertexShaderConstantF(4, 1) (first register, count); likewise for pixel
    // shaders ("pshader1"); "IDirect3DVertexShader9::Release(vshader1)". A shader
    // holds a reference to the device; binding one keeps no reference.
    template <class Interface>
    class FakeShader final : public Interface, public Lifetime, public Tracked {
      public:
        FakeShader(FakeDevice *device, const char *kind, const std::string &label)
            : Lifetime(device), Tracked(static_cast<Interface *>(this), label, nullptr),
              device_(device), kind_(kind) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return Ref(); }
        ULONG STDMETHODCALLTYPE Release() override {
            Record("%s::Release(%s)", kind_, Name());
            return Unref();
        }
        HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override {
            device_->AddRef();
            *device = device_;
            return D3D_OK;
        }
        HRESULT STDMETHODCALLTYPE GetFunction(void *, UINT *) override { return E_NOTIMPL; }

      private:
        FakeDevice *device_;
        const char *kind_;
    };

    template <class Interface>
    HRESULT CreateShader(const char *name, const char *kind, const char *labelKind,
                         const DWORD *function, Interface **shader) {
        Record("IDirect3DDevice9::%s(%.64s)", name,
               function != nullptr ? reinterpret_cast<const char *>(function) : "NULL");
        HRESULT hr = Answer(std::string("IDirect3DDevice9::") + name, D3D_OK);
        if (SUCCEEDED(hr) && function == nullptr) {
            hr = D3DERR_INVALIDCALL;
        }
        *shader =
            SUCCEEDED(hr) ? new FakeShader<Interface>(this, kind, NextLabel(labelKind)) : nullptr;
        return hr;
    }
    static HRESULT SetConstants(const char *name, std::map<UINT, std::array<float, 4>> &registers,
                                UINT first, const float *data, UINT count) {
        Record("IDirect3DDevice9::%s(%u, %u)", name, first, count);
        const HRESULT hr = Answer(std::string("IDirect3DDevice9::") + name, D3D_OK);
        if (SUCCEEDED(hr) && data != nullptr) {
            for (UINT i = 0; i < count; ++i) {
                std::memcpy(registers[first + i].data(), data + 4 * i, sizeof(float) * 4);
            }
        }
        return hr;
    }
    static HRESULT GetConstants(const std::map<UINT, std::array<float, 4>> &registers, UINT first,
                                float *data, UINT count) {
        for (UINT i = 0; i < count; ++i) {
            auto found = registers.find(first + i);
            const std::array<float, 4> value =
                found != registers.end() ? found->second : std::array<float, 4>{};
            std::memcpy(data + 4 * i, value.data(), sizeof value);
        }
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD *function,
                                                 IDirect3DVertexShader9 **shader) override {
        return CreateShader("CreateVertexShader", "IDirect3DVertexShader9", "vshader", function,
                            shader);
    }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD *function,
                                                IDirect3DPixelShader9 **shader) override {
        return CreateShader("CreatePixelShader", "IDirect3DPixelShader9", "pshader", function,
                            shader);
    }
    static HRESULT Bind(const char *name, const void *shader, const void *&bound) {
        Record("IDirect3DDevice9::%s(%s)", name, Label(shader).c_str());
        const HRESULT hr = Answer(std::string("IDirect3DDevice9::") + name, D3D_OK);
        if (SUCCEEDED(hr)) {
            bound = shader;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9 *shader) override {
        return Bind("SetVertexShader", shader, State().vertexShader);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9 *shader) override {
        return Bind("SetPixelShader", shader, State().pixelShader);
    }
    // The shader bound, with a reference, or NULL once it is gone.
    template <class Interface> static HRESULT GetBound(const void *bound, Interface **shader) {
        *shader =
            Find(bound) != nullptr ? static_cast<Interface *>(const_cast<void *>(bound)) : nullptr;
        if (*shader != nullptr) {
            (*shader)->AddRef();
        }
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9 **shader) override {
        return GetBound(State().vertexShader, shader);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9 **shader) override {
        return GetBound(State().pixelShader, shader);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT first, const float *data,
                                                       UINT count) override {
        return SetConstants("SetVertexShaderConstantF", State().vertexConstants, first, data,
                            count);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT first, const float *data,
                                                      UINT count) override {
        return SetConstants("SetPixelShaderConstantF", State().pixelConstants, first, data, count);
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT first, float *data,
                                                       UINT count) override {
        return GetConstants(State().vertexConstants, first, data, count);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT first, float *data,
                                                      UINT count) override {
        return GetConstants(State().pixelConstants, first, data, count);
    }
    FAKE_OK(IDirect3DDevice9, SetVertexShaderConstantI, (UINT, const int *, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetVertexShaderConstantI, (UINT, int *, UINT))
    FAKE_OK(IDirect3DDevice9, SetVertexShaderConstantB, (UINT, const WINBOOL *, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetVertexShaderConstantB, (UINT, WINBOOL *, UINT))
    FAKE_OK(IDirect3DDevice9, SetStreamSource, (UINT, IDirect3DVertexBuffer9 *, UINT, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetStreamSource,
                 (UINT, IDirect3DVertexBuffer9 **, UINT *, UINT *))
    FAKE_OK(IDirect3DDevice9, SetStreamSourceFreq, (UINT, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetStreamSourceFreq, (UINT, UINT *))
    FAKE_OK(IDirect3DDevice9, SetIndices, (IDirect3DIndexBuffer9 *))
    FAKE_NOTIMPL(IDirect3DDevice9, GetIndices, (IDirect3DIndexBuffer9 **))
    FAKE_OK(IDirect3DDevice9, SetPixelShaderConstantI, (UINT, const int *, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetPixelShaderConstantI, (UINT, int *, UINT))
    FAKE_OK(IDirect3DDevice9, SetPixelShaderConstantB, (UINT, const WINBOOL *, UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, GetPixelShaderConstantB, (UINT, WINBOOL *, UINT))
    FAKE_OK(IDirect3DDevice9, DrawRectPatch, (UINT, const float *, const D3DRECTPATCH_INFO *))
    FAKE_OK(IDirect3DDevice9, DrawTriPatch, (UINT, const float *, const D3DTRIPATCH_INFO *))
    FAKE_OK(IDirect3DDevice9, DeletePatch, (UINT))
    FAKE_NOTIMPL(IDirect3DDevice9, CreateQuery, (D3DQUERYTYPE, IDirect3DQuery9 **))

  protected:
    // Bindings end with the device: what they alone kept in being goes too.
    void Destroy() override {
        for (Lifetime *&binding : targetBindings_) {
            Rebind(binding, nullptr);
        }
        Rebind(depthBinding_, nullptr);
        for (auto &binding : textureBindings_) {
            Rebind(binding.second, nullptr);
        }
        delete this;
    }

  private:
    // Binds `object` in place of what `binding` held.
    static void Rebind(Lifetime *&binding, const void *object) {
        const Entry *entry = Find(object);
        Lifetime *next = entry != nullptr ? entry->binding : nullptr;
        if (next != nullptr) {
            next->Bind();
        }
        if (binding != nullptr) {
            binding->Unbind();
        }
        binding = next;
    }

    HRESULT CreateSurface(const char *name, const char *kind, UINT width, UINT height,
                          D3DFORMAT format, DWORD usage, D3DPOOL pool,
                          D3DMULTISAMPLE_TYPE multiSample, DWORD quality,
                          IDirect3DSurface9 **surface, HANDLE *shared) {
        const HRESULT hr = Answer(name, D3D_OK);
        if (FAILED(hr)) {
            *surface = nullptr;
            return hr;
        }
        if (shared != nullptr || width == 0 || height == 0) {
            *surface = nullptr;
            return D3DERR_INVALIDCALL;
        }
        D3DSURFACE_DESC desc = {};
        desc.Format = format;
        desc.Type = D3DRTYPE_SURFACE;
        desc.Usage = usage;
        desc.Pool = pool;
        desc.MultiSampleType = multiSample;
        desc.MultiSampleQuality = quality;
        desc.Width = width;
        desc.Height = height;
        *surface = new FakeSurface(this, this, nullptr, nullptr, desc, NextLabel(kind));
        return D3D_OK;
    }

    FakeDirect3D *d3d_;
    HWND window_;
    DWORD behavior_;
    D3DPRESENT_PARAMETERS params_;
    FakeSurface *backBuffer_ = nullptr;
    FakeSurface *autoDepth_ = nullptr;
    IDirect3DSurface9 *targets_[4] = {};
    IDirect3DSurface9 *depth_ = nullptr;
    D3DVIEWPORT9 viewport_ = {};
    bool hasViewport_ = false;
    Lifetime *targetBindings_[4] = {};
    Lifetime *depthBinding_ = nullptr;
    std::map<DWORD, Lifetime *> textureBindings_;
};

HRESULT FakeSurface::GetDevice(IDirect3DDevice9 **device) {
    Record("IDirect3DSurface9::GetDevice(%s)", Name());
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT FakeTexture::GetDevice(IDirect3DDevice9 **device) {
    Record("IDirect3DTexture9::GetDevice(%s)", Name());
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT FakeDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behavior,
                                   D3DPRESENT_PARAMETERS *params, IDirect3DDevice9 **device) {
    Record("IDirect3D9::CreateDevice(%u, %d, %s, 0x%lx)", adapter, type, Pointer(window).c_str(),
           behavior);
    HRESULT hr = Answer("IDirect3D9::CreateDevice", D3D_OK);
    if (SUCCEEDED(hr) && params->MultiSampleType == D3DMULTISAMPLE_4_SAMPLES &&
        !Adapter().fourSamples) {
        hr = D3DERR_NOTAVAILABLE;
    }
    if (SUCCEEDED(hr) && (behavior & D3DCREATE_HARDWARE_VERTEXPROCESSING) &&
        !Adapter().hardwareVertexProcessing) {
        hr = D3DERR_NOTAVAILABLE;
    }
    DeviceCalls().push_back({adapter, type, window, behavior, *params, hr});
    *device = SUCCEEDED(hr) ? new FakeDevice(this, window, behavior, *params) : nullptr;
    return hr;
}

} // namespace

AdapterSetup &Adapter() { return TheAdapter(); }

void ResetDirect3D() {
    TheAdapter() = DefaultAdapter();
    DeviceCalls().clear();
    State() = DeviceState();
    LabelCounts().clear();
}

const std::vector<CreateDeviceCall> &CreateDeviceCalls() { return DeviceCalls(); }

const DeviceState &Device() { return State(); }

int DefaultPoolAlive() { return DefaultPoolCount(); }

std::string Label(const void *object) {
    if (object == nullptr) {
        return "NULL";
    }
    const Entry *entry = Find(object);
    return entry != nullptr ? entry->label : "?";
}

} // namespace fake

IDirect3D9 *WINAPI Direct3DCreate9(UINT sdkVersion) {
    fake::Record("Direct3DCreate9(%u)", sdkVersion);
    HRESULT ignored;
    if (fake::Scripted("Direct3DCreate9", &ignored)) {
        return nullptr;
    }
    return new fake::FakeDirect3D();
}
