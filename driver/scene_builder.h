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

// Fills *scene (which should be empty) from *desc. An error of kind Scene, whose message
// names the node (its name and where it came from), when desc holds what the host cannot.
// Materials other than "standard" become multi/sub-object materials: a class the plug-in
// does not export. Each material and map is made once and shared by the nodes using it.
// Each mesh of *desc is emptied while the stand-in takes it, so that the geometry is held
// about once rather than twice.
ToolResult<void> BuildStandinScene(SceneDescription* desc, StandinScene* scene);

}  // namespace wux
