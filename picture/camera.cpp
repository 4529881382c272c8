#include "picture/camera.h"

#include <cmath>

namespace wux {
namespace {

constexpr double kVerticalFieldOfView = 0.6;  // radians, about 34 degrees
constexpr double kFill = 0.9;                 // of the picture the box may take

struct Direction {
    const char* name;
    Vec3 toEye;  // from the box's centre towards the eye
};

// In the order of View. The host's conventions: Z up, the front view looks along +Y, the right
// view along -X.
constexpr Direction kDirections[] = {
    {"front", {0, -1, 0}},
    {"back", {0, 1, 0}},
    {"left", {-1, 0, 0}},
    {"right", {1, 0, 0}},
    {"top", {0, 0, 1}},
    {"three-quarter", {1, -1.3, 0.9}},
};

const Direction& DirectionOf(View view) { return kDirections[static_cast<std::size_t>(view)]; }

}  // namespace

const char* ViewName(View view) { return DirectionOf(view).name; }

std::optional<View> ParseView(const std::string& text) {
    for (std::size_t i = 0; i < std::size(kDirections); ++i)
        if (text == kDirections[i].name) return static_cast<View>(i);
    return std::nullopt;
}

std::vector<Vec3> Corners(const Bounds3& box) {
    std::vector<Vec3> corners;
    if (box.Empty()) return corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                           (i & 4) ? box.max.z : box.min.z});
    return corners;
}

Camera FramePoints(const std::vector<Vec3>& givenPoints, View view, int width, int height) {
    Bounds3 box;
    for (const Vec3& p : givenPoints) box.Add(p);
    std::vector<Vec3> points = givenPoints;
    // No point frames the unit cube at the origin; a single point still needs a size to be seen at.
    const Vec3 extent = box.max - box.min;
    if (box.Empty() || std::fmax(extent.x, std::fmax(extent.y, extent.z)) <= 0) {
        const Vec3 centre = box.Empty() ? Vec3{} : box.Centre();
        const double pad = box.Empty() ? 0.5 : std::fmax(1.0, Length(centre) * 1e-3);
        box.Add(centre - Vec3{pad, pad, pad});
        box.Add(centre + Vec3{pad, pad, pad});
        points = Corners(box);
    }

    Camera camera;
    camera.forward = Normalised(DirectionOf(view).toEye) * -1.0;
    const Vec3 worldUp = view == View::Top ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
    camera.right = Normalised(Cross(camera.forward, worldUp));
    camera.up = Cross(camera.right, camera.forward);

    camera.centreX = width / 2.0;
    camera.centreY = height / 2.0;
    const double tanY = std::tan(kVerticalFieldOfView / 2);
    const double tanX = tanY * width / height;
    camera.focal = camera.centreY / tanY;

    // The nearest distance from the centre at which every point projects inside the fill.
    const Vec3 centre = box.Centre();
    double distance = 0, farthestForward = 0;
    for (const Vec3& p : points) {
        const Vec3 q = p - centre;
        const double x = std::fabs(Dot(q, camera.right)), y = std::fabs(Dot(q, camera.up));
        const double z = Dot(q, camera.forward);
        distance = std::fmax(distance, std::fmax(x / (tanX * kFill), y / (tanY * kFill)) - z);
        farthestForward = std::fmax(farthestForward, -z);
    }
    camera.eye = centre - camera.forward * distance;
    camera.nearDepth = (distance - farthestForward) * 0.5;
    camera.depthUnit = distance > 0 ? distance : 1;

    // Perspective makes the near side look larger: centre what the picture shows.
    Bounds3 seen;  // in pixels, z unused
    for (const Vec3& point : points) {
        const ScreenPoint p = Project(camera, point);
        seen.Add(Vec3{p.x, p.y, 0});
    }
    if (std::isfinite(seen.min.x + seen.max.x + seen.min.y + seen.max.y)) {
        camera.centreX += width / 2.0 - (seen.min.x + seen.max.x) / 2;
        camera.centreY += height / 2.0 - (seen.min.y + seen.max.y) / 2;
    }
    return camera;
}

ScreenPoint Project(const Camera& camera, Vec3 p) {
    const Vec3 q = p - camera.eye;
    const double depth = Dot(q, camera.forward);
    ScreenPoint out;
    if (!(depth > camera.nearDepth) || !(depth > 0)) return out;
    out.depth = static_cast<float>(depth / camera.depthUnit);
    out.x = static_cast<float>(camera.centreX + camera.focal * Dot(q, camera.right) / depth);
    out.y = static_cast<float>(camera.centreY - camera.focal * Dot(q, camera.up) / depth);
    return out;
}

}  // namespace wux
