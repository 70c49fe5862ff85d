#include "demo.h"

#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/input/buttons.h>
#include <fw/resources/mesh.h>
#include <fw/shader/shader.h>

namespace {

constexpr float kTurnPerFrame = 0.01f;
constexpr float kTimePerFrame = 0.05f;
constexpr float kPush = 0.1f;
constexpr float kDrag = 0.9f;

constexpr D3DCOLOR kShaderBackground = 0xFFFFFF8F;
constexpr D3DCOLOR kEffectBackground = 0xFF8F8FFF;
constexpr D3DCOLOR kFlipColor = 0xFFFFFFFF;

constexpr float kFieldOfView = 0.5235988f; // pi / 6
constexpr float kNearPlane = 0.5f;
constexpr float kFarPlane = 1000.0f;
const D3DXVECTOR3 kEye(0.0f, 7.0f, -15.0f);
const D3DXVECTOR3 kTarget(0.0f, 0.0f, 0.0f);
const D3DXVECTOR3 kUp(0.0f, 1.0f, 0.0f);

constexpr D3DCOLOR kAmbient = 0x11111111;
const D3DXVECTOR4 kLightColor(0.5f, 0.5f, 0.5f, 0.5f);
const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};

// The flag turns about its own centre; the boxes turn ten times faster the
// other way about theirs.
const D3DXVECTOR3 kFlagAxis(0.0f, 0.5f, 0.0f);
const D3DXVECTOR3 kBoxAxis(0.0f, -0.5f, 0.0f);
constexpr float kBoxTurn = 10.0f;

constexpr DWORD kFlagSlot = 0;
constexpr DWORD kBoxSlot = 1;

constexpr float kDim = 0.2509804f; // 64 / 255

struct Box {
    float color[4];
    D3DXVECTOR3 offset;
};

const Box kBoxes[] = {
    {{kDim, 1.0f, 1.0f, 1.0f}, D3DXVECTOR3(3.0f, 0.0f, 0.0f)},
    {{kDim, 1.0f, kDim, 1.0f}, D3DXVECTOR3(-3.0f, 0.0f, 0.0f)},
    {{1.0f, 1.0f, kDim, 1.0f}, D3DXVECTOR3(0.0f, 0.0f, 3.0f)},
    {{kDim, kDim, 1.0f, 1.0f}, D3DXVECTOR3(0.0f, 0.0f, -3.0f)},
};

constexpr char kTechnique[] = "test_effect";

// Vertex-shader registers; the ambient colour is the pixel shader's only one.
constexpr UINT kColorDiffuseRegister = 0;
constexpr UINT kColorAmbientRegister = 1;
constexpr UINT kLightDirRegister = 2;
constexpr UINT kLightColorRegister = 3;
constexpr UINT kWorldViewProjRegister = 16;
constexpr UINT kWorldRegister = 20;
constexpr UINT kTimeRegister = 32;
constexpr UINT kMatrixRegisters = 4;

constexpr UINT kVectorBytes = 4 * sizeof(float);

// One four-float value to its effect parameter or vertex-shader register.
HRESULT SetVertexValue(const char *parameter, UINT reg, const float *value) {
    if (EffectMode) {
        return SetEffectValue(parameter, value, kVectorBytes);
    }
    return SetVertexShaderConstant(reg, value, 1);
}

} // namespace

float angle;
D3DXVECTOR3 position;
DemoVelocity velocity;
int EffectMode;
float shaderTime;
D3DXMATRIX mProj;
D3DXMATRIX mView;

void LoadDemo() {
    LoadMesh(kFlagSlot, "hata.x");
    LoadMesh(kBoxSlot, "hako.x");
    CreateEffectFromFile("etest2.fx");
    CompileShaderFromFile("etest2.fx", "basic_vs_flag", "basic_ps");
}

void UpdateDemo() {
    angle += kTurnPerFrame;
    position.x += velocity.x;
    position.z += velocity.z;
    velocity.x *= kDrag;
    velocity.z *= kDrag;

    const DWORD buttons = GetButtons();
    if (buttons & BUTTON_UP) {
        velocity.z += kPush;
    }
    if (buttons & BUTTON_DOWN) {
        velocity.z -= kPush;
    }
    if (buttons & BUTTON_LEFT) {
        velocity.x -= kPush;
    }
    if (buttons & BUTTON_RIGHT) {
        velocity.x += kPush;
    }
    if (buttons & BUTTON_0) {
        EffectMode = 1;
    }
    if (buttons & BUTTON_1) {
        EffectMode = 0;
    }
}

