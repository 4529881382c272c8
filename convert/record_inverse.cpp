#include "convert/record_inverse.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_set>

#include "format/wux_format.h"
#include "format/tool_text.h"

namespace wux {


namespace {

std::string EntryName(const Reference& entry, std::size_t index) {
    return "GREF entry " + std::to_string(index) + " \"" + PrintableText(entry.name.text) + "\"";
}

double Length(const std::array<double, 3>& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

bool SameBits(float a, float b) { return wux_file::FloatBits(a) == wux_file::FloatBits(b); }

}  // namespace

HostRows IdentityRows() { return HostRows{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}}; }

HostRows TranslationRows(const std::array<float, 3>& at) {
    HostRows rows = IdentityRows();
    rows[3] = {at[0], at[1], at[2]};
    return rows;
}

HelperNode HelperFromEntry(const Reference& entry, std::size_t index, Warnings* warnings) {
    HelperNode node;
    node.name = entry.name.text;
    const auto& t = entry.transform;
    const auto& h = entry.halfExtents;
    std::array<std::array<double, 3>, 3> axes{};
    for (int r = 0; r < 3; ++r) axes[r] = {t[4 * r], t[4 * r + 1], t[4 * r + 2]};
    const std::array<double, 3> position{t[12], t[13], t[14]};
    if (t[3] != 0.0f || t[7] != 0.0f || t[11] != 0.0f || t[15] != 0.0f)
        warnings->Add(WarningKind::NotReproducible, EntryName(entry, index) + ": fourth matrix column not zero");
    if (entry.endWord != wux_file::kReferenceEndWord)
        warnings->Add(WarningKind::NotReproducible, EntryName(entry, index) + ": end word differs from the writer's");
    for (const auto& axis : axes) {
        if (!(Length(axis) > 0.0)) {
            warnings->Add(WarningKind::NotReproducible, EntryName(entry, index) + ": an axis of zero length");
            break;
        }
    }

    // The collector stores half extent = axis length / 2 * size, with the axis length
    // measured from the transform. Any size works; the largest half extent picks the one
    // that leaves the longest axis at unit length. Its sign is the sign of every extent.
    double largest = 0.0;
    int positive = 0, negative = 0;
    for (float e : h) {
        largest = std::max(largest, std::fabs(double{e}));
        positive += e > 0.0f;
        negative += e < 0.0f;
    }
    if (positive > 0 && negative > 0)
        warnings->Add(WarningKind::NotReproducible, EntryName(entry, index) + ": half extents of mixed sign");
    if (largest > 0.0 && positive + negative < 3)
        warnings->Add(WarningKind::NotReproducible, EntryName(entry, index) + ": a half extent of zero beside others");
    // Twice a half extent near the float limit is no float: the size is then 2 and each axis
    // as long as its half extent. Axes that long also survive the collector's measure at the
    // origin, which lies half the Y extent away from the stored position.
    const double size = 2.0 * largest > std::numeric_limits<float>::max() ? 2.0 : 2.0 * largest;
    node.size = largest == 0.0 ? 0.0 : negative > positive ? -size : size;

    std::array<double, 3> lengths{1.0, 1.0, 1.0};
    if (node.size != 0.0) {
        for (int k = 0; k < 3; ++k) {
            const double l = 2.0 * std::fabs(double{h[k]}) / std::fabs(node.size);
            lengths[k] = l > 0.0 ? l : 1.0;  // a zero axis would make the collector drop the helper
        }
    }
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) node.transform[r][k] = axes[r][k] * lengths[r];
    // The stored position lies a quarter of the size along the negative local Y axis from
    // the helper's origin.
    for (int k = 0; k < 3; ++k) node.transform[3][k] = position[k] + 0.25 * node.size * node.transform[1][k];
    return node;
}

