// The host SDK as the plug-in sees it: the one header that plug-in code includes.
// With WUX_MAXSDK defined the host's own SDK headers are used; otherwise the declarations of
// the in-memory stand-in host in host/sdk/, which mirror them.
#pragma once

#ifdef WUX_MAXSDK

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <max.h>
#include <iparamb2.h>
#include <iparamm2.h>
#include <istdplug.h>
#include <stdmat.h>
#include <bmmlib.h>
#include <plugapi.h>
#include <impexp.h>
#include <triobj.h>

#else

#include "host/sdk/win32.h"
#include "host/sdk/interval.h"
#include "host/sdk/class_id.h"
#include "host/sdk/point3.h"
#include "host/sdk/matrix3.h"
#include "host/sdk/mesh.h"
#include "host/sdk/animatable.h"
#include "host/sdk/param_array.h"
#include "host/sdk/param_block2.h"
#include "host/sdk/object.h"
#include "host/sdk/tri_object.h"
#include "host/sdk/inode.h"
#include "host/sdk/interface.h"
#include "host/sdk/tstr.h"
#include "host/sdk/materials.h"
#include "host/sdk/plugin_api.h"

#endif
