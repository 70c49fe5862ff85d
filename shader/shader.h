// Shaders: the Shader object (one effect and one vertex/pixel shader pair
// with the byte code the pair was made from), the global instance `shader`,
// effects and shader constants, and the shader self-test.
//
// A Shader builds its pair from HLSL, compiled for the current device's best
// profiles, or from shader assembly, each from a file or from text. The byte
// code is kept, so the device objects can be made again after a reset:
// ShaderOnLost drops them and ShaderOnRestore re-makes them (the device-loss
// handling calls both). The demo fills `shader` after InitFramework and
// empties it with ReleaseShader before ExitFramework; its destructor runs
// after main and finds nothing left.
//
// Every operation needs the device: without one it returns E_FAIL and
// changes nothing. A failing D3DX or device call is shown with
// ShowMessage(text, "Error") and its HRESULT returned. Main thread only.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

// Every member is NULL or owns one reference.
class Shader {
  public:
    Shader();
    ~Shader();
    Shader(const Shader &) = delete;
    Shader &operator=(const Shader &) = delete;

    // Builds: either entry point, file or text may be NULL (that stage keeps
    // its code from earlier builds), not both. A length of 0 means up to the
    // terminating NUL. On success both device shaders exist for every stage
    // that holds code.
    HRESULT CompileFromFile(const char *file, const char *vsEntry, const char *psEntry);
    HRESULT CompileFromCode(const char *text, UINT length, const char *vsEntry,
                            const char *psEntry);
    HRESULT AssembleFromFile(const char *vsFile, const char *psFile);
    HRESULT AssembleFromCode(const char *vsText, UINT vsLength, const char *psText, UINT psLength);

    // Makes the device shaders from the held byte code; the device shader
    // members must be NULL. A failure empties the whole object, the effect
    // included.
    HRESULT CreateShader();
    // Drops the two device shaders and keeps the byte code.
    void ReleaseDeviceShaders();
    // Empties the object; always S_OK.
    HRESULT Release();

    // Effects, created without flags, so name strings serve as handles. A
    // failed creation leaves no effect; the shader pair is not touched.
    HRESULT CreateEffectFromFile(const char *file);
    HRESULT CreateEffectFromCode(const char *text, UINT length);

    ID3DXEffect *lpEffect;
    IDirect3DVertexShader9 *lpVertexShader;
    ID3DXBuffer *lpVertexShaderCode;
    IDirect3DPixelShader9 *lpPixelShader;
    ID3DXBuffer *lpPixelShaderCode;
};

extern Shader shader;

// ---- The global shader pair -----------------------------------------------

HRESULT CompileShaderFromFile(const char *file, const char *vsEntry, const char *psEntry);
HRESULT CompileShaderFromCode(const char *text, UINT length, const char *vsEntry,
                              const char *psEntry);
HRESULT AssembleShaderFromFile(const char *vsFile, const char *psFile);
HRESULT AssembleShaderFromCode(const char *vsText, UINT vsLength, const char *psText,
                               UINT psLength);
HRESULT ReleaseShader();
// Before a device reset: drops the device shaders (the byte code stays) and
// tells the effect; an effect that answers E_NOTIMPL counts as told.
HRESULT ShaderOnLost();
// After a device reset: makes the device shaders again and tells the effect
// (E_NOTIMPL counts as success). S_OK on an empty `shader`.
HRESULT ShaderOnRestore();

// ---- Effects and constants (the global shader) ----------------------------

// These seven return E_FAIL while `shader` has no effect.
HRESULT CreateEffectFromFile(const char *file);
HRESULT CreateEffectFromCode(const char *text, UINT length);
HRESULT SetTechnique(const char *technique);
HRESULT BeginEffect(UINT *passes);
HRESULT BeginPass(UINT pass);
HRESULT EndPass();
HRESULT EndEffect();
HRESULT SetEffectMatrix(const char *parameter, const D3DXMATRIX *matrix);
HRESULT SetEffectValue(const char *parameter, const void *data, UINT bytes);

// These need the device and a shader of their stage in `shader`, else they
// return E_FAIL: they never unbind a shader nor set the registers of one
// bound by other means. Counts are of 4-float registers; a matrix takes four
// and is passed transposed.
HRESULT ApplyVertexShader();
HRESULT ApplyPixelShader();
HRESULT SetVertexShaderConstant(UINT firstRegister, const float *data, UINT registers);
HRESULT SetPixelShaderConstant(UINT firstRegister, const float *data, UINT registers);

// ---- Self-test ------------------------------------------------------------

// Builds an effect and a shader pair every way a Shader can, with a local
// Shader, and prints each step's status and what it made; reads "etest.fx",
// "test.fx", "vs_test.vsh" and "ps_test.psh" from the working directory.
// Needs the device. Always 0.
HRESULT TestShader();
