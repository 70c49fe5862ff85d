/// \file
/// Render-state presets, fog, transforms and the directional light of the
/// fixed-function pipeline.
///
/// One 32-bit preset word switches groups of render, stage-0 and sampler-0
/// states; the last word given is kept in dwRenderStateFlags (beside `var`,
/// not cleared by InitDirectX) so that a pass can save it, use its own and put
/// it back. The device keeps the states themselves: after a device reset
/// ReapplyRenderStateFlags brings it back in line with the stored word.
/// Without a device every function here returns E_FAIL; the others return the
/// HRESULT of their last device call.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9math.h>

// Bits of the preset word.
// - RSF_BLEND, RSF_ADD, RSF_MODULATE, RSF_POINT and RSF_LINEAR only switch
//   their states on: a word without them leaves blending, stage 0 and
//   sampler 0 as the words before it (or the program) set them. No word
//   switches blending off: after RSF_BLEND or RSF_ADD, call
//   GetDevice()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE) for opaque
//   drawing again.
// - RSF_ZBUFFER, RSF_FOG, RSF_CULL and RSF_LIGHTING set their states either
//   way: on when given, off when not (culling none).
// - No bit touches D3DTSS_COLOROP; the other bits are stored and ignored.
constexpr DWORD RSF_BLEND = 0x0001;    ///< alpha blending: source alpha, inverse source alpha
constexpr DWORD RSF_ADD = 0x0002;      ///< alpha blending: source alpha, one
constexpr DWORD RSF_MODULATE = 0x0010; ///< stage 0: texture times diffuse
constexpr DWORD RSF_POINT = 0x0100;    ///< sampler 0: point filtering
constexpr DWORD RSF_LINEAR = 0x0200;   ///< sampler 0: linear filtering
constexpr DWORD RSF_ZBUFFER = 0x0400;  ///< depth test and depth write
constexpr DWORD RSF_FOG = 0x0800;      ///< fog (SetFog)
constexpr DWORD RSF_CULL = 0x1000;     ///< counter-clockwise culling; none when clear
constexpr DWORD RSF_LIGHTING = 0x2000; ///< light 0 and lighting

/// The preset word last given to SetRenderStateFlags.
extern DWORD dwRenderStateFlags;

/// Stores the word (also without a device) and applies it; returns the result
/// of the last call, SetRenderState(D3DRS_LIGHTING).
HRESULT SetRenderStateFlags(DWORD flags);
/// Applies dwRenderStateFlags to the device again (after a reset).
HRESULT ReapplyRenderStateFlags();
/// dwRenderStateFlags.
DWORD GetRenderStateFlags();

/// Linear table fog between `start` and `end`; RSF_FOG switches it on.
HRESULT SetFog(float start, float end, D3DCOLOR color);

/// Left-handed perspective projection; fovy in radians.
HRESULT SetProjection(float fovy, float aspect, float zn, float zf);
/// Sets the projection transform.
HRESULT SetProjectionMatrix(const D3DXMATRIX *matrix);
/// Left-handed look-at view.
HRESULT SetView(const D3DXVECTOR3 *eye, const D3DXVECTOR3 *at, const D3DXVECTOR3 *up);
/// Sets the view transform.
HRESULT SetViewMatrix(const D3DXMATRIX *matrix);
/// Sets the world transform.
HRESULT SetWorldMatrix(const D3DXMATRIX *matrix);

/// Light 0 as a directional light of colour (r, g, b, a) along `direction`
/// (normalised here), with the given ambient colour, and lighting on; with
/// `enable` 0, light 0 and lighting off and the other arguments unused.
/// dwRenderStateFlags is left as it is.
HRESULT SetDirectionalLight(BOOL enable, D3DCOLOR ambient, float r, float g, float b, float a,
                            const D3DXVECTOR3 *direction);
