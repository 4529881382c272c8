// Builds the stand-in host's scene from a plain scene description: nodes with their
// transforms, objects, materials and maps, everything owned by the StandinScene. The scene
// is checked while it is built (finite transforms and parameters, consistent meshes), so
// the plug-in only ever sees a scene the host could hold.
#pragma once

#include <string>

#include "format/tool_error.h"
#include "host/standin/standin.h"
#include "input/scene_description.h"

namespace wux {

// Fills *scene (which should be empty) from desc. An error of kind Scene, whose message
// names the node (its name and where it came from), when desc holds what the host cannot.
// Materials other than "standard" become multi/sub-object materials: a class the plug-in
// does not export. Each material and map is made once and shared by the nodes using it.
ToolResult<void> BuildStandinScene(const SceneDescription& desc, StandinScene* scene);
// The same, emptying each mesh of *desc as soon as the stand-in holds it, so that the
// geometry is held once rather than twice while the scene is built.
ToolResult<void> BuildStandinScene(SceneDescription* desc, StandinScene* scene);

Matrix3 ToMatrix3(const SceneMatrix& m);

}  // namespace wux
