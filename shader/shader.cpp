#include "shader/shader.h"

#include "app/window.h"
#include "graphics/graphics.h"

#include <cstring>

Shader shader;

namespace {

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

// NOTE: Windows' D3DX frees in OnLostDevice the state block that an
// effect's Begin saves the device's state in; Wine's keeps it until the
// effect is released (answering E_NOTIMPL or S_OK), and a Direct3D 9 that
// follows Windows' rules (DXVK) refuses Reset while any state block lives.
// So the effect is replaced by its clone, which has its parameter values and
// no state block yet, on the technique the effect had selected. The clone is
// made on every D3DX, so that an effect behaves the same everywhere after a
// reset; if it cannot be made the effect stays.
HRESULT EffectOnLost(ID3DXEffect *&effect) {
    const HRESULT hr = EffectDeviceResult(effect->OnLostDevice());
    ID3DXEffect *clone = nullptr;
    if (FAILED(hr) || FAILED(effect->CloneEffect(GetDevice(), &clone))) {
        return hr;
    }
    D3DXTECHNIQUE_DESC technique;
    if (SUCCEEDED(effect->GetTechniqueDesc(effect->GetCurrentTechnique(), &technique))) {
        clone->SetTechnique(technique.Name);
    }
    effect->Release();
    effect = clone;
    return S_OK;
}

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
      lpPixelShader(nullptr), lpPixelShaderCode(nullptr) {}

Shader::~Shader() { Release(); }

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

HRESULT ShaderOnLost() {
    shader.ReleaseDeviceShaders();
    return shader.lpEffect != nullptr ? EffectOnLost(shader.lpEffect) : S_OK;
}

HRESULT ShaderOnRestore() {
    const HRESULT hr = shader.CreateShader();
    if (FAILED(hr)) {
        return hr;
    }
    return shader.lpEffect != nullptr ? EffectDeviceResult(shader.lpEffect->OnResetDevice()) : hr;
}
