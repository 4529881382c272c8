// A small software rasteriser: flat-coloured triangles through a depth buffer and lines
// drawn over them, on a grid of samples that Resolve() averages into the picture's pixels.
// It needs no display, no GPU and no library, so it works the same on every machine.
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

class Rasteriser {
public:
    // width and height in samples.
    Rasteriser(int width, int height, Rgb background);

    // Fills the samples whose centres the triangle covers and that nothing nearer covers.
    // The corners are in samples; a corner not in front of the camera (depth <= 0) or not
    // finite leaves the triangle out.
    void Triangle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, Rgb colour);
    // A line `thickness` samples wide, drawn over everything.
    void Line(ScreenPoint a, ScreenPoint b, Rgb colour, int thickness);

    // Each factor x factor block of samples becomes one pixel, the mean of its samples.
    Image Resolve(int factor) const;

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    using Sample = std::array<std::uint8_t, 3>;
    void Fill(int x, int y, Sample colour);

    int width_, height_;
    std::vector<Sample> colour_;
    std::vector<float> inverseDepth_;  // 1/depth: linear in screen space, larger is nearer
};

}  // namespace wux
