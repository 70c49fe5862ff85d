/// \file
/// Graphics device: the one graphics record `var`, the Direct3D 9 device on
/// the default adapter, the default-pool render targets and the frame cycle.
///
/// InitFramework calls InitDirectX once the window exists: it zeroes `var`,
/// creates the Direct3D object and the device (4-sample multisampling with
/// hardware vertex processing if the adapter can, else the fallbacks) and the
/// render targets. ExitFramework calls ReleaseDirectX, which releases whatever
/// `var` holds and may run in any state, before InitDirectX and twice
/// included. Every interface pointer in `var` owns one reference.
///
/// A frame is ClearAndBeginScene, the caller's drawing, EndScene, Flip. In
/// direct mode (the state after start-up) the frame is drawn into the back
/// buffer. In flip mode it is drawn into one of two flip textures, chosen by
/// bit 0 of dwFlipCount: Clear lays the previous frame over the cleared target
/// with the afterimage colour, and Flip copies the frame to the back buffer
/// before presenting.
///
/// Graphics is single-threaded: all of it runs on the thread that owns the
/// window, and `var` has no lock. A function that needs the device returns
/// E_FAIL without a message while there is none; a failing Direct3D call is
/// shown with ShowMessage(text, "Error") and its HRESULT returned.
///
/// Device loss and mode changes: before a reset the device's default-pool
/// objects must all be released, and after it they are made again. fw does so
/// for its own (render targets, fonts and their sprite, every Shader and its
/// effect); a program that makes default-pool objects of its own (render
/// targets, dynamic vertex buffers, its own D3DX fonts, sprites or effects)
/// registers a lost and a reset function with AddDeviceNotification. After a
/// reset fw puts the stored preset word (renderstate.h) on the device again;
/// transforms, fog parameters, lights, materials, shader constants and
/// texture bindings that the program set itself are the program's to set
/// again in its reset function.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9core.h>
#include <d3dx9mesh.h>

/// A mesh slot (resources/mesh.h): a mesh and its materials and textures.
struct MeshSlot {
    ID3DXMesh *lpMesh;             ///< NULL: the slot is empty (and all zero)
    D3DMATERIAL9 *lpMaterial;      ///< one per subset, ambient set to the diffuse colour
    IDirect3DTexture9 **lpTexture; ///< one per subset; NULL where there is none
    DWORD dwNumMaterials;          ///< also the number of subsets drawn
};

/// A texture-cache entry (resources/texture.h): a cached texture with its key
/// and count.
struct TextureEntry {
    DWORD dwCrc;                  ///< Crc32 of the name, without its NUL
    IDirect3DTexture9 *lpTexture; ///< NULL: the entry is free (and all zero)
    INT nRefCount;                ///< LoadTexture calls not yet released
};

/// The graphics record: every Direct3D object of the framework and its settings.
struct DirectXVar {
    IDirect3D9 *lpD3D;             ///< the Direct3D object
    IDirect3DDevice9 *lpD3DDevice; ///< the device; NULL while there is none
    /// Used by CreateDevice and by Reset; also sizes every render-target texture.
    D3DPRESENT_PARAMETERS d3dpp;
    D3DADAPTER_IDENTIFIER9 AdapterIdentifier; ///< the default adapter's identity
    /// The adapter's mode at start-up; its format is the back-buffer format.
    D3DDISPLAYMODE DisplayMode;
    IDirect3DSurface9 *lpBackSurface;    ///< render target 0 as the device came up
    IDirect3DSurface9 *lpBackZBuffer;    ///< the device's automatic depth buffer
    BOOL bFlip;                          ///< flip mode (EnableFlip); 0 is direct mode
    IDirect3DTexture9 *lpFlipTexture[2]; ///< the two flip buffers
    IDirect3DSurface9 *lpFlipSurface[2]; ///< level 0 of lpFlipTexture
    IDirect3DSurface9 *lpFlipZBuffer[2]; ///< a depth buffer for each flip buffer
    DWORD dwFlipCount; ///< bit 0 is the flip buffer of the frame in progress; wraps freely
    IDirect3DTexture9 *lpEffectTexture; ///< target of the blur pass
    IDirect3DSurface9 *lpEffectSurface; ///< level 0 of lpEffectTexture
    D3DCOLOR dwAfterimageColor;         ///< 0 after start-up: no afterimage
    ID3DXFont *lpFont[32];              ///< font slots (resources/font.h); NULL is free
    ID3DXSprite *lpFontSprite;          ///< shared by every font
    MeshSlot MeshSlot[256];             ///< resources/mesh.h
    TextureEntry TextureCache[256];     ///< resources/texture.h
};

