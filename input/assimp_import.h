// Reading 3D files of other formats (glTF/GLB, FBX, OBJ, 3DS, ASE, COLLADA, PLY, STL, ...)
// through the Assimp library into a SceneDescription, mapped the way the host's own
// importer would lay the scene out: triangle meshes with standard materials, the node
// hierarchy in the host's right-handed Z-up frame, point helpers and "GBND"/"GELP" spheres.
#pragma once

#include <string>

#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

struct AssimpImportOptions {
    // The up axis of the file's data as written. Auto takes the format's convention or the
    // file's own metadata; Y and Z force it. A Y-up scene is turned by +90 degrees about X.
    enum class Up { Auto, Y, Z };
    Up up = Up::Auto;
    // Nodes without meshes: Markers turns the leaves (no children either) into point
    // helpers, All turns every such node into one, None makes no helpers.
    enum class Helpers { Markers, All, None };
    Helpers helpers = Helpers::Markers;
    // The WUX file to be written: embedded textures are written beside it. When empty, the
    // embedded textures are named but not written.
    std::string outputPath;
};

// Fills *scene from the file at path. Returns false with a message naming the file (and the
// node, where there is one) in *error when the file cannot be read or holds data that
// cannot be repaired; repairs and things passed over are added to *warnings.
bool ImportWithAssimp(const std::string& path, const AssimpImportOptions& options,
                      SceneDescription* scene, Warnings* warnings, std::string* error);

}  // namespace wux
