/// \file
/// The whole of fw in one include: the application shell, the graphics
/// device, resources, shaders, input, sound and the utilities. A program on
/// fw includes this (<fw/fw.h>) and links the CMake target fw::fw; each
/// subsystem's header can also be included on its own (<fw/app/framework.h>).

/// \mainpage fw
/// A small real-time 3D application framework for Windows on Direct3D 9,
/// D3DX 9, DirectInput 8 and DirectSound 8. Begin with fw.h and
/// app/framework.h (start-up, the frame loop, shutdown); the Files list has a
/// page for each subsystem's header, opening with what the subsystem owns and
/// how it starts and stops. examples/starter/main.cpp in fw's sources is a
/// whole program to begin from.
#pragma once

#include "app/framework.h"
#include "app/window.h"

#include "graphics/graphics.h"
#include "graphics/quad.h"
#include "graphics/renderstate.h"
#include "graphics/target.h"

#include "resources/font.h"
#include "resources/mesh.h"
#include "resources/quad_batch.h"
#include "resources/texture.h"

#include "shader/shader.h"

#include "input/buttons.h"
#include "input/input.h"

#include "sound/channel.h"
#include "sound/sound.h"

#include "util/crc32.h"
#include "util/sintable.h"
#include "util/task.h"
