#include "format/world_normals.h"

#include <algorithm>
#include <cmath>

#include "format/wux_format.h"

namespace wux {
namespace {

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Length(const Vec& a) { return std::sqrt(Dot(a, a)); }
Vec ToVec(const std::array<float, 3>& a) { return {a[0], a[1], a[2]}; }
Vec Apply(const Matrix3& m, const Vec& x) { return {Dot(m[0], x), Dot(m[1], x), Dot(m[2], x)}; }

// The unit vector along v; none for a zero or non-finite one.
std::optional<Vec> Unit(const Vec& v) {
    const double len = Length(v);
    if (!(len > 0.0) || !std::isfinite(len)) return std::nullopt;
    return Vec{v[0] / len, v[1] / len, v[2] / len};
}

std::array<float, 3> ToFloats(const Vec& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

const std::array<float, 3> kFallbackNormal{0.0f, 0.0f, 1.0f};

// Eigenvalues and unit eigenvectors (the columns of *vectors) of the symmetric n x n matrix
// a, row-major, by cyclic Jacobi rotations; a is destroyed.
void SymmetricEigen(std::vector<double> a, std::size_t n, std::vector<double>* values, std::vector<double>* vectors) {
    std::vector<double>& v = *vectors;
    v.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) v[i * n + i] = 1.0;
    for (int sweep = 0; sweep < 60; ++sweep) {
        double off = 0.0, all = 0.0;
        for (std::size_t p = 0; p < n; ++p)
            for (std::size_t q = 0; q < n; ++q) (p == q ? all : off) += a[p * n + q] * a[p * n + q];
        if (!(off > 1e-30 * (all + off))) break;
        for (std::size_t p = 0; p + 1 < n; ++p) {
            for (std::size_t q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (apq == 0.0) continue;
                const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
                const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                // Turns each pair x[i + k step], x[j + k step] by the rotation.
                const auto turn = [&](std::vector<double>& x, std::size_t i, std::size_t j, std::size_t step) {
                    for (std::size_t k = 0; k < n; ++k) {
                        const double xi = x[i + k * step], xj = x[j + k * step];
                        x[i + k * step] = c * xi - s * xj;
                        x[j + k * step] = s * xi + c * xj;
                    }
                };
                turn(a, p, q, n);          // columns p and q
                turn(a, p * n, q * n, 1);  // rows p and q
                turn(v, p, q, n);
            }
        }
    }
    values->resize(n);
    for (std::size_t i = 0; i < n; ++i) (*values)[i] = a[i * n + i];
}

// --- Smooth normals from the triangles --------------------------------------------------

// Up to this many corners at one position every pair is compared; above it (a fan of
// thousands of triangles) the corners are grouped by face normal instead, so the work
// stays linear in the corners.
constexpr std::size_t kMaxPairwiseCorners = 64;
constexpr std::size_t kMaxGroups = 64;

// A face's unit normal and the angle at each of its corners; a face without area has no
// normal and weighs nothing.
struct FaceFrame {
    Vec normal{};
    double angle[3] = {0, 0, 0};
    bool valid = false;
};

using Positions = std::vector<std::array<float, 3>>;
using Faces = std::vector<std::array<std::uint32_t, 3>>;

std::vector<FaceFrame> FaceFrames(const Positions& verts, const Faces& faces) {
    std::vector<FaceFrame> frames(faces.size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const auto& face = faces[f];
        const Vec p[3] = {ToVec(verts[face[0]]), ToVec(verts[face[1]]), ToVec(verts[face[2]])};
        FaceFrame& frame = frames[f];
        const std::optional<Vec> n = Unit(Cross(Sub(p[1], p[0]), Sub(p[2], p[0])));
        if (!n) continue;
        frame.normal = *n;
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
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> items;
};

// The corners (3 * face + k) at each position, positions being the distinct vertex
// coordinates: a source without shared vertices still smooths across its faces. Vertices are
// welded through a hash table, so the work stays linear in the vertices.
Groups CornersByPosition(const Positions& verts, const Faces& faces) {
    const std::size_t nv = verts.size();
    std::size_t mask = 15;
    while (mask < 2 * nv) mask = 2 * mask + 1;
    constexpr std::uint32_t kEmpty = 0xffffffffu;
    std::vector<std::uint32_t> table(mask + 1, kEmpty), position(nv);
    const auto slotOf = [&](const VectorKey& key) {
        const std::uint64_t h = (key.first ^ (key.second * 0x9E3779B97F4A7C15u)) * 0xBF58476D1CE4E5B9u;
        return static_cast<std::size_t>(h ^ h >> 31) & mask;
    };
    // The table is far larger than the caches: its slots are fetched some vertices ahead.
    constexpr std::uint32_t kAhead = 16;
    std::vector<VectorKey> keys;  // of each position, dense
    for (std::uint32_t v = 0; v < nv; ++v) {
        if (v + kAhead < nv) __builtin_prefetch(&table[slotOf(KeyOf(verts[v + kAhead]))]);
        const auto key = KeyOf(verts[v]);
        std::size_t slot = slotOf(key);
        while (table[slot] != kEmpty && keys[table[slot]] != key) slot = (slot + 1) & mask;
        if (table[slot] == kEmpty) {
            table[slot] = static_cast<std::uint32_t>(keys.size());
            keys.push_back(key);
        }
        position[v] = table[slot];
    }
    const auto count = static_cast<std::uint32_t>(keys.size());
    std::vector<std::uint32_t>().swap(table);
    std::vector<VectorKey>().swap(keys);

    Groups g;
    g.start.assign(count + 1, 0);
    for (const auto& face : faces)
        for (std::uint32_t v : face) ++g.start[position[v] + 1];
    for (std::uint32_t p = 0; p < count; ++p) g.start[p + 1] += g.start[p];
    g.items.resize(3 * faces.size());
    std::vector<std::uint32_t> fill(g.start.begin(), g.start.end() - 1);
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (std::uint32_t k = 0; k < 3; ++k)
            g.items[fill[position[faces[f][k]]]++] = static_cast<std::uint32_t>(3 * f + k);
    return g;
}

// The sum as a unit normal; the own face's normal when the faces cancelled out.
std::array<float, 3> Resolve(const Vec& sum, const Vec& own) {
    const double len = Length(sum);
    return ToFloats((len > 1e-12 && Dot(sum, own) > 0.0) ? Vec{sum[0] / len, sum[1] / len, sum[2] / len} : own);
}

// Of the stored normals, at least this share must face the side of their own triangle
// under the fitted transform for it to count as the record's transform. Smooth normals lean
// away from their faces but mostly stay on their side; a wrong transform turns many around.
constexpr double kFacingShare = 0.9;
// The fit's rounds: one where the map is a rotation and uniform scale, more the more the
// map scales some directions over others.
constexpr int kMaxFitRounds = 100;

// The map that takes every u exactly along its f, where one does (flat faces under any
// transform, the same normals in two frames): B W with B the null vector of the sum of
// (y y^T) (x) (I - f f^T) over y = W u, which a fit by rounds reaches only slowly where the
// map scales some directions far more than others.
std::optional<Matrix3> ExactMap(const std::vector<Vec>& u, const std::vector<Vec>& f, const std::vector<Vec>& whiten) {
    const std::size_t r = whiten.size(), m = 3 * r;
    std::vector<double> normal(m * m, 0.0);
    for (std::size_t i = 0; i < u.size(); ++i) {
        double y[3];
        for (std::size_t k = 0; k < r; ++k) y[k] = Dot(whiten[k], u[i]);
        for (std::size_t k = 0; k < r; ++k)
            for (std::size_t l = 0; l < r; ++l)
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b)
                        normal[(3 * k + a) * m + 3 * l + b] += y[k] * y[l] * ((a == b ? 1.0 : 0.0) - f[i][a] * f[i][b]);
    }
    std::vector<double> values, vectors;
    SymmetricEigen(normal, m, &values, &vectors);
    const std::size_t best = static_cast<std::size_t>(std::min_element(values.begin(), values.end()) - values.begin());
    Matrix3 map{};
    for (int a = 0; a < 3; ++a)
        for (int c = 0; c < 3; ++c)
            for (std::size_t k = 0; k < r; ++k) map[a][c] += vectors[(3 * k + a) * m + best] * whiten[k][c];
    double along = 0.0;
    for (std::size_t i = 0; i < u.size(); ++i) {
        const std::optional<Vec> image = Unit(Apply(map, u[i]));
        if (!image) return std::nullopt;
        if (Length(Cross(*image, f[i])) > 1e-5) return std::nullopt;
        along += Dot(*image, f[i]);
    }
    if (along < 0.0)
        for (auto& row : map)
            for (double& x : row) x = -x;
    // Every image along its target, none against it.
    for (std::size_t i = 0; i < u.size(); ++i)
        if (Dot(Apply(map, u[i]), f[i]) <= 0.0) return std::nullopt;
    return map;
}

}  // namespace

std::optional<Matrix3> FitDirectionMap(const std::vector<std::array<float, 3>>& from,
                                       const std::vector<std::array<float, 3>>& to) {
    std::vector<Vec> u, f;
    const std::size_t n = std::min(from.size(), to.size());
    u.reserve(n);
    f.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::optional<Vec> a = Unit(ToVec(from[i])), b = Unit(ToVec(to[i]));
        if (!a || !b) continue;
        u.push_back(*a);
        f.push_back(*b);
    }
    if (u.empty()) return std::nullopt;

