/// \file
/// Shaders: the Shader object (one effect and one vertex/pixel shader pair
/// with the byte code the pair was made from), the global instance `shader`,
/// effects and shader constants, and the shader self-test.
///
/// A Shader builds its pair from HLSL, compiled for the current device's best
/// profiles, or from shader assembly, each from a file or from text. The byte
/// code is kept, so the device objects can be made again after a reset: the
/// device-loss handling drops and re-makes them for every Shader object in
/// being, and tells every Shader's effect of the loss and the reset.
///
/// Effects keep their pointer across a reset where the D3DX allows it. A D3DX
/// that frees an effect's saved-state block in OnLostDevice (Windows') keeps
/// the effect object, and handles taken from it still serve. A D3DX that keeps
/// the block until the effect is released (Wine's) would hold the reset up on
/// a Direct3D 9 that refuses Reset while a state block lives, so there every
/// effect is replaced by its clone (same parameter values, same technique) on
/// each loss. Which D3DX this is, is found out once per device from how a tiny
/// effect holds the device across Begin, End and OnLostDevice. A program
/// learns in its reset function (graphics.h, AddDeviceNotification) whether
/// that reset cloned the effects (WereEffectsCloned); the new effect is then
/// the Shader's lpEffect, and handles must be taken from it again. The demo fills `shader` after
/// InitFramework and empties it with ReleaseShader before ExitFramework; its destructor runs after
/// main and finds nothing left.
///
/// Every operation needs the device: without one it returns E_FAIL and
/// changes nothing. A failing D3DX or device call is shown with
/// ShowMessage(text, "Error") and its HRESULT returned. Main thread only.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

/// One effect and one vertex/pixel shader pair with the byte code the pair
/// was made from. Every member is NULL or owns one reference.
class Shader {
  public:
    Shader();
    ~Shader();
    Shader(const Shader &) = delete;
    Shader &operator=(const Shader &) = delete;

    // The four builds: either entry point, file or text may be NULL (that
    // stage keeps its code from earlier builds), not both. A length of 0 means
    // up to the terminating NUL. On success both device shaders exist for
    // every stage that holds code; a failure is shown and its HRESULT returned.

    /// Compiles HLSL from `file` for the device's best profiles: the vertex
    /// shader from `vsEntry`, the pixel shader from `psEntry` (either NULL).
    HRESULT CompileFromFile(const char *file, const char *vsEntry, const char *psEntry);
    /// CompileFromFile of `length` bytes of HLSL text (0: up to the NUL).
    HRESULT CompileFromCode(const char *text, UINT length, const char *vsEntry,
                            const char *psEntry);
    /// Assembles the vertex shader of `vsFile` and the pixel shader of `psFile`
    /// (either NULL).
    HRESULT AssembleFromFile(const char *vsFile, const char *psFile);
    /// AssembleFromFile of shader-assembly texts (lengths 0: up to the NUL).
    HRESULT AssembleFromCode(const char *vsText, UINT vsLength, const char *psText, UINT psLength);

    /// Makes the device shaders from the held byte code; the device shader
    /// members must be NULL. A failure empties the whole object, the effect
    /// included.
    HRESULT CreateShader();
    /// Drops the two device shaders and keeps the byte code.
    void ReleaseDeviceShaders();
    /// Empties the object; always S_OK.
    HRESULT Release();

    /// Replaces the effect with one made from `file`, created without flags, so
    /// name strings serve as handles. A failure is shown and leaves no effect;
    /// the shader pair is not touched.
    HRESULT CreateEffectFromFile(const char *file);
    /// CreateEffectFromFile of `length` bytes of effect text (0: up to the NUL).
    HRESULT CreateEffectFromCode(const char *text, UINT length);

    /// The effect, or NULL; a new object after a reset that cloned effects.
    ID3DXEffect *lpEffect;
    IDirect3DVertexShader9 *lpVertexShader; ///< the device's vertex shader, or NULL
    ID3DXBuffer *lpVertexShaderCode;        ///< its byte code, or NULL
    IDirect3DPixelShader9 *lpPixelShader;   ///< the device's pixel shader, or NULL
    ID3DXBuffer *lpPixelShaderCode;         ///< its byte code, or NULL

