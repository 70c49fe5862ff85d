#include "shader/shader.h"

#include "app/window.h"
#include "graphics/graphics.h"

#include <cstring>

namespace {

// NOTE: the text form reports with the file form's message on purpose; the
// self-test's output and its readers know this one line.
constexpr const char *kCreateEffectFailed =
    "Shader::CreateEffectFromFile : D3DXCreateEffectFromFile\n";

void ReleaseEffect(Shader &object) {
    if (object.lpEffect != nullptr) {
        object.lpEffect->Release();
        object.lpEffect = nullptr;
    }
}

// After a failed creation: the box, and no effect left behind.
HRESULT EffectFailed(Shader &object, HRESULT hr) {
    ShowMessage(kCreateEffectFailed, "Error");
    ReleaseEffect(object);
    return hr;
}

} // namespace

// ---- Shader ---------------------------------------------------------------

HRESULT Shader::CreateEffectFromFile(const char *file) {
    if (GetDevice() == nullptr || file == nullptr) {
        return E_FAIL;
    }
    ReleaseEffect(*this);
    const HRESULT hr = D3DXCreateEffectFromFileA(GetDevice(), file, nullptr, nullptr, 0, nullptr,
                                                 &lpEffect, nullptr);
    return SUCCEEDED(hr) ? hr : EffectFailed(*this, hr);
}

HRESULT Shader::CreateEffectFromCode(const char *text, UINT length) {
    if (GetDevice() == nullptr || text == nullptr) {
        return E_FAIL;
    }
    const UINT size = length != 0 ? length : static_cast<UINT>(std::strlen(text));
    ReleaseEffect(*this);
    const HRESULT hr =
        D3DXCreateEffect(GetDevice(), text, size, nullptr, nullptr, 0, nullptr, &lpEffect, nullptr);
    return SUCCEEDED(hr) ? hr : EffectFailed(*this, hr);
}

// ---- Effects and constants (the global shader) ----------------------------

HRESULT CreateEffectFromFile(const char *file) { return shader.CreateEffectFromFile(file); }

HRESULT CreateEffectFromCode(const char *text, UINT length) {
    return shader.CreateEffectFromCode(text, length);
}

HRESULT SetTechnique(const char *technique) {
    return shader.lpEffect != nullptr ? shader.lpEffect->SetTechnique(technique) : E_FAIL;
}

HRESULT BeginEffect(UINT *passes) {
    return shader.lpEffect != nullptr ? shader.lpEffect->Begin(passes, 0) : E_FAIL;
}

HRESULT BeginPass(UINT pass) {
    return shader.lpEffect != nullptr ? shader.lpEffect->BeginPass(pass) : E_FAIL;
}

HRESULT EndPass() { return shader.lpEffect != nullptr ? shader.lpEffect->EndPass() : E_FAIL; }

HRESULT EndEffect() { return shader.lpEffect != nullptr ? shader.lpEffect->End() : E_FAIL; }

HRESULT SetEffectMatrix(const char *parameter, const D3DXMATRIX *matrix) {
    return shader.lpEffect != nullptr ? shader.lpEffect->SetMatrix(parameter, matrix) : E_FAIL;
}

HRESULT SetEffectValue(const char *parameter, const void *data, UINT bytes) {
    return shader.lpEffect != nullptr ? shader.lpEffect->SetValue(parameter, data, bytes) : E_FAIL;
}

HRESULT ApplyVertexShader() {
    if (GetDevice() == nullptr || shader.lpVertexShader == nullptr) {
        return E_FAIL;
    }
    return GetDevice()->SetVertexShader(shader.lpVertexShader);
}

HRESULT ApplyPixelShader() {
    if (GetDevice() == nullptr || shader.lpPixelShader == nullptr) {
        return E_FAIL;
    }
    return GetDevice()->SetPixelShader(shader.lpPixelShader);
}

HRESULT SetVertexShaderConstant(UINT firstRegister, const float *data, UINT registers) {
    if (GetDevice() == nullptr || shader.lpVertexShader == nullptr) {
        return E_FAIL;
    }
    return GetDevice()->SetVertexShaderConstantF(firstRegister, data, registers);
}

HRESULT SetPixelShaderConstant(UINT firstRegister, const float *data, UINT registers) {
    if (GetDevice() == nullptr || shader.lpPixelShader == nullptr) {
        return E_FAIL;
    }
    return GetDevice()->SetPixelShaderConstantF(firstRegister, data, registers);
}