    // Directions the `from` vectors hardly reach are left out, or their noise would be fitted.
    std::vector<double> spread(9, 0.0), lambda, axes;
    for (const Vec& x : u)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) spread[3 * r + c] += x[r] * x[c];
    SymmetricEigen(spread, 3, &lambda, &axes);
    const double largest = *std::max_element(lambda.begin(), lambda.end());
    Matrix3 inverse{};
    std::vector<Vec> whiten;  // y = W u has the same spread along every direction kept
    for (int k = 0; k < 3; ++k) {
        if (!(lambda[k] > 1e-4 * largest)) continue;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) inverse[r][c] += axes[3 * r + k] * axes[3 * c + k] / lambda[k];
        const double s = 1.0 / std::sqrt(lambda[k]);
        whiten.push_back({axes[k] * s, axes[3 + k] * s, axes[6 + k] * s});
    }
    if (const std::optional<Matrix3> exact = ExactMap(u, f, whiten)) return exact;

    // Least squares of M u = s f over M, the lengths s first 1, then each image's own
    // length, so that only directions count: the best compromise where normals are smoothed.
    std::vector<double> length(u.size(), 1.0);
    Matrix3 map{};
    for (int round = 0; round < kMaxFitRounds; ++round) {
        Matrix3 pull{};  // the sum of s f u^T
        for (std::size_t i = 0; i < u.size(); ++i)
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) pull[r][c] += length[i] * f[i][r] * u[i][c];
        Matrix3 next{};
        double size = 0.0, change = 0.0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                for (int k = 0; k < 3; ++k) next[r][c] += pull[r][k] * inverse[k][c];
                size += next[r][c] * next[r][c];
            }
        if (!(size > 0.0) || !std::isfinite(size)) return std::nullopt;
        size = std::sqrt(size);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                next[r][c] /= size;
                change = std::max(change, std::fabs(next[r][c] - map[r][c]));
            }
        map = next;
        if (change < 1e-10) break;
        for (std::size_t i = 0; i < u.size(); ++i) length[i] = Length(Apply(map, u[i]));
    }
    return map;
}

