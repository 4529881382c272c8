// The overlays as line segments in world space: what no mesh viewer shows of a WUX file.
// - a bounding sphere: three great circles in the world's XY, XZ and YZ planes;
// - the ellipsoid: three ellipses with its semi-axes along the world's axes (the file
//   keeps no orientation for it);
// - a reference helper: its cube, centred on the helper's origin (a quarter of its size
//   from the reference position along its Y axis), and its three axes from the reference
//   position.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "picture/picture_scene.h"
#include "picture/vec3.h"

namespace wux {

enum class OverlayKind { Spheres, Ellipsoid, Helpers };
constexpr std::array<OverlayKind, 3> kOverlayKinds{OverlayKind::Spheres, OverlayKind::Ellipsoid, OverlayKind::Helpers};

// The word that names the kind on the command line and in the page.
const char* OverlayName(OverlayKind kind);
Rgb OverlayColour(OverlayKind kind);

struct OverlaySet {
    std::array<bool, 3> shown{};
    bool Has(OverlayKind kind) const { return shown[static_cast<std::size_t>(kind)]; }
    void Set(OverlayKind kind) { shown[static_cast<std::size_t>(kind)] = true; }
};

// "spheres,ellipsoid,helpers" in any order and combination, "all" or "none"; an Argument
// error naming the first word that is none of these.
ToolResult<OverlaySet> ParseOverlaySet(const std::string& text);

struct Segment {
    Vec3 a, b;
};

struct OverlayLines {
    OverlayKind kind = OverlayKind::Spheres;
    std::size_t itemCount = 0;      // spheres, ellipsoids or helpers drawn
    std::vector<Segment> segments;  // every segment finite
    Bounds3 bounds;
};

OverlayLines BuildOverlayLines(const PictureScene& scene, OverlayKind kind);

}  // namespace wux
