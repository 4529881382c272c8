// Checks on polygon meshes as plain arrays, for every reader that makes them: a polygon of
// fewer than three corners, an index out of range or texture polygons that do not match
// their polygons would make the host's editable poly inconsistent.
#pragma once

#include <optional>
#include <string>

#include "input/scene_description.h"

namespace wux {

struct PolygonProblem {
    // Where, relative to the object: "faces[2]", "tvfaces" or "tvfaces[0]".
    std::string where;
    std::string what;
};

// The first problem, in the order faces, then texture polygons; none for a sound mesh.
std::optional<PolygonProblem> FindPolygonProblem(const ScenePoly& poly);

}  // namespace wux
