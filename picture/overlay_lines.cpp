#include "picture/overlay_lines.h"

#include <cmath>

#include "picture/picture_options.h"

namespace wux {
namespace {

// Circles are smooth with 64 segments; with many of them 16 keep the lines affordable.
constexpr int kSmoothCircleSegments = 64;
constexpr int kCoarseCircleSegments = 16;
constexpr std::size_t kSmoothCircleLimit = 1000;
constexpr double kPi = 3.14159265358979323846;

class LineSink {
public:
    explicit LineSink(OverlayLines* lines) : lines_(lines) {}
    // A shape whose points are not all finite is left out whole, so that no part of it
    // pretends to be the whole.
    void Shape(const std::vector<Segment>& segments) {
        for (const Segment& s : segments)
            if (!IsFinite(s.a) || !IsFinite(s.b)) return;
        for (const Segment& s : segments) {
            lines_->segments.push_back(s);
            lines_->bounds.Add(s.a);
            lines_->bounds.Add(s.b);
        }
        ++lines_->itemCount;
    }

private:
    OverlayLines* lines_;
};

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

std::vector<Segment> AxisEllipses(Vec3 centre, Vec3 semiAxes, std::size_t count) {
    const int segments = count <= kSmoothCircleLimit ? kSmoothCircleSegments : kCoarseCircleSegments;
    const Vec3 x{semiAxes.x, 0, 0}, y{0, semiAxes.y, 0}, z{0, 0, semiAxes.z};
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

const char* OverlayName(OverlayKind kind) {
    switch (kind) {
        case OverlayKind::Spheres: return "spheres";
        case OverlayKind::Ellipsoid: return "ellipsoid";
        case OverlayKind::Helpers: return "helpers";
    }
    return "";
}

Rgb OverlayColour(OverlayKind kind) {
    switch (kind) {
        case OverlayKind::Spheres: return {0.15f, 0.85f, 1.0f};
        case OverlayKind::Ellipsoid: return {1.0f, 0.35f, 0.9f};
        case OverlayKind::Helpers: return {1.0f, 0.85f, 0.1f};
    }
    return {1, 1, 1};
}

ToolResult<OverlaySet> ParseOverlaySet(const std::string& text) {
    OverlaySet set;
    if (text.empty()) return set;
    // Every word between commas counts, so "spheres," names an empty word and is refused.
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
        end = text.find(',', start);
        const std::string word = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (word == "all") {
            for (OverlayKind kind : kOverlayKinds) set.Set(kind);
            continue;
        }
        if (word == "none") continue;
        bool known = false;
        for (OverlayKind kind : kOverlayKinds) {
            if (word == OverlayName(kind)) {
                set.Set(kind);
                known = true;
            }
        }
        if (!known) return ArgumentError("\"" + word + "\" is not an overlay: spheres, ellipsoid, helpers, all or none");
    }
    return set;
}

OverlayLines BuildOverlayLines(const PictureScene& scene, OverlayKind kind) {
    OverlayLines lines;
    lines.kind = kind;
    LineSink sink(&lines);
    switch (kind) {
        case OverlayKind::Spheres:
            for (const BoundSphere& s : scene.spheres) {
                const double r = std::fabs(double{s.radius});
                sink.Shape(AxisEllipses(Vec3{s.x, s.y, s.z}, Vec3{r, r, r}, scene.spheres.size()));
            }
            break;
        case OverlayKind::Ellipsoid:
            for (const EllipsoidChunk& e : scene.ellipsoids) {
                const Vec3 axes{std::fabs(double{e.semiAxes[0]}), std::fabs(double{e.semiAxes[1]}),
                                std::fabs(double{e.semiAxes[2]})};
                sink.Shape(AxisEllipses(ToVec3(e.centre), axes, scene.ellipsoids.size()));
            }
            break;
        case OverlayKind::Helpers:
            for (const ReferenceEntry& entry : scene.helpers) sink.Shape(HelperLines(entry));
            break;
    }
    return lines;
}

}  // namespace wux
