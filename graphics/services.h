// The framework's own services above the graphics device (meshes, fonts,
// shaders) take part in device loss, reset and release through these slots,
// so that the device layer calls up into them without knowing them. Each
// service sets its slot when it first holds something of the device.
// Internal to the framework.
#pragma once

#include <windows.h>

// The services in the order of the restore and the release; a loss tells
// them in the reverse order.
enum DeviceService {
    SERVICE_MESHES,
    SERVICE_FONTS,
    SERVICE_SHADERS,
    SERVICE_TARGETS,
    SERVICE_COUNT
};

struct DeviceServiceCalls {
    HRESULT (*lost)();  // before the render targets go; a failure fails OnLost
    HRESULT (*reset)(); // after they are made again; a failure fails OnRestore
    void (*release)();  // from ReleaseDirectX, before the device goes
};

// Sets the service's calls (any may be NULL); setting them again is harmless.
void SetDeviceService(DeviceService service, const DeviceServiceCalls &calls);

// TRUE from a Reset that answered D3DERR_DEVICELOST, with everything released,
// to the reset that succeeds: no frame may be drawn meanwhile.
BOOL IsDeviceWaitingForReset();
// The presentation interval that device creation and every reset use.
UINT GetPresentInterval();
