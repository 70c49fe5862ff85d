// Fake Direct3D 9: Direct3DCreate9 and the Direct3D object, device, texture
// and surface interfaces, as pure fakes that need no display.
//
// Every call is recorded in the shared log under its interface and method,
// with its arguments: numbers in decimal, flags, colours and render-state
// values in hex, floats with %g, objects by label ("NULL" for none):
//   "Direct3DCreate9(32)"
//   "IDirect3D9::GetAdapterIdentifier(0, 0x0)", "IDirect3D9::GetAdapterDisplayMode(0)",
//   "IDirect3D9::CreateDevice(0, 1, 0x1000, 0x40)" (presentation parameters: CreateDeviceCalls())
//   "IDirect3DDevice9::GetRenderTarget(0)", "IDirect3DDevice9::GetDepthStencilSurface",
//   "IDirect3DDevice9::CreateTexture(800, 600, 1, 0x1, 22, 0)" (usage, format, pool),
//   "IDirect3DDevice9::CreateDepthStencilSurface(800, 600, 80, 0, 0, 0)"
//       (format, multisample type and quality, discard),
//   "IDirect3DDevice9::SetRenderTarget(0, texture2.level0)",
//   "IDirect3DDevice9::SetDepthStencilSurface(depth1)", "IDirect3DDevice9::SetTexture(0, NULL)",
//   "IDirect3DDevice9::Clear(0, NULL, 0x3, 0xff000000, 1, 0)", "IDirect3DDevice9::BeginScene",
//   "IDirect3DDevice9::EndScene", "IDirect3DDevice9::Present(NULL, NULL, NULL, NULL)",
//   "IDirect3DDevice9::SetRenderState(27, 0x1)", "IDirect3DDevice9::SetTextureStageState(0, 4,
//   0x4)", "IDirect3DDevice9::SetSamplerState(0, 5, 0x2)", "IDirect3DDevice9::LightEnable(0, 1)",
//   "IDirect3DDevice9::SetLight(0)", "IDirect3DDevice9::SetTransform(3)",
//   "IDirect3DDevice9::SetFVF(0x144)", "IDirect3DDevice9::DrawPrimitiveUP(4, 2, 28)",
//   "IDirect3DTexture9::GetSurfaceLevel(texture1, 0)",
//   "IDirect3DSurface9::GetDesc(texture1.level0)", "IDirect3DSurface9::Release(backbuffer1)",
//   "IDirect3DDevice9::Release(device1)", "IDirect3D9::Release(d3d9)".
// Methods that nothing here models are recorded by name alone
// ("IDirect3DDevice9::EvictManagedResources") and answer D3D_OK, or
// E_NOTIMPL where they would have to fill in a result. AddRef is not recorded.
//
// Labels: "d3d9"; "device1"; its back buffer "backbuffer1" and automatic depth
// buffer "autodepth1"; "texture1", whose levels are "texture1.level0", ...;
// "depth1" from CreateDepthStencilSurface; "surface1" from CreateRenderTarget
// and CreateOffscreenPlainSurface. Numbers count per kind from 1.
//
// The default caps report a MaxPrimitiveCount of 0xFFFFF.
//
// Scripts: fake::Fail and FailAlways with any method's log name
// ("IDirect3DDevice9::CreateTexture") make it return that result; a creating
// call then creates nothing. A scripted "Direct3DCreate9" returns NULL.
//
// Objects are reference counted as in Direct3D 9: every resource holds a
// reference to its device and the device one to the Direct3D object; the
// surfaces of a texture share the texture's count, and the back buffer and
// the automatic depth buffer share the device's. Binding an object (render
// target, depth buffer, texture stage) keeps it in being without counting
// as a reference. A reference that is never released leaves objects alive,
// which fails the test in fake::Test's TearDown.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fake {

