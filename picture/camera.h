// Where the picture is seen from: one of six views of a Z-up world, a perspective camera
// placed so that a box fills the picture with a margin.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "picture/vec3.h"

namespace wux {

enum class View { Front, Back, Left, Right, Top, ThreeQuarter };

const char* ViewName(View view);
std::optional<View> ParseView(const std::string& text);

struct Camera {
    Vec3 eye;
    Vec3 right, up, forward;  // unit, right-handed: right x up = -forward
    double focal = 1;         // pixels per unit of x/z at depth 1
    double centreX = 0, centreY = 0;  // the picture's centre in pixels
    double nearDepth = 0;     // nothing drawn lies closer to the eye
    double depthUnit = 1;     // the eye's distance from the scene's centre
};

struct ScreenPoint {
    float x = 0, y = 0;  // pixels, y down
    float depth = 0;     // distance along forward in depthUnits, so that it fits a float
};

// The camera for a width x height picture that shows every point from the view's direction.
// No point frames the unit cube at the origin.
Camera FramePoints(const std::vector<Vec3>& points, View view, int width, int height);

// The eight corners of a box; none for an empty box.
std::vector<Vec3> Corners(const Bounds3& box);

// Where p lands in the picture; depth <= 0 when p is not in front of the camera.
ScreenPoint Project(const Camera& camera, Vec3 p);

}  // namespace wux
