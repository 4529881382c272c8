#include "picture/overlay_lines.h"

#include <algorithm>
#include <cmath>

#include "picture/picture_options.h"

namespace wux {
namespace {

// Circles are smooth with 64 segments; with many of them 16 keep the lines affordable.
constexpr int kSmoothCircleSegments = 64;
constexpr int kCoarseCircleSegments = 16;
constexpr std::size_t kSmoothCircleLimit = 1000;
constexpr double kPi = 3.14159265358979323846;

struct OverlayLook {
    const char* name;
    Rgb colour;
};
// In the order of OverlayKind.
constexpr OverlayLook kLooks[] = {
    {"spheres", {0.15f, 0.85f, 1.0f}},
    {"ellipsoid", {1.0f, 0.35f, 0.9f}},
    {"helpers", {1.0f, 0.85f, 0.1f}},
};

// A shape whose points are not all finite is left out whole, so that no part of it
// pretends to be the whole.
void AddShape(const std::vector<Segment>& segments, OverlayLines* lines) {
    for (const Segment& s : segments)
        if (!IsFinite(s.a) || !IsFinite(s.b)) return;
    for (const Segment& s : segments) {
        lines->segments.push_back(s);
        lines->bounds.Add(s.a);
        lines->bounds.Add(s.b);
    }
    ++lines->itemCount;
}

// An ellipse around centre spanned by the vectors u and v.
void AddEllipse(Vec3 centre, Vec3 u, Vec3 v, int segments, std::vector<Segment>* out) {
    Vec3 previous = centre + u;
    for (int i = 1; i <= segments; ++i) {
        const double angle = 2 * kPi * i / segments;
        const Vec3 next = centre + u * std::cos(angle) + v * std::sin(angle);
        out->push_back({previous, next});
        previous = next;
    }
}

// Semi-axes of either sign.
std::vector<Segment> AxisEllipses(Vec3 centre, Vec3 semiAxes, std::size_t count) {
    const int segments = count <= kSmoothCircleLimit ? kSmoothCircleSegments : kCoarseCircleSegments;
    const Vec3 x{std::fabs(semiAxes.x), 0, 0}, y{0, std::fabs(semiAxes.y), 0}, z{0, 0, std::fabs(semiAxes.z)};
    std::vector<Segment> out;
    AddEllipse(centre, x, y, segments, &out);
    AddEllipse(centre, x, z, segments, &out);
    AddEllipse(centre, y, z, segments, &out);
    return out;
}

Vec3 ToVec3(const float* a) { return {a[0], a[1], a[2]}; }

std::vector<Segment> HelperLines(const ReferenceEntry& entry) {
    const auto& m = entry.transform;
    const Vec3 axisX = ToVec3(m[0]), axisY = ToVec3(m[1]), axisZ = ToVec3(m[2]), position = ToVec3(m[3]);
    const Vec3 half = ToVec3(entry.halfExtents);
    // The exporter moved the reference position a quarter of the size, that is half the Y
    // half extent, against the Y axis; the cube sits on the origin.
    const Vec3 centre = position + axisY * (0.5 * half.y);
    const Vec3 hx = axisX * half.x, hy = axisY * half.y, hz = axisZ * half.z;

    std::vector<Segment> out;
    auto corner = [&](int i) {
        return centre + hx * ((i & 1) ? 1.0 : -1.0) + hy * ((i & 2) ? 1.0 : -1.0) + hz * ((i & 4) ? 1.0 : -1.0);
    };
    for (int i = 0; i < 8; ++i)
        for (int bit : {1, 2, 4})
            if ((i & bit) == 0) out.push_back({corner(i), corner(i | bit)});
    // Axes as long as the largest half extent, so that a helper of size 0 shows no lines
    // but a point where it stands.
    const double reach = std::fmax(std::fabs(half.x), std::fmax(std::fabs(half.y), std::fabs(half.z)));
    for (const Vec3& axis : {axisX, axisY, axisZ}) out.push_back({position, position + Normalised(axis) * reach});
    return out;
}

}  // namespace

const char* OverlayName(OverlayKind kind) { return kLooks[static_cast<std::size_t>(kind)].name; }
Rgb OverlayColour(OverlayKind kind) { return kLooks[static_cast<std::size_t>(kind)].colour; }

ToolResult<OverlaySet> ParseOverlaySet(const std::string& text) {
    OverlaySet set;
    if (text.empty()) return set;
    // Every word between commas counts, so "spheres," names an empty word and is refused.
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
        end = text.find(',', start);
        const std::string word = text.substr(start, end - start);  // the rest when end is npos
        const auto named = std::find_if(kOverlayKinds.begin(), kOverlayKinds.end(),
                                        [&](OverlayKind kind) { return word == OverlayName(kind); });
        if (named != kOverlayKinds.end()) set.Set(*named);
        else if (word == "all") set.shown.fill(true);
        else if (word != "none")
            return ArgumentError("\"" + word + "\" is not an overlay: spheres, ellipsoid, helpers, all or none");
    }
    return set;
}

OverlayLines BuildOverlayLines(const PictureScene& scene, OverlayKind kind) {
    OverlayLines lines;
    lines.kind = kind;
    switch (kind) {
        case OverlayKind::Spheres:
            for (const BoundSphere& s : scene.spheres)
                AddShape(AxisEllipses({s.x, s.y, s.z}, {s.radius, s.radius, s.radius}, scene.spheres.size()), &lines);
            break;
        case OverlayKind::Ellipsoid:
            for (const EllipsoidChunk& e : scene.ellipsoids)
                AddShape(AxisEllipses(ToVec3(e.centre), ToVec3(e.semiAxes), scene.ellipsoids.size()), &lines);
            break;
        case OverlayKind::Helpers:
            for (const ReferenceEntry& entry : scene.helpers) AddShape(HelperLines(entry), &lines);
            break;
    }
    return lines;
}

}  // namespace wux
