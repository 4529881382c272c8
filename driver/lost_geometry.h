// Finds what of the input cannot reach the file because a transform carries it beyond the
// range of a 32-bit float: the plug-in leaves out a triangle with such a corner, a bounding
// sphere or ellipsoid whose radius overflows, a helper whose size or position does, and says
// nothing. Each is named here as a warning with its reason. Transforms that are not finite
// to begin with are reported with the routes (scene_routes.h); this covers what overflows
// only on the way from the object's points to the world.
#pragma once

#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

void ReportLostGeometry(const SceneDescription& scene, Warnings* warnings);

}  // namespace wux
