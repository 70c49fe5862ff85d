#include "resources/mesh.h"

#include "graphics/graphics.h"
#include "graphics/services.h"

#include <d3dx9tex.h>

#include <new>

namespace {

// Opaque black in a texture becomes transparent black.
constexpr D3DCOLOR kColorKey = 0xFF000000;

IDirect3DTexture9 *LoadSubsetTexture(IDirect3DDevice9 *device, const char *file) {
    IDirect3DTexture9 *texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileExA(
            device, file, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
            D3DX_FILTER_NONE, D3DX_FILTER_NONE, kColorKey, nullptr, nullptr, &texture))) {
        return nullptr;
    }
    return texture;
}

// Copies the materials of the X file and loads their textures into the
// slot, whose arrays are allocated; false when they cannot be.
bool TakeMaterials(MeshSlot *slot, const D3DXMATERIAL *materials) {
    const DWORD count = slot->dwNumMaterials;
    slot->lpMaterial = new (std::nothrow) D3DMATERIAL9[count];
    slot->lpTexture = new (std::nothrow) IDirect3DTexture9 *[count]();
    if (slot->lpMaterial == nullptr || slot->lpTexture == nullptr) {
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        slot->lpMaterial[i] = materials[i].MatD3D;
        // X files carry no ambient colour: the subset takes its diffuse one.
        slot->lpMaterial[i].Ambient = slot->lpMaterial[i].Diffuse;
        slot->lpTexture[i] = nullptr;
        if (materials[i].pTextureFilename != nullptr) {
            slot->lpTexture[i] = LoadSubsetTexture(var.lpD3DDevice, materials[i].pTextureFilename);
        }
    }
    return true;
}

// From ReleaseDirectX: every slot, 0 to 255.
void EmptyAllSlots() {
    for (MeshSlot &slot : var.MeshSlot) {
        EmptyMeshSlot(&slot);
    }
}

} // namespace

HRESULT LoadMesh(DWORD slot, const char *name) {
    SetDeviceService(SERVICE_MESHES, {nullptr, nullptr, EmptyAllSlots});
    if (slot >= MESH_SLOT_COUNT) {
        return E_FAIL;
    }
    MeshSlot *mesh = &var.MeshSlot[slot];
    EmptyMeshSlot(mesh);
    if (name == nullptr || var.lpD3DDevice == nullptr) {
        return 0;
    }
    ID3DXBuffer *materials = nullptr;
    bool loaded =
        SUCCEEDED(D3DXLoadMeshFromXA(name, D3DXMESH_MANAGED, var.lpD3DDevice, nullptr, &materials,
                                     nullptr, &mesh->dwNumMaterials, &mesh->lpMesh)) &&
        mesh->dwNumMaterials != 0 && materials != nullptr;
    if (loaded) {
        loaded =
            TakeMaterials(mesh, static_cast<const D3DXMATERIAL *>(materials->GetBufferPointer()));
    }
    if (materials != nullptr) {
        materials->Release();
    }
    if (!loaded) {
        // NOTE: a mesh without materials or whose arrays could not be had
        // must not stay behind, nor half of its arrays.
        EmptyMeshSlot(mesh);
        return E_FAIL;
    }
    return 0;
}

HRESULT ReleaseMesh(DWORD slot) {
    if (slot >= MESH_SLOT_COUNT) {
        return E_FAIL;
    }
    return EmptyMeshSlot(&var.MeshSlot[slot]);
}

HRESULT DrawMesh(DWORD slot) {
    IDirect3DDevice9 *device = var.lpD3DDevice;
    if (device == nullptr || slot >= MESH_SLOT_COUNT || var.MeshSlot[slot].lpMesh == nullptr) {
        return E_FAIL;
    }
    const MeshSlot &mesh = var.MeshSlot[slot];
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    HRESULT hr = E_FAIL;
    for (DWORD i = 0; i < mesh.dwNumMaterials; ++i) {
        device->SetMaterial(&mesh.lpMaterial[i]);
        device->SetTexture(0, mesh.lpTexture[i]);
        hr = mesh.lpMesh->DrawSubset(i);
    }
    return hr;
}

HRESULT EmptyMeshSlot(MeshSlot *slot) {
    if (slot->lpTexture != nullptr) {
        for (DWORD i = 0; i < slot->dwNumMaterials; ++i) {
            if (slot->lpTexture[i] != nullptr) {
                slot->lpTexture[i]->Release();
            }
        }
        delete[] slot->lpTexture;
    }
    delete[] slot->lpMaterial;
    if (slot->lpMesh != nullptr) {
        slot->lpMesh->Release();
    }
    *slot = {};
    return 0;
}