// What the fake adapter answers; a test changes it before InitDirectX.
struct AdapterSetup {
    D3DADAPTER_IDENTIFIER9
    identifier;                 // Driver "fake_d3d9.dll", Description "Fake Direct3D 9 Adapter"
    D3DDISPLAYMODE displayMode; // 1024 x 768, 60 Hz, D3DFMT_X8R8G8B8
    D3DCAPS9 caps;              // HAL, vs_3_0 and ps_3_0, the rest zero
    // false: CreateDevice refuses D3DMULTISAMPLE_4_SAMPLES with D3DERR_NOTAVAILABLE.
    bool fourSamples;
    // false: CreateDevice refuses D3DCREATE_HARDWARE_VERTEXPROCESSING with D3DERR_NOTAVAILABLE.
    bool hardwareVertexProcessing;
    // What the levels of render-target textures report in their description.
    D3DMULTISAMPLE_TYPE textureMultiSample; // D3DMULTISAMPLE_NONE
    DWORD textureMultiSampleQuality;        // 0
};
AdapterSetup &Adapter();

// Back to the default adapter, no device calls seen, labels from 1 again.
void ResetDirect3D();

struct CreateDeviceCall {
    UINT adapter;
    D3DDEVTYPE deviceType;
    HWND focusWindow;
    DWORD behavior;
    D3DPRESENT_PARAMETERS params; // as given, before the call
    HRESULT result;
};
// Every IDirect3D9::CreateDevice so far, in order.
const std::vector<CreateDeviceCall> &CreateDeviceCalls();

// One DrawPrimitiveUP, with a copy of its vertices, or one
// DrawIndexedPrimitiveUP, with a copy of the vertices its indices pick.
struct Draw {
    D3DPRIMITIVETYPE type;
    UINT primitives;
    UINT stride;
    DWORD fvf;            // the vertex format set at the time
    std::string texture0; // label of stage 0's texture
    std::string target;   // label of render target 0
    std::vector<unsigned char> data;

    template <class Vertex> std::vector<Vertex> Vertices() const {
        std::vector<Vertex> vertices(data.size() / sizeof(Vertex));
        if (!vertices.empty()) {
            std::memcpy(vertices.data(), data.data(), vertices.size() * sizeof(Vertex));
        }
        return vertices;
    }
};

// The states set on the device created last (kept after its release).
// Pointers are for comparison only: the object may be gone.
struct DeviceState {
    std::map<DWORD, DWORD> renderStates;                    // by D3DRENDERSTATETYPE
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;   // by (stage, type)
    std::map<std::pair<DWORD, DWORD>, DWORD> samplerStates; // by (sampler, type)
    std::map<DWORD, D3DMATRIX> transforms;                  // by D3DTRANSFORMSTATETYPE
    std::map<DWORD, D3DLIGHT9> lights;
    std::map<DWORD, BOOL> lightEnabled;
    DWORD fvf = 0;
    IDirect3DSurface9 *renderTarget = nullptr; // target 0
    IDirect3DSurface9 *depthStencil = nullptr;
    std::map<DWORD, IDirect3DBaseTexture9 *> textures; // by stage
    int sceneDepth = 0;                                // BeginScene minus EndScene
    std::vector<Draw> draws;
    std::vector<D3DMATERIAL9> materials;       // every SetMaterial, in order
    std::vector<D3DPRESENT_PARAMETERS> resets; // every Reset, in order
    // Shaders bound (the binding keeps no reference) and the float constant
    // registers set, by register.
    const void *vertexShader = nullptr;
    const void *pixelShader = nullptr;
    std::map<UINT, std::array<float, 4>> vertexConstants;
    std::map<UINT, std::array<float, 4>> pixelConstants;
};
const DeviceState &Device();

// Default-pool textures and stand-alone surfaces alive. Reset refuses with
// D3DERR_INVALIDCALL while there are any, or while a reference to the back
// buffer or the automatic depth buffer is held (it unbinds everything first).
int DefaultPoolAlive();

// "NULL", the object's label, or "?" for an object that is not this fake's.
std::string Label(const void *object);

} // namespace fake
