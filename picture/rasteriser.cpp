#include "picture/rasteriser.h"

#include <algorithm>
#include <cmath>

namespace wux {
namespace {

bool Usable(const ScreenPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth) && p.depth > 0;
}

// Clips the segment a-b to the rectangle [lo, hi] (Liang-Barsky); false when nothing is left.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double loX, double loY, double hiX, double hiY) {
    double t0 = 0, t1 = 1;
    const double dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - loX, hiX - ax, ay - loY, hiY - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    bx = ax + t1 * dx;
    by = ay + t1 * dy;
    ax = ax + t0 * dx;
    ay = ay + t0 * dy;
    return true;
}

// Sample indices are clamped in double first: a corner far outside the picture must not
// overflow the conversion to int.
int ClampedIndex(double value, int lo, int hi) { return static_cast<int>(std::clamp(value, double(lo), double(hi))); }

std::array<std::uint8_t, 3> ToBytes(Rgb colour) {
    std::array<std::uint8_t, 3> out{};
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<std::uint8_t>(std::lround(std::clamp(colour[k], 0.0f, 1.0f) * 255.0f));
    return out;
}

// Bilinear, the image repeated beyond 0..1 as maps are.
Rgb Texel(const TexturePixels& t, double u, double v) {
    const double x = u * t.width - 0.5, y = v * t.height - 0.5;
    if (!std::isfinite(x) || !std::isfinite(y)) return {0, 0, 0};
    const double fx = std::floor(x), fy = std::floor(y);
    // fmod is exact, so coordinates far out still land inside the image.
    const auto wrap = [](double i, int n) {
        const double m = std::fmod(i, n);
        return static_cast<std::size_t>(m < 0 ? m + n : m) % n;
    };
    const std::size_t x0 = wrap(fx, t.width), x1 = (x0 + 1) % t.width, y0 = wrap(fy, t.height), y1 = (y0 + 1) % t.height;
    const double ax = x - fx, ay = y - fy;
    Rgb out{};
    for (int k = 0; k < 3; ++k) {
        auto at = [&](std::size_t px, std::size_t py) { return t.pixels[3 * (py * t.width + px) + k] / 255.0; };
        out[k] = static_cast<float>((at(x0, y0) * (1 - ax) + at(x1, y0) * ax) * (1 - ay) +
                                    (at(x0, y1) * (1 - ax) + at(x1, y1) * ax) * ay);
    }
    return out;
}

// The samples whose centres lie in the triangle's box: x0, x1, y0, y1, inclusive; empty (x0 > x1
// or y0 > y1) when a corner is not usable.
std::array<int, 4> BoxOf(const std::array<ShadedCorner, 3>& corners, int width, int height) {
    const ScreenPoint &a = corners[0].at, &b = corners[1].at, &c = corners[2].at;
    if (!Usable(a) || !Usable(b) || !Usable(c)) return {0, -1, 0, -1};
    const double minX = std::min({double{a.x}, double{b.x}, double{c.x}});
    const double maxX = std::max({double{a.x}, double{b.x}, double{c.x}});
    const double minY = std::min({double{a.y}, double{b.y}, double{c.y}});
    const double maxY = std::max({double{a.y}, double{b.y}, double{c.y}});
    // Sample centres at i + 0.5.
    return {ClampedIndex(std::ceil(minX - 0.5), 0, width), ClampedIndex(std::floor(maxX - 0.5), -1, width - 1),
            ClampedIndex(std::ceil(minY - 0.5), 0, height), ClampedIndex(std::floor(maxY - 0.5), -1, height - 1)};
}

constexpr double kAmbient = 0.3;

}  // namespace

float Brightness(Vec3 n, Vec3 towardsLight) {
    return static_cast<float>(kAmbient + (1 - kAmbient) * std::fabs(Dot(n, towardsLight)));
}

Rasteriser::Rasteriser(int width, int height, Rgb background, Vec3 towardsLight)
    : width_(width),
      height_(height),
      towardsLight_(towardsLight),
      colour_(static_cast<std::size_t>(width) * height, ToBytes(background)),
      inverseDepth_(static_cast<std::size_t>(width) * height, 0.0f) {}

std::uint64_t Rasteriser::BoxSamples(const std::array<ShadedCorner, 3>& corners, int width, int height) {
    const auto [x0, x1, y0, y1] = BoxOf(corners, width, height);
    return std::uint64_t(std::max(0, x1 - x0 + 1)) * std::uint64_t(std::max(0, y1 - y0 + 1));
}

