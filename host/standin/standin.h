// The in-memory stand-in host: everything a program or test needs to build a scene and hand
// it to the plug-in.
#pragma once

#include "host/max_sdk.h"
#include "host/standin/editable_poly.h"
#include "host/standin/materials.h"
#include "host/standin/mesh_check.h"
#include "host/standin/objects.h"
#include "host/standin/scene.h"
#include "host/standin/win32_log.h"
