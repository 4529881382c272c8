// Reading 3D files of other formats (glTF/GLB, FBX, OBJ, 3DS, ASE, COLLADA, PLY, STL, ...)
// through the Assimp library into a SceneDescription, mapped the way the host's own
// importer would lay the scene out: triangle meshes with standard materials, the node
// hierarchy in the host's right-handed Z-up frame, point helpers and "GBND"/"GELP" spheres.
#pragma once

#include <string>
#include <vector>

#include "format/tool_error.h"
#include "input/mesh_normals.h"
#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

// Where the importer puts the embedded textures it writes beside the output.
class TextureFiles {
public:
    virtual ~TextureFiles() = default;
    // Free: nothing is at path; Same: a file with exactly these bytes (nothing is written);
    // Taken: anything else, so the importer picks another name.
    enum class NameUse { Free, Same, Taken };
    virtual NameUse Use(const std::string& path, const std::vector<unsigned char>& bytes) = 0;
    // Writes a new file at path; or an Io error naming it.
    virtual ToolResult<void> Write(const std::string& path, const std::vector<unsigned char>& bytes) = 0;
};

struct AssimpImportOptions {
    // The up axis of the file's data as written. Auto takes the format's convention or the
    // file's own metadata; Y and Z force it. A Y-up scene is turned by +90 degrees about X.
    enum class Up { Auto, Y, Z };
    Up up = Up::Auto;
    // Nodes without meshes: Markers turns the leaves (no children either) into point
    // helpers, All turns every such node into one, None makes no helpers.
    enum class Helpers { Markers, All, None };
    Helpers helpers = Helpers::Markers;
    // The WUX file to be written: embedded textures are named after it and written beside
    // it through textureFiles, never over a file with other content. Without either, the
    // embedded textures are named but not written.
    std::string outputPath;
    TextureFiles* textureFiles = nullptr;
    // Faces of a mesh without normals that meet at more than this angle keep their own
    // normals at the shared edge; flatter ones share an averaged normal.
    float smoothAngleDegrees = kDefaultSmoothAngleDegrees;
    ReadProgress progress;  // may be empty
};

// What the import changed without it being a fault, for the export's summary.
struct ImportCounts {
    NormalCounts normals;
    std::size_t materialsMerged = 0;  // source materials identical to an earlier one of the same name
};

// The scene in the file at path, or an error naming the file (and in its message the node,
// where there is one) when the file cannot be read (Io, Import) or holds data that cannot
// be repaired (Import); repairs and things passed over are added to *warnings, and what the
// import changed without fault to *counts when given.
ToolResult<SceneDescription> ImportWithAssimp(const std::string& path, const AssimpImportOptions& options,
                                              Warnings* warnings, ImportCounts* counts = nullptr);

}  // namespace wux