HRESULT DrawDemo() {
    const D3DCOLOR background = EffectMode ? kEffectBackground : kShaderBackground;
    if (ClearAndBeginScene(background, FALSE) == 0) {
        const double aspect = static_cast<double>(static_cast<unsigned>(GetWidth())) /
                              static_cast<unsigned>(GetHeight());
        D3DXMatrixPerspectiveFovLH(&mProj, kFieldOfView, static_cast<float>(aspect), kNearPlane,
                                   kFarPlane);
        D3DXMatrixLookAtLH(&mView, &kEye, &kTarget, &kUp);

        const D3DXVECTOR3 lightDir = -kEye;
        SetLight(kAmbient, kLightColor, &lightDir);
        shaderTime += kTimePerFrame;
        SetTime(shaderTime);
        SetColorDiffuse(kWhite);

        D3DXMATRIX turn;
        D3DXMATRIX place;
        D3DXMATRIX flag;
        D3DXMatrixRotationAxis(&turn, &kFlagAxis, angle);
        D3DXMatrixTranslation(&place, position.x, position.y, position.z);
        D3DXMatrixMultiply(&flag, &turn, &place);
        SetWorld(&flag);
        DrawModel(kFlagSlot);

        D3DXMATRIX spin;
        D3DXMatrixRotationAxis(&spin, &kBoxAxis, kBoxTurn * angle);
        for (const Box &box : kBoxes) {
            SetColorDiffuse(box.color);
            D3DXMATRIX offset;
            D3DXMatrixTranslation(&offset, box.offset.x, box.offset.y, box.offset.z);
            D3DXMatrixRotationAxis(&turn, &kFlagAxis, angle);
            // The box circles the flag: R0 once here and once more within
            // the flag's matrix.
            D3DXMATRIX world;
            D3DXMatrixMultiply(&world, &spin, &offset);
            D3DXMatrixMultiply(&world, &world, &turn);
            D3DXMatrixMultiply(&world, &world, &flag);
            SetWorld(&world);
            DrawModel(kBoxSlot);
        }
        EndScene();
    }
    return Flip(kFlipColor);
}

HRESULT SetColorDiffuse(const float *color) {
    return SetVertexValue("ColorDiffuse", kColorDiffuseRegister, color);
}

HRESULT SetColorAmbient(const float *color) {
    if (EffectMode) {
        return SetEffectValue("ColorAmbient", color, kVectorBytes);
    }
    return SetPixelShaderConstant(kColorAmbientRegister, color, 1);
}

HRESULT SetLightDir(const float *dir) { return SetVertexValue("LightDir", kLightDirRegister, dir); }

HRESULT SetLightColor(const float *color) {
    return SetVertexValue("LightColor", kLightColorRegister, color);
}

void SetTime(float t) {
    const float time[4] = {t, t, t, t};
    SetVertexValue("time", kTimeRegister, time);
}

void SetWorld(const D3DXMATRIX *world) {
    D3DXMATRIX worldView;
    D3DXMATRIX worldViewProj;
    D3DXMatrixMultiply(&worldView, world, &mView);
    D3DXMatrixMultiply(&worldViewProj, &worldView, &mProj);
    if (EffectMode) {
        SetEffectMatrix("mWorldViewProj", &worldViewProj);
        SetEffectMatrix("mWorld", world);
        return;
    }
    D3DXMATRIX transposed;
    D3DXMatrixTranspose(&transposed, &worldViewProj);
    SetVertexShaderConstant(kWorldViewProjRegister, transposed, kMatrixRegisters);
    D3DXMatrixTranspose(&transposed, world);
    SetVertexShaderConstant(kWorldRegister, transposed, kMatrixRegisters);
}

void SetLight(D3DCOLOR ambient, D3DXVECTOR4 color, const D3DXVECTOR3 *dir) {
    constexpr float kByte = 1.0f / 255.0f;
    const float ambientColor[4] = {
        static_cast<float>((ambient >> 16) & 0xFF) * kByte,
        static_cast<float>((ambient >> 8) & 0xFF) * kByte,
        static_cast<float>(ambient & 0xFF) * kByte,
        static_cast<float>((ambient >> 24) & 0xFF) * kByte,
    };
    const float direction[4] = {dir->x, dir->y, dir->z, 0.0f};
    SetColorAmbient(ambientColor);
    SetLightDir(direction);
    SetLightColor(color);
}

void DrawModel(DWORD slot) {
    if (!EffectMode) {
        ApplyVertexShader();
        ApplyPixelShader();
        DrawMesh(slot);
        return;
    }
    if (SetTechnique(kTechnique) != 0) {
        return;
    }
    UINT passes = 0;
    if (BeginEffect(&passes) == 0) {
        for (UINT pass = 0; pass < passes; ++pass) {
            if (BeginPass(pass) == 0) {
                DrawMesh(slot);
                EndPass();
            }
        }
    }
    EndEffect();
}