std::optional<std::array<float, 3>> MapDirection(const Matrix3& m, const std::array<float, 3>& v) {
    const std::optional<Vec> unit = Unit(Apply(m, ToVec(v)));
    if (!unit) return std::nullopt;
    return ToFloats(*unit);
}

std::vector<std::array<float, 3>> SmoothCornerNormals(const Positions& positions, const Faces& faces,
                                                      double smoothAngleDegrees, const std::vector<std::uint8_t>& wanted) {
    const double angle = std::isfinite(smoothAngleDegrees) ? std::clamp(smoothAngleDegrees, 0.0, 180.0) : kDefaultSmoothAngle;
    // A face always counts at its own corners, rounding or not.
    const double cosAngle = std::cos(angle * 3.14159265358979323846 / 180.0) - 1e-9;
    std::vector<std::array<float, 3>> out(3 * faces.size(), std::array<float, 3>{0.0f, 0.0f, 0.0f});
    const std::vector<FaceFrame> frames = FaceFrames(positions, faces);
    const Groups byPosition = CornersByPosition(positions, faces);
    const auto frame = [&](std::uint32_t corner) -> const FaceFrame& { return frames[corner / 3]; };
    const auto want = [&](std::uint32_t c) { return wanted.empty() || wanted[faces[c / 3][c % 3]] != 0; };
    // Adds the corner's face normal, weighed by its angle there, when the face meets own within the angle.
    const auto add = [&](std::uint32_t corner, const Vec& own, Vec* sum) {
        const FaceFrame& f = frame(corner);
        if (!f.valid || Dot(f.normal, own) < cosAngle) return;
        const double w = f.angle[corner % 3];
        for (int k = 0; k < 3; ++k) (*sum)[k] += w * f.normal[k];
    };
    struct Group {
        Vec seed;
        Vec sum;
    };
    for (std::size_t p = 0; p + 1 < byPosition.start.size(); ++p) {
        const std::uint32_t* first = byPosition.items.data() + byPosition.start[p];
        const std::uint32_t* last = byPosition.items.data() + byPosition.start[p + 1];
        if (std::none_of(first, last, want)) continue;
        const std::uint32_t* reference = std::find_if(first, last, [&](std::uint32_t c) { return frame(c).valid; });
        if (reference == last) {
            for (const std::uint32_t* c = first; c != last; ++c)
                if (want(*c)) out[*c] = kFallbackNormal;
        } else if (static_cast<std::size_t>(last - first) <= kMaxPairwiseCorners) {
            for (const std::uint32_t* c = first; c != last; ++c) {
                if (!want(*c)) continue;
                const Vec& own = frame(frame(*c).valid ? *c : *reference).normal;
                Vec sum{0, 0, 0};
                for (const std::uint32_t* o = first; o != last; ++o) add(*o, own, &sum);
                out[*c] = Resolve(sum, own);
            }
        } else {
            std::vector<Group> groups;
            std::vector<int> groupOf(static_cast<std::size_t>(last - first), -1);
            for (const std::uint32_t* c = first; c != last; ++c) {
                const FaceFrame& f = frame(*c);
                if (!f.valid) continue;
                int g = 0;
                while (g < static_cast<int>(groups.size()) && Dot(groups[g].seed, f.normal) < cosAngle) ++g;
                if (g == static_cast<int>(groups.size())) {
                    if (groups.size() == kMaxGroups) continue;  // keeps its own face normal
                    groups.push_back({f.normal, {0, 0, 0}});
                }
                add(*c, groups[g].seed, &groups[g].sum);
                groupOf[c - first] = g;
            }
            for (const std::uint32_t* c = first; c != last; ++c) {
                if (!want(*c)) continue;
                const FaceFrame& f = frame(*c);
                // A corner of a face without area takes the group of the first face with one.
                const Vec& own = (f.valid ? f : frame(*reference)).normal;
                const int g = f.valid ? groupOf[c - first] : groupOf[reference - first];
                out[*c] = g >= 0 ? Resolve(groups[g].sum, own) : Resolve(own, own);
            }
        }
    }
    return out;
}

