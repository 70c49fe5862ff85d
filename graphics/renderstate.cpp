#include "graphics/renderstate.h"

#include "graphics/graphics.h"

#include <cstring>

// Beside var, not in it: InitDirectX leaves the last word alone.
DWORD dwRenderStateFlags;

namespace {

// Render states that take a float expect its bit pattern.
DWORD FloatBits(float value) {
    DWORD bits;
    static_assert(sizeof bits == sizeof value, "a float fills a render-state value");
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void SetBlend(IDirect3DDevice9 *device, D3DBLEND destination) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, destination);
}

void SetFilter(IDirect3DDevice9 *device, D3DTEXTUREFILTERTYPE filter) {
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, filter);
}

HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) {
    if (var.lpD3DDevice == nullptr) {
        return E_FAIL;
    }
    return var.lpD3DDevice->SetTransform(state, matrix);
}

} // namespace

HRESULT SetRenderStateFlags(DWORD flags) {
    dwRenderStateFlags = flags;
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    // NOTE: the order matters where groups overlap: with RSF_BLEND and
    // RSF_ADD the destination factor is one, with RSF_POINT and RSF_LINEAR
    // the filters are linear.
    if (flags & RSF_BLEND) {
        SetBlend(device, D3DBLEND_INVSRCALPHA);
    }
    if (flags & RSF_ADD) {
        SetBlend(device, D3DBLEND_ONE);
    }
    if (flags & RSF_MODULATE) {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    }
    if (flags & RSF_POINT) {
        SetFilter(device, D3DTEXF_POINT);
    }
    if (flags & RSF_LINEAR) {
        SetFilter(device, D3DTEXF_LINEAR);
    }
    const bool zbuffer = (flags & RSF_ZBUFFER) != 0;
    device->SetRenderState(D3DRS_ZWRITEENABLE, zbuffer ? TRUE : FALSE);
    device->SetRenderState(D3DRS_ZENABLE, zbuffer ? D3DZB_TRUE : D3DZB_FALSE);
    device->SetRenderState(D3DRS_CULLMODE, (flags & RSF_CULL) ? D3DCULL_CCW : D3DCULL_NONE);
    device->SetRenderState(D3DRS_FOGENABLE, (flags & RSF_FOG) ? TRUE : FALSE);
    const BOOL lighting = (flags & RSF_LIGHTING) ? TRUE : FALSE;
    device->LightEnable(0, lighting);
    return device->SetRenderState(D3DRS_LIGHTING, lighting);
}

HRESULT ReapplyRenderStateFlags() { return SetRenderStateFlags(dwRenderStateFlags); }

DWORD GetRenderStateFlags() { return dwRenderStateFlags; }

HRESULT SetFog(float start, float end, D3DCOLOR color) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGSTART, FloatBits(start));
    device->SetRenderState(D3DRS_FOGEND, FloatBits(end));
    return device->SetRenderState(D3DRS_FOGCOLOR, color);
}

HRESULT SetProjection(float fovy, float aspect, float zn, float zf) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, fovy, aspect, zn, zf);
    return SetTransform(D3DTS_PROJECTION, &projection);
}

HRESULT SetProjectionMatrix(const D3DXMATRIX *matrix) {
    return SetTransform(D3DTS_PROJECTION, matrix);
}

HRESULT SetView(const D3DXVECTOR3 *eye, const D3DXVECTOR3 *at, const D3DXVECTOR3 *up) {
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, eye, at, up);
    return SetTransform(D3DTS_VIEW, &view);
}

HRESULT SetViewMatrix(const D3DXMATRIX *matrix) { return SetTransform(D3DTS_VIEW, matrix); }

HRESULT SetWorldMatrix(const D3DXMATRIX *matrix) { return SetTransform(D3DTS_WORLD, matrix); }

HRESULT SetDirectionalLight(BOOL enable, D3DCOLOR ambient, float r, float g, float b, float a,
                            const D3DXVECTOR3 *direction) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr) {
        return E_FAIL;
    }
    if (!enable) {
        device->LightEnable(0, FALSE);
        return device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {r, g, b, a};
    D3DXVECTOR3 normal = *direction;
    D3DXVec3Normalize(&normal, &normal);
    light.Direction = normal;
    device->SetLight(0, &light);
    device->SetRenderState(D3DRS_AMBIENT, ambient);
    device->LightEnable(0, TRUE);
    return device->SetRenderState(D3DRS_LIGHTING, TRUE);
}