void Rasteriser::Triangle(const std::array<ShadedCorner, 3>& corners, const Surface& surface) {
    const auto [x0, x1, y0, y1] = BoxOf(corners, width_, height_);
    if (x0 > x1 || y0 > y1) return;
    const ScreenPoint &a = corners[0].at, &b = corners[1].at, &c = corners[2].at;
    // Edge functions in double: corners far outside the picture keep their precision.
    const double area = (double{b.x} - a.x) * (double{c.y} - a.y) - (double{b.y} - a.y) * (double{c.x} - a.x);
    if (area == 0 || !std::isfinite(area)) return;

    const bool opaque = surface.opacity >= 1;
    const TexturePixels* texture = surface.texture && !surface.texture->rgb.pixels.empty() ? &surface.texture->rgb : nullptr;
    const double invArea = 1.0 / area;
    const double z[3] = {1.0 / a.depth, 1.0 / b.depth, 1.0 / c.depth};
    for (int y = y0; y <= y1; ++y) {
        const double py = y + 0.5;
        for (int x = x0; x <= x1; ++x) {
            const double px = x + 0.5;
            // Barycentric weights of a, b, c; the sign of area makes both windings fill.
            const double wa = ((double{b.x} - px) * (double{c.y} - py) - (double{b.y} - py) * (double{c.x} - px)) * invArea;
            const double wb = ((double{c.x} - px) * (double{a.y} - py) - (double{c.y} - py) * (double{a.x} - px)) * invArea;
            const double wc = 1.0 - wa - wb;
            if (wa < 0 || wb < 0 || wc < 0) continue;
            const double inverseDepth = wa * z[0] + wb * z[1] + wc * z[2];
            float& stored = inverseDepth_[static_cast<std::size_t>(y) * width_ + x];
            if (static_cast<float>(inverseDepth) <= stored) continue;
            if (opaque) stored = static_cast<float>(inverseDepth);
            // Weights in the world, not on the screen: a texture must not swim with perspective.
            const double w[3] = {wa * z[0] / inverseDepth, wb * z[1] / inverseDepth, wc * z[2] / inverseDepth};
            Vec3 n;
            double u = 0, v = 0;
            for (int k = 0; k < 3; ++k) {
                n = n + Vec3{corners[k].normal[0], corners[k].normal[1], corners[k].normal[2]} * w[k];
                u += corners[k].uv[0] * w[k];
                v += corners[k].uv[1] * w[k];
            }
            Rgb colour = surface.colour;
            if (texture) {
                const Rgb t = Texel(*texture, u, v);
                for (int k = 0; k < 3; ++k) colour[k] += (t[k] - colour[k]) * surface.amount;
            }
            const float light = Brightness(Normalised(n), towardsLight_);
            Sample& sample = colour_[static_cast<std::size_t>(y) * width_ + x];
            for (int k = 0; k < 3; ++k) {
                colour[k] *= light;
                if (!opaque)
                    colour[k] = colour[k] * surface.opacity + sample[k] / 255.0f * (1 - surface.opacity) * surface.filter[k];
            }
            sample = ToBytes(colour);
        }
    }
}

void Rasteriser::Line(ScreenPoint a, ScreenPoint b, Rgb colour, int thickness) {
    if (!Usable(a) || !Usable(b)) return;
    double ax = a.x, ay = a.y, bx = b.x, by = b.y;
    if (!ClipSegment(ax, ay, bx, by, 0, 0, width_, height_)) return;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(bx - ax), std::fabs(by - ay)))) + 1;
    const int before = (thickness - 1) / 2;
    const Sample fill = ToBytes(colour);
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const int cx = static_cast<int>(std::floor(ax + t * (bx - ax))) - before;
        const int cy = static_cast<int>(std::floor(ay + t * (by - ay))) - before;
        for (int y = std::max(0, cy); y < std::min(height_, cy + thickness); ++y)
            for (int x = std::max(0, cx); x < std::min(width_, cx + thickness); ++x)
                colour_[static_cast<std::size_t>(y) * width_ + x] = fill;
    }
}

Image Rasteriser::Resolve(int factor) const {
    Image image;
    image.width = width_ / factor;
    image.height = height_ / factor;
    image.rgb.resize(3 * static_cast<std::size_t>(image.width) * image.height);
    const int count = factor * factor;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int sum[3] = {0, 0, 0};
            for (int sy = 0; sy < factor; ++sy)
                for (int sx = 0; sx < factor; ++sx) {
                    const Sample& c = colour_[static_cast<std::size_t>(y * factor + sy) * width_ + x * factor + sx];
                    for (int k = 0; k < 3; ++k) sum[k] += c[k];
                }
            std::uint8_t* out = &image.rgb[3 * (static_cast<std::size_t>(y) * image.width + x)];
            for (int k = 0; k < 3; ++k) out[k] = static_cast<std::uint8_t>((sum[k] + count / 2) / count);
        }
    }
    return image;
}

}  // namespace wux