  private:
    friend struct ShaderList;
    Shader *next_; // every Shader in being, for the device-loss handling
    Shader *previous_;
};

/// The global Shader that the free functions below act on.
extern Shader shader;

// ---- The global shader pair -----------------------------------------------

/// shader.CompileFromFile.
HRESULT CompileShaderFromFile(const char *file, const char *vsEntry, const char *psEntry);
/// shader.CompileFromCode.
HRESULT CompileShaderFromCode(const char *text, UINT length, const char *vsEntry,
                              const char *psEntry);
/// shader.AssembleFromFile.
HRESULT AssembleShaderFromFile(const char *vsFile, const char *psFile);
/// shader.AssembleFromCode.
HRESULT AssembleShaderFromCode(const char *vsText, UINT vsLength, const char *psText,
                               UINT psLength);
/// Empties `shader` (shader.Release); call it before ExitFramework.
HRESULT ReleaseShader();
/// Before a device reset: drops the device shaders of `shader` (the byte code
/// stays) and tells its effect; an effect that answers E_NOTIMPL counts as
/// told. On a D3DX that keeps an effect's state block past OnLostDevice the
/// effect is then replaced by its clone. The device-loss handling does this
/// for every Shader itself.
HRESULT ShaderOnLost();
/// After a device reset: makes the device shaders of `shader` again and tells
/// its effect (E_NOTIMPL counts as success). S_OK on an empty `shader`.
HRESULT ShaderOnRestore();
/// TRUE when the last device reset replaced every effect by its clone (see
/// above), so lpEffect members are new and old handles serve no more; FALSE
/// when the effects kept their pointer, or before any reset.
BOOL WereEffectsCloned();

// ---- Effects and constants (the global shader) ----------------------------

/// shader.CreateEffectFromFile.
HRESULT CreateEffectFromFile(const char *file);
/// shader.CreateEffectFromCode.
HRESULT CreateEffectFromCode(const char *text, UINT length);

// The next seven return the effect's result, or E_FAIL while `shader` has no
// effect.

/// Chooses the effect's technique by name.
HRESULT SetTechnique(const char *technique);
/// Begins the technique; `passes` receives its number of passes.
HRESULT BeginEffect(UINT *passes);
/// Begins pass `pass` (0 to passes - 1); draw, then EndPass.
HRESULT BeginPass(UINT pass);
/// Ends the pass.
HRESULT EndPass();
/// Ends the technique.
HRESULT EndEffect();
/// Sets the effect's matrix parameter of that name.
HRESULT SetEffectMatrix(const char *parameter, const D3DXMATRIX *matrix);
/// Sets `bytes` of the effect's parameter of that name.
HRESULT SetEffectValue(const char *parameter, const void *data, UINT bytes);

// The next four need the device and a shader of their stage in `shader`,
// else they return E_FAIL: they never unbind a shader nor set the registers
// of one bound by other means. Counts are of 4-float registers; a matrix
// takes four and is passed transposed.

/// Binds shader.lpVertexShader to the device.
HRESULT ApplyVertexShader();
/// Binds shader.lpPixelShader to the device.
HRESULT ApplyPixelShader();
/// Sets `registers` vertex-shader constant registers from `firstRegister` on.
HRESULT SetVertexShaderConstant(UINT firstRegister, const float *data, UINT registers);
/// Sets `registers` pixel-shader constant registers from `firstRegister` on.
HRESULT SetPixelShaderConstant(UINT firstRegister, const float *data, UINT registers);

// ---- Self-test ------------------------------------------------------------

/// Builds an effect and a shader pair every way a Shader can, with a local
/// Shader, and prints each step's status and what it made; reads "etest.fx",
/// "test.fx", "vs_test.vsh" and "ps_test.psh" from the working directory.
/// Needs the device. Always 0.
HRESULT TestShader();
