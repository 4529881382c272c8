#include "driver/lost_geometry.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "collect/node_route.h"
#include "driver/scene_routes.h"
#include "input/scene_polygons.h"

namespace wux {
namespace {

// At or beyond this a double rounds to infinity as a 32-bit float.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

struct Point {
    double x, y, z;
};

bool Fits(double v) { return std::isfinite(v) && std::fabs(v) < kFloatOverflow; }
bool Fits(const Point& p) { return Fits(p.x) && Fits(p.y) && Fits(p.z); }

// x·row0 + y·row1 + z·row2 + row3, in double as the collectors measure.
Point Transform(const SceneMatrix& m, double x, double y, double z) {
    Point p{};
    double* out[3] = {&p.x, &p.y, &p.z};
    for (int k = 0; k < 3; ++k)
        *out[k] = x * m.rows[0][k] + y * m.rows[1][k] + z * m.rows[2][k] + m.rows[3][k];
    return p;
}

double Distance(const Point& a, const Point& b) {
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

class Walker {
public:
    explicit Walker(Warnings* warnings) : warnings_(warnings) {}

    void Walk(const SceneNode& node, const SceneMatrix& parentWorld) {
        const SceneMatrix world = Multiply(node.local, parentWorld);
        const SceneMatrix objectTm = Multiply(node.offset, world);
        Route(node, objectTm);
        for (const SceneNode& child : node.children) Walk(child, world);
    }

private:
    // The plug-in's own routing rule picks the route. Helpers and spheres with a transform
    // that is not finite are the route warnings' to report.
    void Route(const SceneNode& node, const SceneMatrix& tm) {
        const SceneObject& object = node.object;
        const bool finite = tm.AllFinite();
        switch (RouteOf(object.type == SceneObject::Type::Helper, [&node] { return node.name.c_str(); })) {
            case NodeRoute::Reference:
                if (finite) Helper(node, tm);
                return;
            case NodeRoute::BoundSphere:
            case NodeRoute::Ellipsoid:
                if (finite && object.type == SceneObject::Type::Sphere) Sphere(node, tm);
                return;
            case NodeRoute::Mesh: break;
        }
        const bool poly = object.type == SceneObject::Type::EditablePoly;
        if (!object.IsTriangleMesh() && !poly && object.type != SceneObject::Type::Sphere) return;
        if (!finite) {
            const std::size_t faces = poly ? FanTriangleCount(object.poly) : object.mesh.faces.size();
            if (object.type == SceneObject::Type::Sphere || faces > 0)
                warnings_->Add(WarningKind::TrianglesLost,
                               DescribeNode(node) + ": " + (object.type == SceneObject::Type::Sphere
                                                            ? std::string("the mesh of a sphere")
                                                            : "all " + std::to_string(faces) + " triangles") +
                                   ", its transform is not finite");
            return;
        }
        if (object.IsTriangleMesh()) return Mesh(node, object.mesh.verts, object.mesh.faces, tm);
        if (poly) return Mesh(node, object.poly.verts, object.poly.faces, tm);
        SphereMesh(node, tm);
    }

    // Triangles, or polygons that the host fans into n - 2 triangles each.
    template <class Faces>
    void Mesh(const SceneNode& node, const std::vector<std::array<float, 3>>& verts, const Faces& faces,
              const SceneMatrix& tm) {
        std::vector<bool> fits(verts.size());
        std::size_t firstLost = verts.size();
        for (std::size_t i = 0; i < verts.size(); ++i) {
            fits[i] = Fits(Transform(tm, verts[i][0], verts[i][1], verts[i][2]));
            if (!fits[i] && firstLost == verts.size()) firstLost = i;
        }
        if (firstLost == verts.size()) return;
        std::size_t lost = 0, total = 0;
        for (const auto& face : faces) {
            const std::size_t triangles = face.size() - 2;
            total += triangles;
            for (std::uint32_t v : face) {
                if (!fits[v]) {
                    lost += triangles;
                    break;
                }
            }
        }
        if (lost == 0) return;
        warnings_->Add(WarningKind::TrianglesLost, DescribeNode(node) + ": " + std::to_string(lost) + " of " +
                                                         std::to_string(total) + " triangles (vertex " +
                                                         std::to_string(firstLost) + " first)");
    }

    // The stand-in builds the sphere's mesh with its vertices at the radius.
    void SphereMesh(const SceneNode& node, const SceneMatrix& tm) {
        const double r = node.object.radius;
        const Point extremes[6] = {Transform(tm, r, 0, 0),  Transform(tm, -r, 0, 0), Transform(tm, 0, r, 0),
                                   Transform(tm, 0, -r, 0), Transform(tm, 0, 0, r),  Transform(tm, 0, 0, -r)};
        for (const Point& p : extremes) {
            if (!Fits(p)) {
                warnings_->Add(WarningKind::TrianglesLost, DescribeNode(node) + ": the mesh of a sphere of radius " +
                                                                 Number(r) + ", some or all of its triangles");
                return;
            }
        }
    }

    // A bounding sphere's radius runs along its local Z axis; an ellipsoid's three along each axis.
    void Sphere(const SceneNode& node, const SceneMatrix& tm) {
        const double r = node.object.radius;
        const Point centre = Transform(tm, 0, 0, 0);
        const bool bound = node.name == kBoundSphereNodeName;
        const Point rims[3] = {Transform(tm, 0, 0, r), Transform(tm, r, 0, 0), Transform(tm, 0, r, 0)};
        for (int i = 0; i < (bound ? 1 : 3); ++i) {
            if (!Fits(Distance(centre, rims[i])) || !Fits(rims[i])) {
                warnings_->Add(WarningKind::SpheresLost, DescribeNode(node) + ": " +
                                                               (bound ? "bounding sphere" : "ellipsoid") + " of radius " +
                                                               Number(r));
                return;
            }
        }
    }

    // Half extents are the size times half each axis's length; the reference position lies a
    // quarter of the size down the local Y axis.
    void Helper(const SceneNode& node, const SceneMatrix& tm) {
        const double size = node.object.size;
        const Point origin = Transform(tm, 0, 0, 0);
        bool fits = true;
        double yLength = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const Point unit = Transform(tm, axis == 0, axis == 1, axis == 2);
            const double length = Distance(origin, unit);
            if (axis == 1) yLength = length;
            fits = fits && Fits(length / 2.0 * size);
        }
        if (fits && yLength > 0) {
            const Point y = Transform(tm, 0, 1, 0);
            const double step = -0.25 * size / yLength;
            fits = Fits(Point{origin.x + step * (y.x - origin.x), origin.y + step * (y.y - origin.y),
                              origin.z + step * (y.z - origin.z)});
        }
        if (!fits) warnings_->Add(WarningKind::HelpersLost, DescribeNode(node) + ": size " + Number(size));
    }

    static std::string Number(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }

    Warnings* warnings_;
};

}  // namespace

void ReportLostGeometry(const SceneDescription& scene, Warnings* warnings) {
    Walker walker(warnings);
    const SceneMatrix identity;
    for (const SceneNode& node : scene.nodes) walker.Walk(node, identity);
}

}  // namespace wux