std::vector<SphereNode> BoundSphereNodes(const std::vector<Bounds>& bounds, Warnings* warnings) {
    std::vector<SphereNode> nodes;
    if (bounds.empty()) return nodes;
    if (bounds.size() > 1) warnings->Add(WarningKind::NotReproducible, "GBND: more than one chunk, only the first is kept");
    const Bounds& b = bounds.front();
    const Sphere& main = b.mainSphere;
    const bool mainEmpty = main.radius == 0.0f && main.centre == std::array<float, 3>{0, 0, 0};
    if (mainEmpty && b.spheres.empty()) return nodes;
    // The main sphere goes first; every later sphere not larger than it is put in the list
    // in visiting order.
    auto add = [&](const Sphere& s, const std::string& what) {
        if (s.radius < 0.0f || std::isnan(s.radius))
            warnings->Add(WarningKind::NotReproducible, "GBND " + what + ": radius not a distance");
        nodes.push_back(SphereNode{TranslationRows(s.centre), std::fabs(double{s.radius})});
    };
    add(main, "main sphere");
    if (main.radius == 0.0f && !b.spheres.empty())
        warnings->Add(WarningKind::NotReproducible, "GBND: further spheres beside a main sphere of radius 0");
    for (std::size_t i = 0; i < b.spheres.size(); ++i) {
        if (std::fabs(b.spheres[i].radius) > std::fabs(main.radius))
            warnings->Add(WarningKind::NotReproducible, "GBND sphere " + std::to_string(i) + ": larger than the main sphere");
        add(b.spheres[i], "sphere " + std::to_string(i));
    }
    return nodes;
}

std::vector<SphereNode> EllipsoidNodes(const std::vector<Ellipsoid>& ellipsoids, Warnings* warnings) {
    if (ellipsoids.empty()) return {};
    if (ellipsoids.size() > 1) warnings->Add(WarningKind::NotReproducible, "GELP: more than one chunk, only the last is kept");
    const Ellipsoid& e = ellipsoids.back();
    // Semi-axes are the radius times the lengths of the transform's axes: the radius is the
    // longest semi-axis and the axes are scaled to the others.
    double radius = 0.0;
    for (float s : e.semiAxes) {
        if (s < 0.0f || std::isnan(s)) warnings->Add(WarningKind::NotReproducible, "GELP: semi-axis not a length");
        radius = std::max(radius, std::fabs(double{s}));
    }
    SphereNode node{TranslationRows(e.centre), radius};
    if (radius > 0.0)
        for (int k = 0; k < 3; ++k) node.transform[k][k] = std::fabs(double{e.semiAxes[k]}) / radius;
    return {node};
}

