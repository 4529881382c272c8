#include "driver/scene_routes.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>

#include "collect/node_route.h"
#include "format/wux_format.h"
#include "input/scene_polygons.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

double AxisLength(const SceneMatrix& m, int row) {
    const double x = m.rows[row][0], y = m.rows[row][1], z = m.rows[row][2];
    return std::sqrt(x * x + y * y + z * z);
}

const char* TypeName(SceneObject::Type type) {
    switch (type) {
        case SceneObject::Type::None: return "no object";
        case SceneObject::Type::Mesh: return "a mesh";
        case SceneObject::Type::EditableMesh: return "an editable mesh";
        case SceneObject::Type::EditablePoly: return "an editable poly";
        case SceneObject::Type::Sphere: return "a sphere";
        case SceneObject::Type::Helper: return "a helper";
        case SceneObject::Type::Camera: return "a camera";
        case SceneObject::Type::Light: return "a light";
        case SceneObject::Type::Shape: return "a shape";
    }
    return "an object";
}

class RouteWalker {
public:
    RouteWalker(const SceneDescription& scene, const RouteOptions& options, Warnings* warnings)
        : scene_(scene), options_(options), warnings_(warnings) {}

    void Walk(const SceneNode& node, const SceneMatrix& parentWorld) {
        const SceneMatrix world = Multiply(node.local, parentWorld);
        Route(node, Multiply(node.offset, world));
        for (const SceneNode& child : node.children) Walk(child, world);
    }

private:
    const SceneDescription& scene_;
    const RouteOptions& options_;
    Warnings* warnings_;
    std::map<std::string, std::size_t> collectedMaterials_;  // name -> index in scene.materials
    std::vector<std::string> withoutMaterial_;

public:
    // Material 0 only means another mesh's material when some material is written at all.
    void Finish() {
        if (collectedMaterials_.empty()) return;
        for (const std::string& detail : withoutMaterial_) warnings_->Add(WarningKind::NoStandardMaterial, detail);
    }

private:

    void PassOver(const SceneNode& node, const std::string& why) {
        warnings_->Add(WarningKind::NodesPassedOver, DescribeNode(node) + ": " + why);
    }

    // The plug-in's own routing rule picks the route; each route then applies the checks
    // of the plug-in's collector for it.
    void Route(const SceneNode& node, const SceneMatrix& objectTm) {
        const SceneObject::Type type = node.object.type;
        switch (RouteOf(type == SceneObject::Type::Helper, [&node] { return node.name.c_str(); })) {
            case NodeRoute::Reference:
                if (!objectTm.AllFinite()) return PassOver(node, "helper with a transform that is not finite");
                for (int r = 0; r < 3; ++r)
                    if (AxisLength(objectTm, r) == 0.0) return PassOver(node, "helper scaled to zero");
                return;
            case NodeRoute::BoundSphere:
            case NodeRoute::Ellipsoid:
                if (type != SceneObject::Type::Sphere)
                    return PassOver(node, node.name + " node without a radius parameter (" + TypeName(type) + ")");
                if (!objectTm.AllFinite()) return PassOver(node, node.name + " node with a transform that is not finite");
                return;
            case NodeRoute::Mesh: return RouteMesh(node);
        }
    }

    void RouteMesh(const SceneNode& node) {
        switch (node.object.type) {
            case SceneObject::Type::None:
                if (options_.reportNodesWithoutObject) PassOver(node, "no object");
                return;
            case SceneObject::Type::Camera: return PassOver(node, "camera");
            case SceneObject::Type::Light: return PassOver(node, "light");
            case SceneObject::Type::Shape: return PassOver(node, "shape, which makes no mesh");
            case SceneObject::Type::Helper: return;  // taken by the reference route
            case SceneObject::Type::Sphere: break;
            case SceneObject::Type::Mesh:
            case SceneObject::Type::EditableMesh:
            case SceneObject::Type::EditablePoly: {
                constexpr std::size_t kMaxTriangles = wux_file::kMaxTrianglesPerMesh;
                const std::size_t triangles = node.object.IsTriangleMesh() ? node.object.mesh.faces.size()
                                                                           : FanTriangleCount(node.object.poly);
                if (triangles > kMaxTriangles) {
                    const std::size_t records = (triangles + kMaxTriangles - 1) / kMaxTriangles;
                    warnings_->Add(WarningKind::MeshesSplit, DescribeNode(node) + ": " + std::to_string(triangles) +
                                                                 " triangles into " + std::to_string(records) + " records");
                }
                break;
            }
        }
        CollectMaterial(node);
    }

    void CollectMaterial(const SceneNode& node) {
        if (node.material < 0 || !scene_.materials[static_cast<std::size_t>(node.material)].IsStandard()) {
            const std::string why =
                node.material < 0 ? "no material"
                                  : "material " + QuotedName(scene_.materials[static_cast<std::size_t>(node.material)].name) +
                                        " is of class " + scene_.materials[static_cast<std::size_t>(node.material)].className;
            withoutMaterial_.push_back(DescribeNode(node) + ": " + why);
            return;
        }
        const std::size_t index = static_cast<std::size_t>(node.material);
        const SceneMaterial& material = scene_.materials[index];
        auto [it, first] = collectedMaterials_.try_emplace(material.name, index);
        if (!first) {
            if (it->second != index)
                warnings_->Add(WarningKind::MaterialNameShared,
                               QuotedName(material.name) + " (materials[" + std::to_string(it->second) + "] and materials[" +
                                   std::to_string(index) + "])");
            return;
        }
        for (const SceneMap& map : material.maps) {
            if (!map.enabled) continue;
            const std::string where = QuotedName(material.name) + " slot " + std::to_string(map.slot);
            if (map.kind != SceneMap::Kind::Bitmap) {
                warnings_->Add(WarningKind::MapsWithoutBitmap,
                               where + (map.kind == SceneMap::Kind::None ? ": no map" : ": a " + map.otherType + " map"));
            } else if (options_.checkTextures && !TextureExists(map.path)) {
                warnings_->Add(WarningKind::TexturesMissing, where + ": " + map.path);
            }
        }
    }

    bool TextureExists(const std::string& hostPath) const {
        if (hostPath.empty()) return false;
        std::string path = hostPath;
        for (char& c : path)
            if (c == '\\') c = '/';
        std::error_code ec;
        const fs::path p(path);
        if (p.is_absolute()) return fs::is_regular_file(p, ec);
        for (const std::string& folder : options_.textureFolders)
            if (fs::is_regular_file(fs::path(folder) / p, ec)) return true;
        return false;
    }
};

}  // namespace

std::string DescribeNode(const SceneNode& node) {
    const std::string name = node.name.empty() ? "(unnamed)" : QuotedName(node.name);
    return node.origin.empty() || node.origin == node.name ? name : name + " at " + node.origin;
}

SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b) {
    SceneMatrix out;
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            double v = 0;
            for (int j = 0; j < 3; ++j) v += static_cast<double>(a.rows[r][j]) * b.rows[j][k];
            if (r == 3) v += b.rows[3][k];
            out.rows[r][k] = static_cast<float>(v);
        }
    }
    return out;
}

void PredictRouteWarnings(const SceneDescription& scene, const RouteOptions& options, Warnings* warnings) {
    RouteWalker walker(scene, options, warnings);
    const SceneMatrix identity;
    for (const SceneNode& node : scene.nodes) walker.Walk(node, identity);
    walker.Finish();
}

}  // namespace wux
