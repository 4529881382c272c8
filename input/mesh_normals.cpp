#include "input/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wux {
namespace {

using Vec = std::array<double, 3>;

// A source normal closer than this to unit length is kept bit for bit.
constexpr double kUnitTolerance = 1e-5;
// Up to this many corners at one position every pair is compared; above it (a fan of
// thousands of triangles) the corners are grouped by face normal instead, so the work
// stays linear in the corners.
constexpr std::size_t kMaxPairwiseCorners = 64;
constexpr std::size_t kMaxGroups = 64;
const std::array<float, 3> kFallbackNormal{0.0f, 0.0f, 1.0f};

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Length(const Vec& a) { return std::sqrt(Dot(a, a)); }
Vec ToVec(const std::array<float, 3>& a) { return {a[0], a[1], a[2]}; }

// -0 and +0 are one position.
uint32_t Bits(float f) {
    if (f == 0.0f) f = 0.0f;
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
// Three floats by their bits, ordered without a call per comparison: the sorts below are
// the larger part of the work on big meshes.
struct Key {
    uint64_t xy;
    uint32_t z;

    bool operator==(const Key& o) const { return xy == o.xy && z == o.z; }
    bool operator!=(const Key& o) const { return !(*this == o); }
    bool operator<(const Key& o) const { return xy != o.xy ? xy < o.xy : z < o.z; }
};

Key KeyOf(const std::array<float, 3>& a) { return {uint64_t{Bits(a[0])} << 32 | Bits(a[1]), Bits(a[2])}; }

struct KeyedIndex {
    Key key;
    uint32_t index;

    bool operator<(const KeyedIndex& o) const { return key != o.key ? key < o.key : index < o.index; }
};

// A face's unit normal and the angle at each of its corners; a face without area has no
// normal and weighs nothing.
struct FaceFrame {
    Vec normal{};
    double angle[3] = {0, 0, 0};
    bool valid = false;
};

std::vector<FaceFrame> FaceFrames(const SceneMesh& mesh) {
    std::vector<FaceFrame> frames(mesh.faces.size());
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const auto& face = mesh.faces[f];
        const Vec p[3] = {ToVec(mesh.verts[face[0]]), ToVec(mesh.verts[face[1]]), ToVec(mesh.verts[face[2]])};
        FaceFrame& frame = frames[f];
        const Vec n = Cross(Sub(p[1], p[0]), Sub(p[2], p[0]));
        const double len = Length(n);
        if (!(len > 0.0) || !std::isfinite(len)) continue;
        frame.normal = {n[0] / len, n[1] / len, n[2] / len};
        frame.valid = true;
        for (int k = 0; k < 3; ++k) {
            const Vec a = Sub(p[(k + 1) % 3], p[k]);
            const Vec b = Sub(p[(k + 2) % 3], p[k]);
            frame.angle[k] = std::atan2(Length(Cross(a, b)), Dot(a, b));
        }
    }
    return frames;
}

// Compressed lists: the members of group g are items[start[g] .. start[g + 1]).
struct Groups {
    std::vector<uint32_t> start;
    std::vector<uint32_t> items;
};

// The corners (3 * face + k) at each position, positions being the distinct vertex
// coordinates: a source without shared vertices still smooths across its faces.
Groups CornersByPosition(const SceneMesh& mesh) {
    const std::size_t nv = mesh.verts.size();
    std::vector<KeyedIndex> order(nv);
    for (uint32_t v = 0; v < nv; ++v) order[v] = {KeyOf(mesh.verts[v]), v};
    std::sort(order.begin(), order.end());
    std::vector<uint32_t> position(nv);
    uint32_t count = 0;
    for (std::size_t i = 0; i < nv; ++i) {
        if (i > 0 && order[i].key != order[i - 1].key) ++count;
        position[order[i].index] = count;
    }
    if (nv > 0) ++count;

    Groups g;
    g.start.assign(count + 1, 0);
    for (const auto& face : mesh.faces)
        for (uint32_t v : face) ++g.start[position[v] + 1];
    for (uint32_t p = 0; p < count; ++p) g.start[p + 1] += g.start[p];
    g.items.resize(3 * mesh.faces.size());
    std::vector<uint32_t> fill(g.start.begin(), g.start.end() - 1);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        for (uint32_t k = 0; k < 3; ++k) g.items[fill[position[mesh.faces[f][k]]]++] = static_cast<uint32_t>(3 * f + k);
    return g;
}

class CornerNormals {
public:
    CornerNormals(const std::vector<FaceFrame>& frames, double cosAngle, std::vector<std::array<float, 3>>* out)
        : frames_(frames), cosAngle_(cosAngle), out_(out) {}

    // Normals for the corners in [first, last) that `wanted` selects.
    template <typename Wanted>
    void Position(const uint32_t* first, const uint32_t* last, Wanted wanted) {
        const uint32_t* reference = std::find_if(first, last, [&](uint32_t c) { return Frame(c).valid; });
        if (reference == last) {
            for (const uint32_t* c = first; c != last; ++c)
                if (wanted(*c)) (*out_)[*c] = kFallbackNormal;
            return;
        }
        if (static_cast<std::size_t>(last - first) <= kMaxPairwiseCorners) {
            for (const uint32_t* c = first; c != last; ++c) {
                if (!wanted(*c)) continue;
                const Vec& own = Frame(Frame(*c).valid ? *c : *reference).normal;
                Vec sum{0, 0, 0};
                for (const uint32_t* o = first; o != last; ++o) Add(*o, own, &sum);
                (*out_)[*c] = Resolve(sum, own);
            }
        } else {
            Grouped(first, last, reference, wanted);
        }
    }

private:
    const FaceFrame& Frame(uint32_t corner) const { return frames_[corner / 3]; }