/// The one graphics record.
extern DirectXVar var;

// ---- Device creation ------------------------------------------------------

/// Zeroes `var` and creates the Direct3D object, the device and the render
/// targets; 0 on success. Releases nothing on failure: ReleaseDirectX does.
HRESULT InitDirectX();
/// Fills var.d3dpp and creates var.lpD3DDevice, trying in turn 4 samples with
/// hardware vertex processing, non-maskable multisampling with hardware vertex
/// processing, and non-maskable multisampling with software vertex processing.
HRESULT CreateDirectXDevice();
/// NULL before InitDirectX and after ReleaseDirectX.
IDirect3DDevice9 *GetDevice();
/// The adapter's driver name ("" before InitDirectX).
const char *GetAdapterDriver();
/// The adapter's description ("" before InitDirectX).
const char *GetAdapterDescription();

// ---- Render targets and frame cycle ---------------------------------------

/// Takes the back buffer and its depth buffer from the device and creates the
/// effect target and the two flip buffers (cleared to transparent black, depth
/// 1.0); ends with the back buffer as the target, cleared.
HRESULT CreateResource();
/// Starts a frame without leaving a scene open. Flip mode: advances
/// dwFlipCount, targets the new flip buffer, clears it and lays the previous
/// frame over it. Direct mode: clears the back buffer, or with `fade` blends
/// `color` over the old contents instead (only the depth buffer is cleared).
/// Leaves dwRenderStateFlags at 0x211 and stage 0 empty when it draws.
HRESULT Clear(D3DCOLOR color, BOOL fade);
/// Clear (its result ignored), then BeginScene's result.
HRESULT ClearAndBeginScene(D3DCOLOR color, BOOL fade);
/// Ends the frame: in flip mode copies the flip buffer to the back buffer,
/// modulated by `color`, then presents. A failed Present goes to
/// HandlePresentParam and its result is returned.
HRESULT Flip(D3DCOLOR color);
/// The device's BeginScene; E_FAIL without a device.
HRESULT BeginScene();
/// The device's EndScene; E_FAIL without a device.
HRESULT EndScene();
/// Flip mode starts with the next Clear.
HRESULT EnableFlip();
/// Targets the back buffer at once.
HRESULT DisableFlip();
/// The colour that modulates the previous frame laid under each new one in
/// flip mode; 0 (the start) leaves no afterimage. Always 0.
HRESULT SetAfterimageColor(D3DCOLOR color);
/// The flip buffer of the frame in progress (NULL without render targets).
IDirect3DTexture9 *GetFlipTexture();
/// Level 0 of GetFlipTexture() (NULL without render targets).
IDirect3DSurface9 *GetFlipSurface();
/// Targets the current flip buffer; the device's result, after a message on
/// failure. E_FAIL without a device.
HRESULT SetFlipRenderTarget();
/// Makes the current flip buffer's depth buffer the device's; as above.
HRESULT SetFlipDepthStencil();
/// Targets the back buffer and its depth buffer; as above.
HRESULT SetBackBufferTarget();

// ---- Blur -------------------------------------------------------------------

/// Inside the scene, after the frame has been drawn into the current flip
/// buffer: reduces the frame to half size in the effect target and adds it
/// back over the whole frame, enlarged with bilinear filtering and modulated
/// by `color` (its alpha scales the glow). Leaves the flip buffer as the
/// target, the effect texture on stage 0 and the preset word restored, whose
/// result it returns. E_FAIL without device or flip buffers. A failed texture
/// binding ends the program (message, then the quit message).
HRESULT DrawEffectGaussianBlur(D3DCOLOR color);

// ---- Release and device loss ----------------------------------------------

