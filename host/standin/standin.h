// The in-memory stand-in host: everything a program or test needs to build a scene and hand
// it to the plug-in.
#pragma once

#include "host/max_sdk.h"
#include "host/standin/bitmap_tex.h"
#include "host/standin/checker_tex.h"
#include "host/standin/cp1251.h"
#include "host/standin/editable_mesh.h"
#include "host/standin/editable_poly.h"
#include "host/standin/interface.h"
#include "host/standin/mesh_check.h"
#include "host/standin/multi_mtl.h"
#include "host/standin/node.h"
#include "host/standin/object_counts.h"
#include "host/standin/other_objects.h"
#include "host/standin/param_blocks.h"
#include "host/standin/point_helper.h"
#include "host/standin/scene.h"
#include "host/standin/sphere.h"
#include "host/standin/std_mat.h"
#include "host/standin/win32_log.h"
