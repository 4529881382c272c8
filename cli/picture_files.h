// The file ends of `wux render` and `wux view`: the WUX file they draw, read whole and
// turned into what a picture shows, and the picture written through the writer's checked
// file layer (a temporary file renamed into place, so a failure leaves an existing file as
// it was). Each prints its failure naming the command and the file, and returns the exit
// code: 0 done, 1 not a readable WUX file, 2 a file that cannot be read or written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/overlay_lines.h"
#include "picture/picture_scene.h"

namespace wux {

// Warns of the triangles, the maps, and the overlays among `overlays`, that cannot be drawn.
// Maps are looked for beside the file, then in textureDirs, as `wux convert` looks for them.
int LoadPictureScene(const std::string& command, const std::string& path, const OverlaySet& overlays,
                     const std::vector<std::string>& textureDirs, bool decodeMaps, PictureScene* scene);

// Refuses to write over the input itself: the picture would replace the model it shows.
int WritePictureFile(const std::string& command, const std::string& input, const std::string& output,
                     const std::uint8_t* data, std::size_t size);

}  // namespace wux
