// A picture of a WUX file's scene: the meshes in their materials' diffuse colours and maps,
// lit along their normals, see-through where the material is, and the chosen overlays as
// lines over them.
#pragma once

#include "picture/camera.h"
#include "picture/overlay_lines.h"
#include "picture/picture_scene.h"
#include "picture/rasteriser.h"

namespace wux {

// The largest picture, each way: a bigger one would take gigabytes of samples.
constexpr int kMaxPictureSide = 8192;

// The most samples the triangles' boxes may cover together (a few seconds of drawing): a
// small file of many large overlapping triangles would otherwise take minutes.
constexpr std::uint64_t kMaxRenderSamples = std::uint64_t{1} << 32;

struct RenderOptions {
    int width = 800, height = 600;
    std::uint64_t maxSamples = kMaxRenderSamples;
    View view = View::ThreeQuarter;
    OverlaySet overlays;
    Rgb background = kDefaultBackground;

    static constexpr Rgb kDefaultBackground{0.18f, 0.2f, 0.24f};
};

// width and height must be 1 to kMaxPictureSide. An empty image (width 0) when the
// triangles' boxes cover more than options.maxSamples samples: counted before any is drawn.
Image RenderPicture(const PictureScene& scene, const RenderOptions& options, const TriangleProgress& progress = {});

// The light comes from over the viewer's left shoulder.
Vec3 TowardsLight(const Camera& camera);

}  // namespace wux
