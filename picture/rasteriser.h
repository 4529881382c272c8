// A small software rasteriser: lit, textured and see-through triangles through a depth
// buffer and lines drawn over them, on a grid of samples that Resolve() averages into the
// picture's pixels. It needs no display, no GPU and no library, so it works the same on
// every machine.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "picture/camera.h"
#include "picture/picture_scene.h"

namespace wux {

// 8-bit RGB, row by row from the top.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* Pixel(int x, int y) const { return &rgb[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

// What a triangle's samples take their colour from.
struct Surface {
    Rgb colour{};                             // the diffuse colour
    const PictureTexture* texture = nullptr;  // decoded; drawn over the colour by `amount`
    float amount = 0;
    float opacity = 1;                        // below 1: over what lies behind, tinted by `filter`
    Rgb filter{1, 1, 1};
};

// A triangle's corner: where it lands (in samples), its world normal, its texture coordinates.
struct ShadedCorner {
    ScreenPoint at;
    std::array<float, 3> normal{};
    std::array<float, 2> uv{};
};

// The brightness of a surface whose unit normal is n: both sides lit alike, because the
// file's triangles carry no reliable winding.
float Brightness(Vec3 n, Vec3 towardsLight);

class Rasteriser {
public:
    // width and height in samples; towardsLight a unit vector in the world.
    Rasteriser(int width, int height, Rgb background, Vec3 towardsLight);

    // Colours the samples whose centres the triangle covers and that nothing nearer covers,
    // the normals and texture coordinates interpolated across it. An opaque surface hides
    // what is behind; a see-through one neither hides nor is hidden by what comes later, so
    // such triangles are drawn last, farthest first. A corner not in front of the camera
    // (depth <= 0) or not finite leaves the triangle out.
    void Triangle(const std::array<ShadedCorner, 3>& corners, const Surface& surface);
    // The samples in the triangle's box, in a grid of width x height: what Triangle() tests.
    static std::uint64_t BoxSamples(const std::array<ShadedCorner, 3>& corners, int width, int height);
    // A line `thickness` samples wide, drawn over everything.
    void Line(ScreenPoint a, ScreenPoint b, Rgb colour, int thickness);

    // Each factor x factor block of samples becomes one pixel, the mean of its samples.
    Image Resolve(int factor) const;

private:
    using Sample = std::array<std::uint8_t, 3>;

    int width_, height_;
    Vec3 towardsLight_;
    std::vector<Sample> colour_;
    std::vector<float> inverseDepth_;  // 1/depth: linear in screen space, larger is nearer
};

}  // namespace wux
