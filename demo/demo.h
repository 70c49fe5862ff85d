// The demo scene: a flag on the ground plane and four coloured boxes circling
// it, lit by one directional light, drawn either through the shader pair of
// the global `shader` (values in fixed constant registers) or through its
// effect's technique "test_effect" (values in parameters by name).
//
// main loads mesh slot 0 (the flag), slot 1 (the box), the effect and the
// shader pair, then calls UpdateDemo and DrawDemo once per pass of the frame
// loop. Everything advances by a fixed step per frame. Nothing here shows a
// message: what failed to load is simply not drawn.
#pragma once

#include <windows.h>
#include <d3dx9.h>

// The flag's displacement per frame over the ground plane.
struct DemoVelocity {
    float x;
    float z;
};

// Demo state: zero at program start.
extern float angle;          // the scene's turn in radians, +0.01 per frame
extern D3DXVECTOR3 position; // the flag's position; y stays 0
extern DemoVelocity velocity;
extern int EffectMode;   // 0: shader path; non-zero: effect path
extern float shaderTime; // +0.05 per frame, the shaders' "time"
extern D3DXMATRIX mProj; // rebuilt by DrawDemo every frame
extern D3DXMATRIX mView; // rebuilt by DrawDemo every frame

// Loads the flag "hata.x" into mesh slot 0, the box "hako.x" into slot 1, and
// the effect and the shader pair from "etest2.fx". Whatever fails to load is
// shown by its own operation, or not at all, and the scene draws without it.
void LoadDemo();
// Turns the scene, moves the flag under the direction buttons and switches
// the path: BUTTON_0 to the effect, BUTTON_1 (applied last, so it wins) back.
void UpdateDemo();
// Clears, draws the flag and the boxes, ends the scene and flips; without
// EndScene, but still flipping, when the scene could not begin. The result is
// Flip's.
HRESULT DrawDemo();

// Each sends four floats to the effect parameter or the register of its value
// and returns that setter's status.
HRESULT SetColorDiffuse(const float *color); // "ColorDiffuse" or vertex c0
HRESULT SetColorAmbient(const float *color); // "ColorAmbient" or pixel c1
HRESULT SetLightDir(const float *dir);       // "LightDir" or vertex c2
HRESULT SetLightColor(const float *color);   // "LightColor" or vertex c3
// (t, t, t, t) to "time" or vertex c32.
void SetTime(float t);
// world x view x projection to "mWorldViewProj" or c16 to c19, and the world
// to "mWorld" or c20 to c23; transposed for the registers only.
void SetWorld(const D3DXMATRIX *world);
// The ambient ARGB value as four floats, the direction as (x, y, z, 0) and the
// light colour as given.
void SetLight(D3DCOLOR ambient, D3DXVECTOR4 color, const D3DXVECTOR3 *dir);
// Draws mesh slot `slot` through the current path.
void DrawModel(DWORD slot);