void WarnUnreproducible(const WuxFile& file, Warnings* warnings) {
    if (file.header.meshCount != file.meshes.size() || file.header.materialCount != file.materials.size())
        warnings->Add(WarningKind::NotReproducible, "GNFO: counts differ from the records");

    // Materials: the collection appends each one when a mesh first uses it.
    std::vector<bool> used(file.materials.size(), false);
    std::size_t nextNew = 0;
    for (std::size_t i = 0; i < file.meshes.size(); ++i) {
        const MeshChunk& mesh = file.meshes[i];
        const std::string where = "GVTX #" + std::to_string(i);
        const std::int32_t m = mesh.materialIndex;
        if (m < 0 || static_cast<std::size_t>(m) >= file.materials.size()) {
            if (!(m == 0 && file.materials.empty()))
                warnings->Add(WarningKind::NotReproducible, where + ": material index " + std::to_string(m) + " out of range");
        } else if (!used[static_cast<std::size_t>(m)]) {
            if (static_cast<std::size_t>(m) != nextNew)
                warnings->Add(WarningKind::NotReproducible, where + ": material " + std::to_string(m) + " before the ones it follows");
            used[static_cast<std::size_t>(m)] = true;
            ++nextNew;
        }
        if (mesh.vertexCount != 3 * std::uint64_t{mesh.faceCount} || mesh.faceCount > wux_file::kMaxTrianglesPerMesh)
            warnings->Add(WarningKind::NotReproducible, where + ": not one vertex per triangle corner");
        bool soup = true;
        for (std::size_t t = 0; t < mesh.triangles.size() && soup; ++t)
            for (int c = 0; c < 3; ++c) soup = soup && mesh.triangles[t][c] == 3 * t + static_cast<std::size_t>(c);
        if (!soup) warnings->Add(WarningKind::NotReproducible, where + ": triangles share or reorder corners");
        for (const auto& block : mesh.faceBlocks) {
            if (block[0] != 0 || block[1] != 0 || block[2] != 0) {
                warnings->Add(WarningKind::NotReproducible, where + ": face blocks not zero");
                break;
            }
        }
        if (wux_file::FloatBits(mesh.constant) != wux_file::kMeshConstantBits)
            warnings->Add(WarningKind::NotReproducible, where + ": constant differs from the writer's");
    }
    std::unordered_set<std::string> names;
    for (std::size_t i = 0; i < file.materials.size(); ++i) {
        const Material& material = file.materials[i];
        const std::string where = "GMAT " + Quoted(material.name.text);
        if (!used[i]) warnings->Add(WarningKind::NotReproducible, where + ": used by no mesh");
        if (!names.insert(material.name.text).second) warnings->Add(WarningKind::NotReproducible, where + ": name used twice");
        const auto& c = material.colourBlock;
        if (!SameBits(c[0], 0.0f) || !SameBits(c[1], 0.0f) || !SameBits(c[5], 1.0f) || !SameBits(c[13], 1.0f) ||
            !SameBits(c[17], 1.0f) || wux_file::FloatBits(c[18]) != wux_file::kColourWordEndBits)
            warnings->Add(WarningKind::NotReproducible, where + ": fixed colour words differ from the writer's");
        for (std::size_t k = 0; k < material.maps.size(); ++k) {
            const MapEntry& map = material.maps[k];
            if (map.channel >= wux_file::kMaxMaps || (k > 0 && map.channel <= material.maps[k - 1].channel))
                warnings->Add(WarningKind::NotReproducible, where + ": map slots out of order or out of range");
            if (map.fileName.text.find('\\') != std::string::npos || map.fileName.text.empty())
                warnings->Add(WarningKind::NotReproducible, where + ": map file name empty or holding a backslash");
        }
    }
}

void WarnNotFinite(const WuxFile& file, Warnings* warnings) {
    const auto check = [&](std::initializer_list<float> values, bool* ok) {
        for (float v : values) *ok = *ok && std::isfinite(v);
    };
    const auto warn = [&](bool ok, const std::string& where) {
        if (!ok) warnings->Add(WarningKind::ValuesNotFinite, where);
    };
    for (std::size_t i = 0; i < file.meshes.size(); ++i) {
        bool ok = true;
        for (const Vertex& v : file.meshes[i].vertices) check({v.x, v.y, v.z, v.u, v.v}, &ok);
        for (const auto& n : file.meshes[i].normals) check({n[0], n[1], n[2]}, &ok);
        warn(ok, "GVTX #" + std::to_string(i));
    }
    for (const Material& m : file.materials) {
        bool ok = true;
        for (float c : m.colourBlock) check({c}, &ok);
        for (const MapEntry& map : m.maps) check({map.amount}, &ok);
        warn(ok, "GMAT " + Quoted(m.name.text));
    }
    for (const Bounds& b : file.bounds) {
        bool ok = true;
        for (const Sphere& s : b.spheres) check({s.centre[0], s.centre[1], s.centre[2], s.radius}, &ok);
        const Sphere& s = b.mainSphere;
        check({s.centre[0], s.centre[1], s.centre[2], s.radius}, &ok);
        warn(ok, "GBND");
    }
    for (const Ellipsoid& e : file.ellipsoids) {
        bool ok = true;
        for (std::size_t k = 0; k < 3; ++k) check({e.centre[k], e.semiAxes[k]}, &ok);
        warn(ok, "GELP");
    }
    for (std::size_t i = 0; i < file.references.entries.size(); ++i) {
        const Reference& entry = file.references.entries[i];
        bool ok = true;
        for (float v : entry.transform) check({v}, &ok);
        for (float v : entry.halfExtents) check({v}, &ok);
        warn(ok, EntryName(entry, i));
    }
}

}  // namespace wux
