#include "picture/render.h"

#include <cmath>

namespace wux {
namespace {

// Up to this many pixels each pixel is the mean of 2 x 2 samples, which smooths edges.
constexpr long long kSmoothedPixels = 4LL * 1024 * 1024;
constexpr double kAmbient = 0.3;

int SamplesPerSide(const RenderOptions& options) {
    return static_cast<long long>(options.width) * options.height <= kSmoothedPixels ? 2 : 1;
}

}  // namespace

float FaceLight(const Camera& camera, Vec3 n) {
    const Vec3 towardsLight = Normalised(camera.right * -0.45 + camera.up * 0.6 + camera.forward * -0.65);
    return static_cast<float>(kAmbient + (1 - kAmbient) * std::fabs(Dot(n, towardsLight)));
}

Image RenderPicture(const PictureScene& scene, const RenderOptions& options) {
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

    const int factor = SamplesPerSide(options);
    const int width = options.width * factor, height = options.height * factor;
    const Camera camera = FramePoints(framed, options.view, width, height);
    Rasteriser raster(width, height, options.background);

    for (const MaterialGroup& group : scene.groups) {
        const auto& p = group.positions;
        for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
            const Vec3 a{p[i][0], p[i][1], p[i][2]}, b{p[i + 1][0], p[i + 1][1], p[i + 1][2]},
                c{p[i + 2][0], p[i + 2][1], p[i + 2][2]};
            const float light = FaceLight(camera, Normalised(Cross(b - a, c - a)));
            raster.Triangle(Project(camera, a), Project(camera, b), Project(camera, c),
                            {group.colour[0] * light, group.colour[1] * light, group.colour[2] * light});
        }
    }
    for (const OverlayLines& lines : overlays)
        for (const Segment& s : lines.segments)
            raster.Line(Project(camera, s.a), Project(camera, s.b), OverlayColour(lines.kind), factor * 3 / 2);
    return raster.Resolve(factor);
}

}  // namespace wux