/// Releases the render targets of CreateResource; 0.
HRESULT ReleaseResource();
/// Releases every graphics object in `var`: the mesh slots, the font sprite
/// and the fonts (through the services that own them), the cached textures, the render targets,
/// then the device and the Direct3D object last; 0. Leaves d3dpp, AdapterIdentifier and DisplayMode
/// as they are.
HRESULT ReleaseDirectX();
/// Before a reset: runs the program's lost functions (newest first), tells
/// the shaders, the effects, the fonts and the sprite, and releases the render
/// targets. 0, or a negative HRESULT when a step fails (the reset then calls it
/// again, up to 31 times in all). Meshes and cached textures are in the
/// managed pool and stay.
HRESULT OnLost();
/// After a reset: makes the render targets again, tells the fonts, the
/// sprite, the shaders and the effects, puts the stored preset word on the
/// device and runs the program's reset functions (oldest first). 0, or the
/// first failing result (of CreateResource, the shaders or a reset function).
HRESULT OnRestore();
/// Takes a failed Present's result (bRetried FALSE from Flip). While the
/// device is lost it pauses 250 ms and fails the frame; once the device can be
/// reset it resets it between OnLost and OnRestore, with the unchanged d3dpp or
/// to a mode ChangeDisplayMode asked for meanwhile, and returns 0. A Reset
/// that answers D3DERR_DEVICELOST (lost again) is waited out the same way:
/// until a later reset succeeds, Clear, BeginScene and EndScene fail without a
/// message and Flip presents nothing. What cannot be recovered from ends the
/// program: a message, then the quit message, and a failing HRESULT.
HRESULT HandlePresentParam(HRESULT hr, BOOL bRetried);

// ---- Notifications for programs ---------------------------------------------

/// A program's function run before a reset (release its default-pool objects
/// here) or after it (make them again, set its own states again); `context`
/// is the pointer given at registration. A failing lost function fails OnLost,
/// which is tried again: a lost function may run up to 31 times before one
/// reset (and those before it in the pass as often).
typedef HRESULT (*DeviceNotification)(void *context);

/// Registers a lost and a reset function (either may be NULL) with `context`.
/// On a loss the program's lost functions run newest registration first,
/// before fw releases its own objects; after a successful Reset and fw's own
/// restore the reset functions run oldest first. A failing reset function ends
/// the program as a failed restore does ("HandlePresentParam : Failed :
/// OnRestore\n", then the quit message). Registering or removing inside a
/// notification is safe: a pair added then first runs at the next reset, a
/// pair removed runs no more. S_OK; E_FAIL when all 256 places are taken or
/// both functions are NULL. The same pair may be registered more than once.
HRESULT AddDeviceNotification(DeviceNotification lost, DeviceNotification reset, void *context);
/// Removes the newest registration of exactly this pair and context; S_OK, or
/// E_FAIL when there is none.
HRESULT RemoveDeviceNotification(DeviceNotification lost, DeviceNotification reset, void *context);

// ---- Display mode -------------------------------------------------------------

/// Switches to a back buffer of `width` x `height`, windowed (1) or full
/// screen (0), through the loss path: lost notifications, release, Reset with
/// the new parameters, restore (flip chain, blur and effect targets at the new
/// size), reset notifications; GetWidth and GetHeight follow. Full screen
/// makes the window a popup and needs a mode the display offers; back in a
/// window, the window has its frame, its last windowed place (centred the
/// first time) and a client area of the new size. A mode the device refuses
/// leaves the old one working, shown as "ChangeDisplayMode : Failed : Reset\n",
/// and returns Reset's HRESULT; a failure to restore either ends the program
/// as a failed reset does. On a lost device it shows nothing and returns
/// D3DERR_DEVICELOST: the switch is kept and made by the reset that brings
/// the device back (a later call replaces it). E_FAIL without a device or for
/// a size of 0. Call it between frames, outside a scene.
HRESULT ChangeDisplayMode(int width, int height, int windowed);
/// TRUE: Present waits for the display's refresh (the default, presentation
/// interval D3DPRESENT_INTERVAL_DEFAULT). FALSE: frames are presented at once
/// (D3DPRESENT_INTERVAL_IMMEDIATE). Before InitFramework the device is created
/// with it; after, the device is reset as by ChangeDisplayMode (same size and
/// mode), with its results. S_OK when nothing changes.
HRESULT SetVerticalSync(BOOL on);

/// Also declared with the window's calls (app/window.h), where they belong:
/// Alt+Enter's switch on or off (off by default).
void SetAltEnterToggles(BOOL toggles);
/// Switches between windowed and full screen at once; ChangeDisplayMode's
/// result.
HRESULT ToggleDisplayMode();
