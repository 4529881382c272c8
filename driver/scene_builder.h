// Builds the stand-in host's scene from a plain scene description: nodes with their
// transforms, objects, materials and maps, everything owned by the StandinScene. The scene
// is checked while it is built (finite transforms and parameters, consistent meshes), so
// the plug-in only ever sees a scene the host could hold.
#pragma once

#include <string>

#include "host/standin/standin.h"
#include "input/scene_description.h"

namespace wux {

// Fills *scene (which should be empty) from desc. Returns false with a message naming the
// node (its name and where it came from) when desc holds something the host cannot.
// Materials other than "standard" become multi/sub-object materials: a class the plug-in
// does not export. Each material and map is made once and shared by the nodes using it.
bool BuildStandinScene(const SceneDescription& desc, StandinScene* scene, std::string* error);

Matrix3 ToMatrix3(const SceneMatrix& m);

}  // namespace wux
