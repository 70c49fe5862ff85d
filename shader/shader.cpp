#include "shader/shader.h"

#include "app/window.h"
#include "graphics/graphics.h"
#include "graphics/services.h"

#include <cstdint>
#include <cstring>

// Every Shader in being, newest first. Constant-initialised, so the global
// `shader` can link itself in before main.
struct ShaderList {
    static Shader *first;
    static void Link(Shader &object) {
        object.previous_ = nullptr;
        object.next_ = first;
        if (first != nullptr) {
            first->previous_ = &object;
        }
        first = &object;
    }
    static void Unlink(Shader &object) {
        (object.previous_ != nullptr ? object.previous_->next_ : first) = object.next_;
        if (object.next_ != nullptr) {
            object.next_->previous_ = object.previous_;
        }
    }
    static Shader *Next(const Shader &object) { return object.next_; }
};
Shader *ShaderList::first = nullptr;

Shader shader;

namespace {

// What this D3DX does with an effect's saved-state block in OnLostDevice.
enum StateBlockRule { RULE_UNKNOWN, RULE_FREES, RULE_KEEPS };

struct EffectLossState {
    StateBlockRule rule; // found out once per device
    BOOL cloned;         // the last loss replaced the effects
} effectLoss;

// The smallest effect binary (fx_2_0): no parameters, technique "t" with one
// pass "p" that sets no state. Names and the like are offsets from byte 8.
constexpr uint32_t kProbeEffect[] = {
    0xFEFF0901, 20,              // tag, size of the data area
    0,          2,  't', 2, 'p', // data: "", then "t" and "p" (length with NUL, padded)
    0,          1,  0,   1,      // parameters, techniques, (unused), objects
    4,          0,  1,           // technique: name, annotations, passes
    12,         0,  0,           // pass: name, annotations, states
    0,          0};              // strings, resources

template <class Interface> void ReleaseInterface(Interface *&object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// The box texts of one build operation, vertex stage first.
struct StageMessages {
    const char *vertex;
    const char *pixel;
};

constexpr StageMessages kCompileFromFile = {
    "Shader::CompileFromFile : D3DXCompileShader VertexShader \n",
    "Shader::CompileFromFile : D3DXCompileShader PixelShader \n"};
constexpr StageMessages kCompileFromCode = {
    "Shader::CompileFromCode : D3DXCompileShader VertexShader \n",
    "Shader::CompileFromCode : D3DXCompileShader PixelShader \n"};
constexpr StageMessages kAssembleFromFile = {
    "Shader::AssembleFromFile : D3DXAssembleShader VertexShader \n",
    "Shader::AssembleFromFile : D3DXAssembleShader PixelShader \n"};
constexpr StageMessages kAssembleFromCode = {
    "Shader::AssembleFromCode : D3DXAssembleShader VertexShader \n",
    "Shader::AssembleFromCode : D3DXAssembleShader PixelShader \n"};

// NOTE: Wine's D3DX answers E_NOTIMPL to an effect's OnLostDevice and
// OnResetDevice: its effects hold no default-pool objects, so there is
// nothing to release or restore, and the reset goes on as if they had
// succeeded. Windows' D3DX never answers so.
HRESULT EffectDeviceResult(HRESULT hr) { return hr == E_NOTIMPL ? S_OK : hr; }

ULONG DeviceReferences(IDirect3DDevice9 *device) {
    device->AddRef();
    return device->Release();
}

// NOTE: Windows' D3DX frees in OnLostDevice the state block that an
// effect's Begin saves the device's state in; Wine's keeps it until the
// effect is released (answering E_NOTIMPL or S_OK), and a Direct3D 9 that
// follows Windows' rules (DXVK) refuses Reset while any state block lives.
// The state block holds a reference to the device: a tiny effect shows which
// D3DX this is by the device's count after Begin, End and OnLostDevice. One
// that cannot be made is taken for the keeping kind (clones always serve).
StateBlockRule FindStateBlockRule() {
    IDirect3DDevice9 *device = GetDevice();
    ID3DXEffect *probe = nullptr;
    if (FAILED(D3DXCreateEffect(device, kProbeEffect, sizeof kProbeEffect, nullptr, nullptr, 0,
                                nullptr, &probe, nullptr))) {
        return RULE_KEEPS;
    }
    const ULONG before = DeviceReferences(device);
    UINT passes = 0;
    if (SUCCEEDED(probe->Begin(&passes, 0))) {
        probe->End();
    }
    probe->OnLostDevice();
    const ULONG after = DeviceReferences(device);
    probe->Release();
    return after > before ? RULE_KEEPS : RULE_FREES;
}

// Tells the effect of the loss. Where the D3DX keeps its state block, the
// effect is replaced by its clone, which has its parameter values and no
// state block yet, on the technique the effect had selected; if the clone
// cannot be made the effect stays.
HRESULT EffectOnLost(ID3DXEffect *&effect) {
    const HRESULT hr = EffectDeviceResult(effect->OnLostDevice());
    if (FAILED(hr)) {
        return hr;
    }
    if (effectLoss.rule == RULE_UNKNOWN) {
        effectLoss.rule = FindStateBlockRule();
    }
    ID3DXEffect *clone = nullptr;
    if (effectLoss.rule == RULE_FREES || FAILED(effect->CloneEffect(GetDevice(), &clone))) {
        return hr;
    }
    D3DXTECHNIQUE_DESC technique;
    if (SUCCEEDED(effect->GetTechniqueDesc(effect->GetCurrentTechnique(), &technique))) {
        clone->SetTechnique(technique.Name);
    }
    effect->Release();
    effect = clone;
    effectLoss.cloned = TRUE;
    return S_OK;
}

HRESULT ObjectOnLost(Shader &object) {
    object.ReleaseDeviceShaders();
    return object.lpEffect != nullptr ? EffectOnLost(object.lpEffect) : S_OK;
}

HRESULT ObjectOnRestore(Shader &object) {
    const HRESULT hr = object.CreateShader();
    if (FAILED(hr)) {
        return hr;
    }
    return object.lpEffect != nullptr ? EffectDeviceResult(object.lpEffect->OnResetDevice()) : hr;
}

// Runs `step` on every Shader in being; the first failure ends it.
HRESULT ForEachShader(HRESULT (*step)(Shader &)) {
    for (Shader *object = ShaderList::first; object != nullptr;
         object = ShaderList::Next(*object)) {
        const HRESULT hr = step(*object);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

// The device-loss handling's calls.
HRESULT ShadersOnLost() {
    effectLoss.cloned = FALSE;
    return ForEachShader(ObjectOnLost);
}

HRESULT ShadersOnReset() { return ForEachShader(ObjectOnRestore); }

// The device goes: the next one's D3DX is asked again.
void ForgetDevice() { effectLoss = {}; }

UINT TextLength(const char *text, UINT length) {
    return length != 0 ? length : static_cast<UINT>(std::strlen(text));
}

// Rebuilds the byte code of the given stages with `build(vertex, &code)` and
// makes the device shaders. The caller has checked the device and the
// arguments. A failing stage is left without code and ends the build.
template <class Build>
HRESULT BuildStages(Shader &object, bool vertex, bool pixel, const StageMessages &messages,
                    Build build) {
    object.ReleaseDeviceShaders();
    const struct {
        bool wanted;
        bool isVertex;
        ID3DXBuffer *&code;
        const char *message;
    } stages[] = {{vertex, true, object.lpVertexShaderCode, messages.vertex},
                  {pixel, false, object.lpPixelShaderCode, messages.pixel}};
    for (const auto &stage : stages) {
        if (!stage.wanted) {
            continue;
        }
        ReleaseInterface(stage.code);
        const HRESULT hr = build(stage.isVertex, &stage.code);
        if (FAILED(hr)) {
            // D3DX hands back no code on failure; make sure of it.
            ReleaseInterface(stage.code);
            ShowMessage(stage.message, "Error");
            object.ReleaseDeviceShaders();
            return hr;
        }
    }
    return object.CreateShader();
}

// The profile D3DX gives as the best of the current device for the stage.
const char *Profile(bool vertex) {
    return vertex ? D3DXGetVertexShaderProfile(GetDevice())
                  : D3DXGetPixelShaderProfile(GetDevice());
}

} // namespace

// ---- Shader ---------------------------------------------------------------

Shader::Shader()
    : lpEffect(nullptr), lpVertexShader(nullptr), lpVertexShaderCode(nullptr),
      lpPixelShader(nullptr), lpPixelShaderCode(nullptr), next_(nullptr), previous_(nullptr) {
    ShaderList::Link(*this);
    SetDeviceService(SERVICE_SHADERS, {ShadersOnLost, ShadersOnReset, ForgetDevice});
}

Shader::~Shader() {
    Release();
    ShaderList::Unlink(*this);
}

HRESULT Shader::CompileFromFile(const char *file, const char *vsEntry, const char *psEntry) {
    if (GetDevice() == nullptr || file == nullptr || (vsEntry == nullptr && psEntry == nullptr)) {
        return E_FAIL;
    }
    return BuildStages(*this, vsEntry != nullptr, psEntry != nullptr, kCompileFromFile,
                       [&](bool vertex, ID3DXBuffer **code) {
                           return D3DXCompileShaderFromFileA(
                               file, nullptr, nullptr, vertex ? vsEntry : psEntry, Profile(vertex),
                               0, code, nullptr, nullptr);
                       });
}

HRESULT Shader::CompileFromCode(const char *text, UINT length, const char *vsEntry,
                                const char *psEntry) {
    if (GetDevice() == nullptr || text == nullptr || (vsEntry == nullptr && psEntry == nullptr)) {
        return E_FAIL;
    }
    const UINT size = TextLength(text, length);
    return BuildStages(*this, vsEntry != nullptr, psEntry != nullptr, kCompileFromCode,
                       [&](bool vertex, ID3DXBuffer **code) {
                           return D3DXCompileShader(text, size, nullptr, nullptr,
                                                    vertex ? vsEntry : psEntry, Profile(vertex), 0,
                                                    code, nullptr, nullptr);
                       });
}

HRESULT Shader::AssembleFromFile(const char *vsFile, const char *psFile) {
    if (GetDevice() == nullptr || (vsFile == nullptr && psFile == nullptr)) {
        return E_FAIL;
    }
    return BuildStages(*this, vsFile != nullptr, psFile != nullptr, kAssembleFromFile,
                       [&](bool vertex, ID3DXBuffer **code) {
                           return D3DXAssembleShaderFromFileA(vertex ? vsFile : psFile, nullptr,
                                                              nullptr, 0, code, nullptr);
                       });
}

HRESULT Shader::AssembleFromCode(const char *vsText, UINT vsLength, const char *psText,
                                 UINT psLength) {
    if (GetDevice() == nullptr || (vsText == nullptr && psText == nullptr)) {
        return E_FAIL;
    }
    const UINT vsSize = vsText != nullptr ? TextLength(vsText, vsLength) : 0;
    const UINT psSize = psText != nullptr ? TextLength(psText, psLength) : 0;
    return BuildStages(*this, vsText != nullptr, psText != nullptr, kAssembleFromCode,
                       [&](bool vertex, ID3DXBuffer **code) {
                           return D3DXAssembleShader(vertex ? vsText : psText,
                                                     vertex ? vsSize : psSize, nullptr, nullptr, 0,
                                                     code, nullptr);
                       });
}

HRESULT Shader::CreateShader() {
    IDirect3DDevice9 *device = GetDevice();
    if (device == nullptr && (lpVertexShaderCode != nullptr || lpPixelShaderCode != nullptr)) {
        return E_FAIL;
    }
    HRESULT hr = S_OK;
    if (lpVertexShaderCode != nullptr) {
        // Callers empty the member first; a stray one is not leaked.
        ReleaseInterface(lpVertexShader);
        hr = device->CreateVertexShader(
            static_cast<const DWORD *>(lpVertexShaderCode->GetBufferPointer()), &lpVertexShader);
        if (FAILED(hr)) {
            ShowMessage("Shader::CreateShader : CreateVertexShader \n", "Error");
            Release();
            return hr;
        }
    }
    if (lpPixelShaderCode != nullptr) {
        ReleaseInterface(lpPixelShader);
        hr = device->CreatePixelShader(
            static_cast<const DWORD *>(lpPixelShaderCode->GetBufferPointer()), &lpPixelShader);
        if (FAILED(hr)) {
            ShowMessage("Shader::CreateShader : CreatePixelShader\n", "Error");
            Release();
            return hr;
        }
    }
    return hr;
}

void Shader::ReleaseDeviceShaders() {
    ReleaseInterface(lpPixelShader);
    ReleaseInterface(lpVertexShader);
}

HRESULT Shader::Release() {
    ReleaseInterface(lpPixelShaderCode);
    ReleaseInterface(lpVertexShaderCode);
    ReleaseInterface(lpPixelShader);
    ReleaseInterface(lpVertexShader);
    ReleaseInterface(lpEffect);
    return S_OK;
}

// ---- The global shader pair -----------------------------------------------

HRESULT CompileShaderFromFile(const char *file, const char *vsEntry, const char *psEntry) {
    return shader.CompileFromFile(file, vsEntry, psEntry);
}

HRESULT CompileShaderFromCode(const char *text, UINT length, const char *vsEntry,
                              const char *psEntry) {
    return shader.CompileFromCode(text, length, vsEntry, psEntry);
}

HRESULT AssembleShaderFromFile(const char *vsFile, const char *psFile) {
    return shader.AssembleFromFile(vsFile, psFile);
}

HRESULT AssembleShaderFromCode(const char *vsText, UINT vsLength, const char *psText,
                               UINT psLength) {
    return shader.AssembleFromCode(vsText, vsLength, psText, psLength);
}

HRESULT ReleaseShader() { return shader.Release(); }

HRESULT ShaderOnLost() { return ObjectOnLost(shader); }

HRESULT ShaderOnRestore() { return ObjectOnRestore(shader); }

BOOL WereEffectsCloned() { return effectLoss.cloned; }
