#include "input/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "format/world_normals.h"

namespace wux {
namespace {

// A source normal closer than this to unit length is kept bit for bit.
constexpr double kUnitTolerance = 1e-5;
const std::array<float, 3> kFallbackNormal{0.0f, 0.0f, 1.0f};

// Gives every corner of a needing vertex its own normal: the vertex keeps the first,
// each further distinct normal gets a copy of the vertex.
void SplitVertices(SceneMesh* mesh, const std::vector<uint8_t>& need,
                   const std::vector<std::array<float, 3>>& cornerNormals) {
    const std::size_t nv = mesh->verts.size();
    std::vector<uint32_t> start(nv + 1, 0);
    for (const auto& face : mesh->faces)
        for (uint32_t v : face)
            if (need[v]) ++start[v + 1];
    for (std::size_t v = 0; v < nv; ++v) start[v + 1] += start[v];
    std::vector<uint32_t> corners(start[nv]);
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t f = 0; f < mesh->faces.size(); ++f)
        for (uint32_t k = 0; k < 3; ++k) {
            const uint32_t v = mesh->faces[f][k];
            if (need[v]) corners[fill[v]++] = static_cast<uint32_t>(3 * f + k);
        }

    for (uint32_t v = 0; v < nv; ++v) {
        if (!need[v]) continue;
        auto first = corners.begin() + start[v], last = corners.begin() + start[v + 1];
        if (first == last) {
            mesh->normals[v] = kFallbackNormal;  // no face uses it
            continue;
        }
        // Mostly every corner has the same normal, and only split vertices need their order.
        const VectorKey firstKey = KeyOf(cornerNormals[*first]);
        if (std::any_of(first + 1, last, [&](uint32_t c) { return KeyOf(cornerNormals[c]) != firstKey; })) {
            std::sort(first, last, [&](uint32_t a, uint32_t b) {
                const auto ka = KeyOf(cornerNormals[a]), kb = KeyOf(cornerNormals[b]);
                return ka != kb ? ka < kb : a < b;
            });
        }
        uint32_t index = v;
        mesh->normals[v] = cornerNormals[*first];
        for (auto c = first; c != last; ++c) {
            const std::array<float, 3>& n = cornerNormals[*c];
            if (KeyOf(n) != KeyOf(mesh->normals[index])) {
                index = static_cast<uint32_t>(mesh->verts.size());
                mesh->verts.push_back(mesh->verts[v]);
                mesh->normals.push_back(n);
            }
            mesh->faces[*c / 3][*c % 3] = index;
        }
    }
}

}  // namespace

void FinishImportedMesh(SceneMesh* mesh, const std::string& nodeName, float smoothAngleDegrees, NormalCounts* counts,
                        Warnings* warnings) {
    const auto notFinite = [](float c) { return !std::isfinite(c); };
    bool repaired = false;
    for (auto& uvw : mesh->tverts) {
        repaired = std::any_of(uvw.begin(), uvw.end(), notFinite) || repaired;
        std::replace_if(uvw.begin(), uvw.end(), notFinite, 0.0f);
    }
    if (repaired) warnings->Add(WarningKind::UvsRepaired, QuotedName(nodeName) + ": coordinates not finite, set to 0");
    // Copied first: splitting vertices for their normals renumbers only the faces, the
    // texture coordinates stay where they were.
    if (!mesh->tverts.empty()) mesh->tvfaces = mesh->faces;
    const std::size_t nv = mesh->verts.size(), brokenBefore = counts->recomputed;
    const bool given = mesh->normals.size() == nv;
    std::vector<uint8_t> need(nv, given ? 0 : 1);
    if (!given) {
        mesh->normals.assign(nv, kFallbackNormal);
        counts->computed += nv;
    }
    for (std::size_t v = 0; given && v < nv; ++v) {
        std::array<float, 3>& n = mesh->normals[v];
        const double len = std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
        if (!(len > 0.0) || !std::isfinite(len)) {
            need[v] = 1;
            ++counts->recomputed;
        } else if (std::fabs(len - 1.0) > kUnitTolerance) {
            for (float& c : n) c = static_cast<float>(c / len);
            ++counts->rescaled;
        }
    }
    if (const std::size_t broken = counts->recomputed - brokenBefore; broken != 0)
        warnings->Add(WarningKind::NormalsRebuilt, QuotedName(nodeName) + ": " + std::to_string(broken) + " zero or not finite");
    if (std::find(need.begin(), need.end(), 1) == need.end()) return;
    SplitVertices(mesh, need, SmoothCornerNormals(mesh->verts, mesh->faces, smoothAngleDegrees, need));
}

}  // namespace wux
