/// \file
/// Mesh slots: X-file meshes in 256 numbered slots of var.MeshSlot
/// (graphics.h), each with one material and one texture per subset.
///
/// LoadMesh fills a slot from an X file, DrawMesh draws it subset by subset
/// with the transforms, shaders or effect pass the caller has set, ReleaseMesh
/// empties it; ReleaseDirectX empties every slot. Meshes and their textures
/// are in the managed pool and survive a device reset. A slot owns its
/// textures outright: they do not go through the texture cache. Texture names
/// in the X file resolve against the working directory, not the file's folder.
/// Nothing here shows a message.
#pragma once

#include <windows.h>
#include "../graphics/graphics.h"

#include <d3dx9mesh.h>

/// The number of mesh slots.
constexpr DWORD MESH_SLOT_COUNT = 256;

/// Empties the slot, then loads `name` into it. A NULL name or no device leave
/// the slot empty and succeed; a file that cannot be loaded or has no materials
/// fails (E_FAIL) and leaves the slot empty. A texture that cannot be loaded
/// leaves its subset untextured.
HRESULT LoadMesh(DWORD slot, const char *name);
/// Empties the slot; E_FAIL for a slot number above 255.
HRESULT ReleaseMesh(DWORD slot);
/// Turns depth test and depth write on and draws every subset with its
/// material and texture; the last DrawSubset's result. E_FAIL without device,
/// for an empty slot or a slot number above 255, with nothing changed.
HRESULT DrawMesh(DWORD slot);
/// Releases what the slot holds and zeroes it; 0.
HRESULT EmptyMeshSlot(MeshSlot *slot);