    void Add(uint32_t corner, const Vec& own, Vec* sum) const {
        const FaceFrame& f = Frame(corner);
        if (!f.valid || Dot(f.normal, own) < cosAngle_) return;
        const double w = f.angle[corner % 3];
        for (int k = 0; k < 3; ++k) (*sum)[k] += w * f.normal[k];
    }

    // The sum as a unit normal; the own face's normal when the faces cancelled out.
    static std::array<float, 3> Resolve(const Vec& sum, const Vec& own) {
        const double len = Length(sum);
        const Vec& n = (len > 1e-12 && Dot(sum, own) > 0.0) ? Vec{sum[0] / len, sum[1] / len, sum[2] / len} : own;
        return {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    }

    template <typename Wanted>
    void Grouped(const uint32_t* first, const uint32_t* last, const uint32_t* reference, Wanted wanted) {
        struct Group {
            Vec seed;
            Vec sum;
        };
        std::vector<Group> groups;
        std::vector<int> groupOf(static_cast<std::size_t>(last - first), -1);
        for (const uint32_t* c = first; c != last; ++c) {
            const FaceFrame& f = Frame(*c);
            if (!f.valid) continue;
            int g = 0;
            while (g < static_cast<int>(groups.size()) && Dot(groups[g].seed, f.normal) < cosAngle_) ++g;
            if (g == static_cast<int>(groups.size())) {
                if (groups.size() == kMaxGroups) continue;  // keeps its own face normal
                groups.push_back({f.normal, {0, 0, 0}});
            }
            Add(*c, groups[g].seed, &groups[g].sum);
            groupOf[c - first] = g;
        }
        for (const uint32_t* c = first; c != last; ++c) {
            if (!wanted(*c)) continue;
            const FaceFrame& f = Frame(*c);
            // A corner of a face without area takes the group of the first face with one.
            const Vec& own = (f.valid ? f : Frame(*reference)).normal;
            const int g = f.valid ? groupOf[c - first] : groupOf[reference - first];
            (*out_)[*c] = g >= 0 ? Resolve(groups[g].sum, own) : Resolve(own, own);
        }
    }

    const std::vector<FaceFrame>& frames_;
    double cosAngle_;
    std::vector<std::array<float, 3>>* out_;
};

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
        if (last - first > 1) {
            std::sort(first, last, [&](uint32_t a, uint32_t b) {
                const Key ka = KeyOf(cornerNormals[a]), kb = KeyOf(cornerNormals[b]);
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

void FinishNormals(SceneMesh* mesh, float smoothAngleDegrees, NormalCounts* counts) {
    const std::size_t nv = mesh->verts.size();
    std::vector<uint8_t> need(nv, 0);
    bool anyNeeded = false;
    if (mesh->normals.size() == nv) {
        for (std::size_t v = 0; v < nv; ++v) {
            std::array<float, 3>& n = mesh->normals[v];
            const double len = Length(ToVec(n));
            if (!(len > 0.0) || !std::isfinite(len)) {
                need[v] = 1;
                anyNeeded = true;
                ++counts->recomputed;
            } else if (std::fabs(len - 1.0) > kUnitTolerance) {
                for (float& c : n) c = static_cast<float>(c / len);
                ++counts->rescaled;
            }
        }
    } else {
        mesh->normals.assign(nv, kFallbackNormal);
        std::fill(need.begin(), need.end(), uint8_t{1});
        anyNeeded = nv > 0;
        counts->computed += nv;
    }
    if (!anyNeeded) return;

    double angle = std::isfinite(smoothAngleDegrees) ? smoothAngleDegrees : kDefaultSmoothAngleDegrees;
    angle = std::min(std::max(angle, 0.0), 180.0);
    // A face always counts at its own corners, rounding or not.
    const double cosAngle = std::cos(angle * 3.14159265358979323846 / 180.0) - 1e-9;

    const std::vector<FaceFrame> frames = FaceFrames(*mesh);
    std::vector<std::array<float, 3>> cornerNormals(3 * mesh->faces.size());
    {
        const Groups byPosition = CornersByPosition(*mesh);
        CornerNormals normals(frames, cosAngle, &cornerNormals);
        const auto wanted = [&](uint32_t c) { return need[mesh->faces[c / 3][c % 3]] != 0; };
        for (std::size_t p = 0; p + 1 < byPosition.start.size(); ++p) {
            const uint32_t* first = byPosition.items.data() + byPosition.start[p];
            const uint32_t* last = byPosition.items.data() + byPosition.start[p + 1];
            if (std::any_of(first, last, wanted)) normals.Position(first, last, wanted);
        }
    }
    SplitVertices(mesh, need, cornerNormals);
}

void FinishImportedMesh(SceneMesh* mesh, const std::string& nodeName, float smoothAngleDegrees, NormalCounts* counts,
                        Warnings* warnings) {
    if (!mesh->tverts.empty()) {
        bool repaired = false;
        for (auto& uvw : mesh->tverts) {
            for (float& c : uvw) {
                if (!std::isfinite(c)) {
                    c = 0.0f;
                    repaired = true;
                }
            }
        }
        if (repaired) warnings->Add(WarningKind::UvsRepaired, QuotedName(nodeName) + ": coordinates not finite, set to 0");
        // Copied first: splitting vertices for their normals renumbers only the faces, the
        // texture coordinates stay where they were.
        mesh->tvfaces = mesh->faces;
    }
    const std::size_t brokenBefore = counts->recomputed;
    FinishNormals(mesh, smoothAngleDegrees, counts);
    const std::size_t broken = counts->recomputed - brokenBefore;
    if (broken != 0)
        warnings->Add(WarningKind::NormalsRebuilt, QuotedName(nodeName) + ": " + std::to_string(broken) + " zero or not finite");
}

}  // namespace wux
