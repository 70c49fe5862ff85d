#include "fake/d3dx_shader.h"

#include "fake/d3d9.h"
#include "fake/fake.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

namespace fake {
namespace {

class FakeBuffer final : public Object<ID3DXBuffer> {
  public:
    explicit FakeBuffer(const std::string &text) : bytes_(text.begin(), text.end()) {
        bytes_.push_back('\0');
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    void *STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

  private:
    std::vector<char> bytes_;
};

std::map<std::string, std::vector<unsigned char>> &Values() {
    static std::map<std::string, std::vector<unsigned char>> values;
    return values;
}

bool placeHigh = false;
bool keepStateBlock = false;
const ID3DXEffect *lastEffect = nullptr;

int &EffectCount() {
    static int count = 0;
    return count;
}

// " +errors" and the like for the optional arguments given.
std::string Extras(const void *defines, const void *include, const void *pool, const void *errors,
                   const void *table) {
    std::string extras;
    const std::pair<const void *, const char *> named[] = {{defines, " +defines"},
                                                           {include, " +include"},
                                                           {pool, " +pool"},
                                                           {errors, " +errors"},
                                                           {table, " +table"}};
    for (const auto &item : named) {
        if (item.first != nullptr) {
            extras += item.second;
        }
    }
    return extras;
}

// The common end of every creating call: the scripted or invalid-argument
// failure (with an error buffer when one was asked for), or `make`'s object.
template <class Out, class Make>
HRESULT Create(const char *name, bool valid, Out **out, ID3DXBuffer **errors, Make make) {
    HRESULT hr = D3D_OK;
    if (!Scripted(name, &hr) && !valid) {
        hr = D3DERR_INVALIDCALL;
    }
    if (errors != nullptr) {
        *errors = FAILED(hr) ? new FakeBuffer(std::string(name) + " failed") : nullptr;
    }
    if (out != nullptr) {
        *out = SUCCEEDED(hr) ? make() : nullptr;
    }
    return hr;
}

std::string Text(const char *text) { return text != nullptr ? text : "NULL"; }

std::string Profile(const char *stage, DWORD version) {
    char text[16];
    const unsigned major = (version >> 8) & 0xFF;
    std::snprintf(text, sizeof text, "%s_%u_%u", stage, major, major == 1 ? 1u : 0u);
    return text;
}

#define FX_NOTIMPL(name, params)                                                                   \
    HRESULT STDMETHODCALLTYPE name params override {                                               \
        Record("ID3DXEffect::" #name "(%s)", label_.c_str());                                      \
        return E_NOTIMPL;                                                                          \
    }
#define FX_HANDLE(name, params)                                                                    \
    D3DXHANDLE STDMETHODCALLTYPE name params override {                                            \
        Record("ID3DXEffect::" #name "(%s)", label_.c_str());                                      \
        return nullptr;                                                                            \
    }
#define FX_RECORDED(name)                                                                          \
    HRESULT STDMETHODCALLTYPE name() override {                                                    \
        Record("ID3DXEffect::" #name "(%s)", label_.c_str());                                      \
        return Answer("ID3DXEffect::" #name);                                                      \
    }

class FakeEffect final : public Object<ID3DXEffect> {
  public:
    explicit FakeEffect(IDirect3DDevice9 *device)
        : device_(device), label_("effect" + std::to_string(++EffectCount())) {
        device_->AddRef();
        Values().clear();
        lastEffect = this;
    }
    ~FakeEffect() override {
        FreeStateBlock();
        device_->Release();
    }

    static void *operator new(size_t size) {
        for (uint64_t slot = 1; placeHigh && sizeof(void *) == 8 && slot < 64; ++slot) {
            void *at = VirtualAlloc(reinterpret_cast<void *>(slot << 32), size,
                                    MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (at != nullptr) {
                return at;
            }
        }
        return ::operator new(size);
    }
    static void operator delete(void *at) {
        if ((reinterpret_cast<uintptr_t>(at) & 0xFFFFFFFFu) == 0) {
            VirtualFree(at, 0, MEM_RELEASE);
        } else {
            ::operator delete(at);
        }
    }

    ULONG STDMETHODCALLTYPE Release() override {
        Record("ID3DXEffect::Release(%s)", label_.c_str());
        return Object<ID3DXEffect>::Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }

    // ---- What the framework uses
    HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE technique) override {
        Record("ID3DXEffect::SetTechnique(%s, %s)", label_.c_str(), Text(technique).c_str());
        const HRESULT hr = Answer("ID3DXEffect::SetTechnique");
        if (SUCCEEDED(hr)) {
            technique_ = Text(technique);
        }
        return hr;
    }
    // Saves the device's state in a state block of its own, made at the
    // first Begin, unless told not to.
    HRESULT STDMETHODCALLTYPE Begin(UINT *passes, DWORD flags) override {
        Record("ID3DXEffect::Begin(%s, 0x%lx)", label_.c_str(), flags);
        const HRESULT hr = Answer("ID3DXEffect::Begin");
        if (SUCCEEDED(hr) && passes != nullptr) {
            *passes = 1;
        }
        if (SUCCEEDED(hr) && (flags & D3DXFX_DONOTSAVESTATE) == 0 && stateBlock_ == nullptr) {
            device_->CreateStateBlock(D3DSBT_ALL, &stateBlock_);
        }
        return hr;
    }
    // Windows' D3DX frees the state block here, Wine's keeps it.
    HRESULT STDMETHODCALLTYPE OnLostDevice() override {
        Record("ID3DXEffect::OnLostDevice(%s)", label_.c_str());
        const HRESULT hr = Answer("ID3DXEffect::OnLostDevice");
        if (!keepStateBlock) {
            FreeStateBlock();
        }
        return hr;
    }
    // A new effect with this one's parameter values and technique, and no
    // state block.
    HRESULT STDMETHODCALLTYPE CloneEffect(IDirect3DDevice9 *device, ID3DXEffect **clone) override {
        Record("ID3DXEffect::CloneEffect(%s, %s)", label_.c_str(), Label(device).c_str());
        const HRESULT hr = Answer("ID3DXEffect::CloneEffect");
        if (FAILED(hr) || device == nullptr || clone == nullptr) {
            return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        }
        auto *copy = new FakeEffect(device);
        Values() = copy->values_ = values_;
        copy->technique_ = technique_;
        *clone = copy;
        return D3D_OK;
    }
    D3DXHANDLE STDMETHODCALLTYPE GetCurrentTechnique() override {
        return technique_.empty() ? nullptr : technique_.c_str();
    }
    // Techniques are known by the name their handle is.
    HRESULT STDMETHODCALLTYPE GetTechniqueDesc(D3DXHANDLE technique,
                                               D3DXTECHNIQUE_DESC *desc) override {
        if (technique == nullptr || desc == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *desc = {};
        desc->Name = technique;
        desc->Passes = 1;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginPass(UINT pass) override {
        Record("ID3DXEffect::BeginPass(%s, %u)", label_.c_str(), pass);
        return Answer("ID3DXEffect::BeginPass");
    }
    FX_RECORDED(EndPass)
    FX_RECORDED(End)
    FX_RECORDED(OnResetDevice)
    HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX *matrix) override {
        Record("ID3DXEffect::SetMatrix(%s, %s)", label_.c_str(), Text(parameter).c_str());
        return Store("ID3DXEffect::SetMatrix", parameter, matrix, sizeof(D3DXMATRIX));
    }
    HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE parameter, const void *data,
                                       UINT bytes) override {
        Record("ID3DXEffect::SetValue(%s, %s, %u)", label_.c_str(), Text(parameter).c_str(), bytes);
        return Store("ID3DXEffect::SetValue", parameter, data, bytes);
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override {
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }

    // ---- The rest of ID3DXBaseEffect
    FX_NOTIMPL(GetDesc, (D3DXEFFECT_DESC *))
    FX_NOTIMPL(GetParameterDesc, (D3DXHANDLE, D3DXPARAMETER_DESC *))
    FX_NOTIMPL(GetPassDesc, (D3DXHANDLE, D3DXPASS_DESC *))
    FX_NOTIMPL(GetFunctionDesc, (D3DXHANDLE, D3DXFUNCTION_DESC *))
    FX_HANDLE(GetParameter, (D3DXHANDLE, UINT))
    FX_HANDLE(GetParameterByName, (D3DXHANDLE, const char *))
    FX_HANDLE(GetParameterBySemantic, (D3DXHANDLE, const char *))
    FX_HANDLE(GetParameterElement, (D3DXHANDLE, UINT))
    FX_HANDLE(GetTechnique, (UINT))
    FX_HANDLE(GetTechniqueByName, (const char *))
    FX_HANDLE(GetPass, (D3DXHANDLE, UINT))
    FX_HANDLE(GetPassByName, (D3DXHANDLE, const char *))
    FX_HANDLE(GetFunction, (UINT))
    FX_HANDLE(GetFunctionByName, (const char *))
    FX_HANDLE(GetAnnotation, (D3DXHANDLE, UINT))
    FX_HANDLE(GetAnnotationByName, (D3DXHANDLE, const char *))
    HRESULT STDMETHODCALLTYPE GetValue(D3DXHANDLE parameter, void *data, UINT bytes) override {
        auto found = values_.find(Text(parameter));
        if (found == values_.end() || data == nullptr || bytes < found->second.size()) {
            return D3DERR_INVALIDCALL;
        }
        std::memcpy(data, found->second.data(), found->second.size());
        return D3D_OK;
    }
    FX_NOTIMPL(SetBool, (D3DXHANDLE, WINBOOL))
    FX_NOTIMPL(GetBool, (D3DXHANDLE, WINBOOL *))
    FX_NOTIMPL(SetBoolArray, (D3DXHANDLE, const WINBOOL *, UINT))
    FX_NOTIMPL(GetBoolArray, (D3DXHANDLE, WINBOOL *, UINT))
    FX_NOTIMPL(SetInt, (D3DXHANDLE, INT))
    FX_NOTIMPL(GetInt, (D3DXHANDLE, INT *))
    FX_NOTIMPL(SetIntArray, (D3DXHANDLE, const INT *, UINT))
    FX_NOTIMPL(GetIntArray, (D3DXHANDLE, INT *, UINT))
    FX_NOTIMPL(SetFloat, (D3DXHANDLE, FLOAT))
    FX_NOTIMPL(GetFloat, (D3DXHANDLE, FLOAT *))
    FX_NOTIMPL(SetFloatArray, (D3DXHANDLE, const FLOAT *, UINT))
    FX_NOTIMPL(GetFloatArray, (D3DXHANDLE, FLOAT *, UINT))
    FX_NOTIMPL(SetVector, (D3DXHANDLE, const D3DXVECTOR4 *))
    FX_NOTIMPL(GetVector, (D3DXHANDLE, D3DXVECTOR4 *))
    FX_NOTIMPL(SetVectorArray, (D3DXHANDLE, const D3DXVECTOR4 *, UINT))
    FX_NOTIMPL(GetVectorArray, (D3DXHANDLE, D3DXVECTOR4 *, UINT))
    FX_NOTIMPL(GetMatrix, (D3DXHANDLE, D3DXMATRIX *))
    FX_NOTIMPL(SetMatrixArray, (D3DXHANDLE, const D3DXMATRIX *, UINT))
    FX_NOTIMPL(GetMatrixArray, (D3DXHANDLE, D3DXMATRIX *, UINT))
    FX_NOTIMPL(SetMatrixPointerArray, (D3DXHANDLE, const D3DXMATRIX **, UINT))
    FX_NOTIMPL(GetMatrixPointerArray, (D3DXHANDLE, D3DXMATRIX **, UINT))
    FX_NOTIMPL(SetMatrixTranspose, (D3DXHANDLE, const D3DXMATRIX *))
    FX_NOTIMPL(GetMatrixTranspose, (D3DXHANDLE, D3DXMATRIX *))
    FX_NOTIMPL(SetMatrixTransposeArray, (D3DXHANDLE, const D3DXMATRIX *, UINT))
    FX_NOTIMPL(GetMatrixTransposeArray, (D3DXHANDLE, D3DXMATRIX *, UINT))
    FX_NOTIMPL(SetMatrixTransposePointerArray, (D3DXHANDLE, const D3DXMATRIX **, UINT))
    FX_NOTIMPL(GetMatrixTransposePointerArray, (D3DXHANDLE, D3DXMATRIX **, UINT))
    FX_NOTIMPL(SetString, (D3DXHANDLE, const char *))
    FX_NOTIMPL(GetString, (D3DXHANDLE, const char **))
    FX_NOTIMPL(SetTexture, (D3DXHANDLE, IDirect3DBaseTexture9 *))
    FX_NOTIMPL(GetTexture, (D3DXHANDLE, IDirect3DBaseTexture9 **))
    FX_NOTIMPL(GetPixelShader, (D3DXHANDLE, IDirect3DPixelShader9 **))
    FX_NOTIMPL(GetVertexShader, (D3DXHANDLE, IDirect3DVertexShader9 **))
    FX_NOTIMPL(SetArrayRange, (D3DXHANDLE, UINT, UINT))

    // ---- The rest of ID3DXEffect
    FX_NOTIMPL(GetPool, (ID3DXEffectPool **))
    FX_NOTIMPL(ValidateTechnique, (D3DXHANDLE))
    FX_NOTIMPL(FindNextValidTechnique, (D3DXHANDLE, D3DXHANDLE *))
    WINBOOL STDMETHODCALLTYPE IsParameterUsed(D3DXHANDLE, D3DXHANDLE) override { return TRUE; }
    FX_NOTIMPL(CommitChanges, ())
    FX_NOTIMPL(SetStateManager, (ID3DXEffectStateManager *))
    FX_NOTIMPL(GetStateManager, (ID3DXEffectStateManager **))
    FX_NOTIMPL(BeginParameterBlock, ())
    FX_HANDLE(EndParameterBlock, ())
    FX_NOTIMPL(ApplyParameterBlock, (D3DXHANDLE))
#if D3DX_SDK_VERSION >= 26
    FX_NOTIMPL(DeleteParameterBlock, (D3DXHANDLE))
#endif
#if D3DX_SDK_VERSION >= 27
    FX_NOTIMPL(SetRawValue, (D3DXHANDLE, const void *, UINT, UINT))
#endif

  private:
    static HRESULT Answer(const char *name) {
        HRESULT hr = D3D_OK;
        Scripted(name, &hr);
        return hr;
    }
    HRESULT Store(const char *name, D3DXHANDLE parameter, const void *data, UINT bytes) {
        const HRESULT hr = Answer(name);
        if (SUCCEEDED(hr) && parameter != nullptr && data != nullptr) {
            const auto *begin = static_cast<const unsigned char *>(data);
            Values()[parameter].assign(begin, begin + bytes);
            values_[parameter].assign(begin, begin + bytes);
        }
        return hr;
    }

    void FreeStateBlock() {
        if (stateBlock_ != nullptr) {
            stateBlock_->Release();
            stateBlock_ = nullptr;
        }
    }

    IDirect3DDevice9 *device_;
    std::string label_;
    std::string technique_;
    std::map<std::string, std::vector<unsigned char>> values_; // by parameter name
    IDirect3DStateBlock9 *stateBlock_ = nullptr;
};

} // namespace

void PlaceEffectsOn4GiBBoundaries(bool on) { placeHigh = on; }

void KeepEffectStateBlocks(bool keep) { keepStateBlock = keep; }

const ID3DXEffect *LastEffect() { return lastEffect; }

std::vector<unsigned char> EffectValue(const std::string &parameter) {
    auto found = Values().find(parameter);
    return found != Values().end() ? found->second : std::vector<unsigned char>();
}

} // namespace fake

// The SDK header declares these two without marking them pure, so every
// vtable of an effect class refers to them.
D3DXHANDLE STDMETHODCALLTYPE ID3DXEffect::GetFunction(UINT) { return nullptr; }
D3DXHANDLE STDMETHODCALLTYPE ID3DXEffect::GetFunctionByName(const char *) { return nullptr; }

using fake::Create;
using fake::Extras;
using fake::Text;

HRESULT WINAPI D3DXCompileShaderFromFileA(const char *file, const D3DXMACRO *defines,
                                          ID3DXInclude *include, const char *entry,
                                          const char *profile, DWORD flags, ID3DXBuffer **shader,
                                          ID3DXBuffer **errors, ID3DXConstantTable **table) {
    fake::Record("D3DXCompileShaderFromFileA(%s, %s, %s, 0x%lx%s)", Text(file).c_str(),
                 Text(entry).c_str(), Text(profile).c_str(), flags,
                 Extras(defines, include, nullptr, errors, table).c_str());
    if (table != nullptr) {
        *table = nullptr;
    }
    return Create(
        "D3DXCompileShaderFromFileA", file != nullptr && entry != nullptr, shader, errors,
        [&] { return new fake::FakeBuffer(Text(file) + ":" + Text(entry) + ":" + Text(profile)); });
}

HRESULT WINAPI D3DXCompileShader(const char *text, UINT length, const D3DXMACRO *defines,
                                 ID3DXInclude *include, const char *entry, const char *profile,
                                 DWORD flags, ID3DXBuffer **shader, ID3DXBuffer **errors,
                                 ID3DXConstantTable **table) {
    fake::Record("D3DXCompileShader(%u, %s, %s, 0x%lx%s)", length, Text(entry).c_str(),
                 Text(profile).c_str(), flags,
                 Extras(defines, include, nullptr, errors, table).c_str());
    if (table != nullptr) {
        *table = nullptr;
    }
    return Create("D3DXCompileShader", text != nullptr && length != 0 && entry != nullptr, shader,
                  errors, [&] {
                      return new fake::FakeBuffer("text(" + std::to_string(length) +
                                                  "):" + Text(entry) + ":" + Text(profile));
                  });
}

HRESULT WINAPI D3DXAssembleShaderFromFileA(const char *file, const D3DXMACRO *defines,
                                           ID3DXInclude *include, DWORD flags, ID3DXBuffer **shader,
                                           ID3DXBuffer **errors) {
    fake::Record("D3DXAssembleShaderFromFileA(%s, 0x%lx%s)", Text(file).c_str(), flags,
                 Extras(defines, include, nullptr, errors, nullptr).c_str());
    return Create("D3DXAssembleShaderFromFileA", file != nullptr, shader, errors,
                  [&] { return new fake::FakeBuffer(Text(file)); });
}

HRESULT WINAPI D3DXAssembleShader(const char *text, UINT length, const D3DXMACRO *defines,
                                  ID3DXInclude *include, DWORD flags, ID3DXBuffer **shader,
                                  ID3DXBuffer **errors) {
    fake::Record("D3DXAssembleShader(%u, 0x%lx%s)", length, flags,
                 Extras(defines, include, nullptr, errors, nullptr).c_str());
    return Create("D3DXAssembleShader", text != nullptr && length != 0, shader, errors,
                  [&] { return new fake::FakeBuffer("text(" + std::to_string(length) + ")"); });
}

HRESULT WINAPI D3DXCreateEffectFromFileA(IDirect3DDevice9 *device, const char *file,
                                         const D3DXMACRO *defines, ID3DXInclude *include,
                                         DWORD flags, ID3DXEffectPool *pool, ID3DXEffect **effect,
                                         ID3DXBuffer **errors) {
    fake::Record("D3DXCreateEffectFromFileA(%s, %s, 0x%lx%s)", fake::Label(device).c_str(),
                 Text(file).c_str(), flags,
                 Extras(defines, include, pool, errors, nullptr).c_str());
    return Create("D3DXCreateEffectFromFileA", device != nullptr && file != nullptr, effect, errors,
                  [&] { return new fake::FakeEffect(device); });
}

HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9 *device, const void *text, UINT length,
                                const D3DXMACRO *defines, ID3DXInclude *include, DWORD flags,
                                ID3DXEffectPool *pool, ID3DXEffect **effect, ID3DXBuffer **errors) {
    fake::Record("D3DXCreateEffect(%s, %u, 0x%lx%s)", fake::Label(device).c_str(), length, flags,
                 Extras(defines, include, pool, errors, nullptr).c_str());
    return Create("D3DXCreateEffect", device != nullptr && text != nullptr && length != 0, effect,
                  errors, [&] { return new fake::FakeEffect(device); });
}

const char *WINAPI D3DXGetVertexShaderProfile(IDirect3DDevice9 *device) {
    fake::Record("D3DXGetVertexShaderProfile(%s)", fake::Label(device).c_str());
    static std::string profile;
    profile = fake::Profile("vs", fake::Adapter().caps.VertexShaderVersion);
    return device != nullptr ? profile.c_str() : nullptr;
}

const char *WINAPI D3DXGetPixelShaderProfile(IDirect3DDevice9 *device) {
    fake::Record("D3DXGetPixelShaderProfile(%s)", fake::Label(device).c_str());
    static std::string profile;
    profile = fake::Profile("ps", fake::Adapter().caps.PixelShaderVersion);
    return device != nullptr ? profile.c_str() : nullptr;
}
