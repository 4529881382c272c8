// A WUX file as Wavefront OBJ with its MTL library beside it: one object per mesh record with
// positions, texture coordinates and normals turned to Y-up, and materials by name with the
// diffuse, ambient, specular and filter colours, the opacity and the map files. Spheres, the
// ellipsoid and the reference entries have no place in OBJ and are left out (with a warning).
#pragma once

#include <string>

#include "input/warnings.h"
#include "format/wux_reader.h"
#include "writer/staged_files.h"

namespace wux {

// Stages OUT.obj and OUT.mtl (same stem) in *outputs; OUT.obj's text is written as it is made.
ToolResult<void> WriteObj(const WuxDocument& doc, const std::string& outputPath, StagedFiles* outputs, Warnings* warnings);


}  // namespace wux
