// The host SDK as the plug-in sees it: the one header that plug-in code includes.
// With WUX_MAXSDK defined the host's own SDK headers are used; otherwise the declarations of
// the in-memory stand-in host in host/sdk/, which mirror them.
#pragma once

#ifdef WUX_MAXSDK

// <windows.h> must not define min and max as macros: they would break std::min and
// std::max in our code. The SDK's own inline code (its 2D box header, for one) calls min and
// max unqualified, expecting them from <windows.h>; std's are made visible to it instead,
// before any SDK header.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <algorithm>
using std::max;
using std::min;

#include <windows.h>
#include <commctrl.h>

// Only what the plug-in uses, all from the core, geom, mesh and maxutil libraries: scene,
// nodes, objects, meshes, materials, the old-style parameter block and plug-in plumbing
// (max.h), the exporter interface, the second-generation parameter block's interface,
// the standard material and bitmap texture interfaces, and the triangle-mesh object.
#include <max.h>
#include <plugapi.h>
#include <impexp.h>
#include <iparamb2.h>
#include <stdmat.h>
#include <triobj.h>

#else

#include "host/sdk/win32.h"
#include "host/sdk/interval.h"
#include "host/sdk/class_id.h"
#include "host/sdk/point3.h"
#include "host/sdk/matrix3.h"
#include "host/sdk/mesh.h"
#include "host/sdk/animatable.h"
#include "host/sdk/param_blocks.h"
#include "host/sdk/object.h"
#include "host/sdk/tri_object.h"
#include "host/sdk/inode.h"
#include "host/sdk/interface.h"
#include "host/sdk/tstr.h"
#include "host/sdk/materials.h"
#include "host/sdk/plugin_api.h"

#endif
