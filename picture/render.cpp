#include "picture/render.h"

#include <algorithm>
#include <cmath>

namespace wux {
namespace {

// Up to this many pixels each pixel is the mean of 2 x 2 samples, which smooths edges.
constexpr long long kSmoothedPixels = 4LL * 1024 * 1024;

}  // namespace

Vec3 TowardsLight(const Camera& camera) {
    return Normalised(camera.right * -0.45 + camera.up * 0.6 + camera.forward * -0.65);
}

Image RenderPicture(const PictureScene& scene, const RenderOptions& options, const TriangleProgress& progress) {
    // Framed: the meshes' box and every point of the overlays drawn (their boxes would
    // leave the corners around each circle empty).
    std::vector<OverlayLines> overlays;
    std::vector<Vec3> framed = Corners(scene.meshBounds);
    for (OverlayKind kind : kOverlayKinds) {
        if (!options.overlays.Has(kind)) continue;
        overlays.push_back(BuildOverlayLines(scene, kind));
        for (const Segment& s : overlays.back().segments) {
            framed.push_back(s.a);
            framed.push_back(s.b);
        }
    }

    const int factor = static_cast<long long>(options.width) * options.height <= kSmoothedPixels ? 2 : 1;
    const int width = options.width * factor, height = options.height * factor;
    const Camera camera = FramePoints(framed, options.view, width, height);
    auto corners = [&](const MaterialGroup& group, std::size_t first) {
        std::array<ShadedCorner, 3> out;
        for (std::size_t k = 0; k < 3; ++k) {
            const auto& p = group.positions[first + k];
            out[k] = {Project(camera, {p[0], p[1], p[2]}), group.normals[first + k],
                      group.uvs.empty() ? std::array<float, 2>{} : group.uvs[first + k]};
        }
        return out;
    };
    std::uint64_t samples = 0;
    for (const MaterialGroup& group : scene.groups)
        for (std::size_t i = 0; i + 2 < group.positions.size() && samples <= options.maxSamples; i += 3)
            samples += Rasteriser::BoxSamples(corners(group, i), width, height);
    if (samples > options.maxSamples) return Image{};
    Rasteriser raster(width, height, options.background, TowardsLight(camera));

    auto surface = [&](const MaterialGroup& group) {
        const PictureTexture* texture = group.texture >= 0 ? &scene.textures[static_cast<std::size_t>(group.texture)] : nullptr;
        return Surface{group.colour, texture, group.textureAmount, group.opacity, group.filter};
    };
    // See-through triangles after every opaque one, farthest first.
    struct SeeThrough {
        float depth;
        const MaterialGroup* group;
        std::size_t first;
    };
    std::vector<SeeThrough> seeThrough;
    std::uint64_t done = 0;
    for (const MaterialGroup& group : scene.groups) {
        const Surface s = surface(group);
        for (std::size_t i = 0; i + 2 < group.positions.size(); i += 3) {
            if (progress && ++done % kProgressStep == 0) progress(done);
            const std::array<ShadedCorner, 3> c = corners(group, i);
            const float depth = c[0].at.depth + c[1].at.depth + c[2].at.depth;
            if (group.opacity >= 1) raster.Triangle(c, s);
            else if (std::isfinite(depth)) seeThrough.push_back({depth, &group, i});  // others are not drawn
        }
    }
    std::stable_sort(seeThrough.begin(), seeThrough.end(),
                     [](const SeeThrough& a, const SeeThrough& b) { return a.depth > b.depth; });
    for (const SeeThrough& t : seeThrough) raster.Triangle(corners(*t.group, t.first), surface(*t.group));
    for (const OverlayLines& lines : overlays)
        for (const Segment& s : lines.segments)
            raster.Line(Project(camera, s.a), Project(camera, s.b), OverlayColour(lines.kind), factor * 3 / 2);
    return raster.Resolve(factor);
}

}  // namespace wux
