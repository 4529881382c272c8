// One self-contained HTML page that shows a WUX file's scene with our own small WebGL
// viewer: the model's arrays (base64, little-endian), its map images and the viewer's
// script and style are inside the page, and its content security policy forbids every fetch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/overlay_lines.h"
#include "picture/picture_scene.h"

namespace wux {

struct PageOptions {
    std::string title;     // shown in the browser's tab and the panel, e.g. the file's name
    OverlaySet overlays;   // shown when the page opens; each can be toggled in the panel
};

// Base64 (RFC 4648, with padding), as the page carries its binary arrays.
std::string Base64(const std::vector<std::uint8_t>& bytes);

std::string BuildViewerPage(const PictureScene& scene, const PageOptions& options, const TriangleProgress& progress = {});

}  // namespace wux