WorldNormals MeshWorldNormals(const VertexChunk& mesh) {
    WorldNormals result;
    const std::size_t count = static_cast<std::size_t>(mesh.faceCount);
    result.corners.assign(3 * count, kFallbackNormal);
    if (count == 0) return result;
    Positions positions;
    positions.reserve(static_cast<std::size_t>(mesh.vertexCount));
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) positions.push_back({mesh.vertices[i].x, mesh.vertices[i].y, mesh.vertices[i].z});
    // The triangles that index vertices, each with its place among all the triangles.
    Faces faces;
    std::vector<std::size_t> from;
    for (std::size_t t = 0; t < count; ++t) {
        const std::uint16_t* tri = &mesh.triangles[3 * t];
        if (tri[0] >= positions.size() || tri[1] >= positions.size() || tri[2] >= positions.size()) continue;
        faces.push_back({tri[0], tri[1], tri[2]});
        from.push_back(t);
    }
    // Each corner's stored normal beside its triangle's world-space normal; zero where
    // either is missing, so the fit passes the pair over.
    std::vector<std::array<float, 3>> stored(3 * count), facing(3 * count);
    const std::vector<FaceFrame> frames = FaceFrames(positions, faces);
    for (std::size_t f = 0; f < faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            if (frames[f].valid) facing[3 * from[f] + k] = ToFloats(frames[f].normal);
            const MeshNormal& n = mesh.normals[faces[f][k]];
            stored[3 * from[f] + k] = {n.x, n.y, n.z};
        }
    }

    const std::optional<Matrix3> map = FitDirectionMap(stored, facing);
    std::size_t pairs = 0, facingPairs = 0;
    if (map) {
        for (std::size_t c = 0; c < stored.size(); ++c) {
            const std::optional<std::array<float, 3>> n = MapDirection(*map, stored[c]);
            const std::optional<Vec> face = Unit(ToVec(facing[c]));
            if (n) result.corners[c] = *n;
            else if (face) result.corners[c] = facing[c];
            if (!face || !Unit(ToVec(stored[c]))) continue;
            ++pairs;
            facingPairs += Dot(ToVec(result.corners[c]), *face) > 0.0;
        }
    }
    if (pairs > 0 && static_cast<double>(facingPairs) >= kFacingShare * static_cast<double>(pairs)) return result;

    // No one transform: smooth normals of the triangles that index vertices.
    result.fitted = false;
    result.corners.assign(3 * count, kFallbackNormal);
    const std::vector<std::array<float, 3>> smooth = SmoothCornerNormals(positions, faces, kDefaultSmoothAngle);
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (int k = 0; k < 3; ++k) result.corners[3 * from[f] + k] = smooth[3 * f + k];
    return result;
}

}  // namespace wux
