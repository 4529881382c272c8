// The software renderer, its camera and its option words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "picture/camera.h"
#include "picture/picture_options.h"
#include "picture/render.h"
#include "tests/picture/picture_test_files.h"

namespace {

using picturetest::IsColour;
using picturetest::IsRed;
using picturetest::kBackground;

wux::Image Render(const wux::PictureScene& scene, wux::View view = wux::View::ThreeQuarter,
                  const std::string& overlays = "none", int width = 160, int height = 120) {
    wux::RenderOptions options;
    options.width = width;
    options.height = height;
    options.view = view;
    options.overlays = *wux::ParseOverlaySet(overlays);
    return wux::RenderPicture(scene, options);
}

void ExpectBoxInTheMiddle(const wux::Image& image, const std::string& what) {
    ASSERT_EQ(image.rgb.size(), 3u * image.width * image.height);
    EXPECT_TRUE(IsRed(image.Pixel(image.width / 2, image.height / 2))) << what;
    for (int y : {0, image.height - 1})
        for (int x : {0, image.width - 1}) EXPECT_TRUE(IsColour(image.Pixel(x, y), kBackground, 0)) << what;
}

TEST(Render, RedBoxInTheMiddleOfThePlainBackgroundFromEveryView) {
    const wux::PictureScene scene = picturetest::SceneOf(picturetest::RedBoxFile());
    for (wux::View view : {wux::View::Front, wux::View::Back, wux::View::Left, wux::View::Right, wux::View::Top,
                           wux::View::ThreeQuarter})
        ExpectBoxInTheMiddle(Render(scene, view), wux::ViewName(view));
}

TEST(Render, SizeAndBackgroundAsAsked) {
    const wux::PictureScene scene = picturetest::SceneOf(picturetest::RedBoxFile());
    wux::RenderOptions options;
    options.width = 31;  // odd sizes and a picture taller than wide
    options.height = 57;
    options.background = {0, 0, 1};
    const wux::Image image = wux::RenderPicture(scene, options);
    EXPECT_EQ(image.width, 31);
    EXPECT_EQ(image.height, 57);
    EXPECT_TRUE(IsRed(image.Pixel(15, 28)));
    EXPECT_TRUE(IsColour(image.Pixel(0, 0), {0, 0, 255}, 0));
}

TEST(Render, FacesFacingDifferentWaysAreShadedApart) {
    // Three faces of the box are seen from three-quarter view; none may merge into another.
    const wux::Camera camera = wux::FramePoints({{-1, -1, -1}, {1, 1, 1}}, wux::View::ThreeQuarter, 100, 100);
    const wux::Vec3 light = wux::TowardsLight(camera);
    const float top = wux::Brightness({0, 0, 1}, light), front = wux::Brightness({0, -1, 0}, light),
                side = wux::Brightness({1, 0, 0}, light);
    EXPECT_GT(std::fabs(top - front), 0.05f);
    EXPECT_GT(std::fabs(top - side), 0.05f);
    EXPECT_GT(std::fabs(front - side), 0.05f);
    // Both sides of a face alike: the file's windings cannot be trusted.
    EXPECT_FLOAT_EQ(wux::Brightness({0, 0, 1}, light), wux::Brightness({0, 0, -1}, light));
}

TEST(Render, OverlaysOnlyWhenAskedInTheirOwnColours) {
    const wux::PictureScene scene = picturetest::SceneOf(picturetest::RedBoxFile());
    const wux::Image plain = Render(scene);
    for (wux::OverlayKind kind : {wux::OverlayKind::Spheres, wux::OverlayKind::Helpers})
        EXPECT_EQ(picturetest::CountColour(plain, wux::OverlayColour(kind), 2), 0u) << wux::OverlayName(kind);

    const wux::Image spheres = Render(scene, wux::View::ThreeQuarter, "spheres");
    EXPECT_GT(picturetest::CountColour(spheres, wux::OverlayColour(wux::OverlayKind::Spheres), 2), 50u);
    EXPECT_EQ(picturetest::CountColour(spheres, wux::OverlayColour(wux::OverlayKind::Helpers), 2), 0u);

    const wux::Image all = Render(scene, wux::View::ThreeQuarter, "all");
    EXPECT_GT(picturetest::CountColour(all, wux::OverlayColour(wux::OverlayKind::Helpers), 2), 50u);
    // The helper's cube encloses the box and is drawn over it: the middle stays red only
    // where no line crosses it, so check the box is still seen.
    EXPECT_GT(picturetest::CountColour(all, {1, 0, 0}, 200), 0u);
}

TEST(Render, HostileGeometryIsDrawnOrLeftOutWithoutHarm) {
    struct Case {
        const char* what;
        float offset, scale;
    };
    // Far from the origin, near the float limit, and a box shrunk to a point.
    for (const Case& c : {Case{"far", 1e7f, 1}, Case{"huge", 0, 1.5e38f}, Case{"point", 3, 0}}) {
        wuxtest::File file = picturetest::RedBoxFile();
        for (auto& p : file.meshes[0].positions)
            for (float& v : p) v = c.offset + v * c.scale;
        const wux::Image image = Render(picturetest::SceneOf(file));
        if (c.scale > 0) {
            ExpectBoxInTheMiddle(image, c.what);
        } else {
            EXPECT_TRUE(IsColour(image.Pixel(0, 0), kBackground, 0)) << c.what;
        }
    }
}

TEST(Render, TrianglesThatCannotBeDrawnAreCountedAndLeftOut) {
    wuxtest::File file = picturetest::RedBoxFile();
    file.meshes[0].positions[0][0] = std::numeric_limits<float>::quiet_NaN();
    file.meshes[0].positions[4][2] = std::numeric_limits<float>::infinity();
    wuxtest::Built built = wuxtest::Build(file);
    built.bytes.PatchU16(built.meshes[0] + 28 + 20 * 36 + 6 * 11, 500);  // a corner of the last triangle
    const auto read = wux::OpenWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::PictureScene scene = wux::BuildPictureScene(*read);
    EXPECT_EQ(scene.droppedTriangles, 3u);
    EXPECT_EQ(scene.triangleCount, 9u);
    ExpectBoxInTheMiddle(Render(scene), "damaged box");
}

TEST(Render, OverlaysThatCannotBeDrawnAreCountedAndLeftOut) {
    wuxtest::File file = picturetest::RedBoxFile();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    file.spheres = {{0, 0, 0, 1}, {nan, 0, 0, 1}, {0, 0, 0, 0}};  // the last is no sphere at all
    file.ellipsoid = std::array<float, 6>{0, 0, 0, 1, std::numeric_limits<float>::infinity(), 1};
    file.references.push_back(file.references[0]);
    file.references[1].halfExtents[2] = nan;
    const wuxtest::Built built = wuxtest::Build(file);
    const auto read = wux::OpenWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::PictureScene scene = wux::BuildPictureScene(*read);
    EXPECT_EQ(scene.spheres.size(), 2u);  // the main sphere and the first further one
    EXPECT_EQ(scene.droppedSpheres, 1u);
    EXPECT_EQ(scene.droppedEllipsoids, 1u);
    EXPECT_EQ(scene.helpers.size(), 1u);
    EXPECT_EQ(scene.droppedHelpers, 1u);
    ExpectBoxInTheMiddle(Render(scene, wux::View::ThreeQuarter, "spheres,ellipsoid"), "with damaged overlays");
}

TEST(Render, MeshesWithoutAKnownMaterialAreGrey) {
    wuxtest::File file = picturetest::RedBoxFile();
    file.meshes[0].material = 5;  // no such material
    const wuxtest::Built built = wuxtest::Build(file);
    const auto read = wux::OpenWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::Image image = Render(wux::BuildPictureScene(*read));
    const std::uint8_t* middle = image.Pixel(image.width / 2, image.height / 2);
    EXPECT_EQ(middle[0], middle[1]);
    EXPECT_GT(middle[0], 50);
}

// The box around the pixels that are not background.
struct Extent {
    int left, top, right, bottom;
    int X(double f) const { return left + static_cast<int>(f * (right - left)); }
    int Y(double f) const { return top + static_cast<int>(f * (bottom - top)); }
};
Extent ModelExtent(const wux::Image& image) {
    Extent e{image.width, image.height, -1, -1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (!IsColour(image.Pixel(x, y), kBackground, 0))
                e = {std::min(e.left, x), std::min(e.top, y), std::max(e.right, x), std::max(e.bottom, y)};
    return e;
}

std::array<float, 3> Quad(float x0, float x1, float y, float z0, float z1, int k) {
    const float x[] = {x0, x1, x1, x0, x0, x1}, z[] = {z0, z0, z1, z0, z1, z1};
    return {x[k], y, z[k]};
}

TEST(RenderMaterials, DiffuseMapDrawnTheWayItsCoordinatesRun) {
    picturetest::ScratchFolder folder;
    folder.Write("card.png", picturetest::CardMapPng());
    // Named in other letter case, as maps made on Windows are: found all the same.
    const wux::PictureScene scene = picturetest::SceneOf(picturetest::TexturedCardFile("CARD.PNG"), {{folder.Path("")}});
    EXPECT_TRUE(scene.missingMaps.empty()) << scene.missingMaps.front();
    const wux::Image image = Render(scene, wux::View::Front, "none", 160, 160);
    const Extent card = ModelExtent(image);
    ASSERT_GT(card.right - card.left, 60);
    const auto& c = picturetest::kCardColours;
    EXPECT_TRUE(picturetest::IsHue(image.Pixel(card.X(0.25), card.Y(0.25)), c[0], 12)) << "top left";
    EXPECT_TRUE(picturetest::IsHue(image.Pixel(card.X(0.75), card.Y(0.25)), c[1], 12)) << "top right";
    EXPECT_TRUE(picturetest::IsHue(image.Pixel(card.X(0.25), card.Y(0.75)), c[2], 12)) << "bottom left";
    EXPECT_TRUE(picturetest::IsHue(image.Pixel(card.X(0.75), card.Y(0.75)), c[3], 12)) << "bottom right";

    // Coordinates far out and at the float limit repeat the map without harm.
    wuxtest::File far = picturetest::TexturedCardFile("card.png");
    for (auto& uv : far.meshes[0].uvs) uv = {uv[0] * 1e30f - 3e38f, uv[1] * 3e38f};
    const wux::Image farImage = Render(picturetest::SceneOf(far, {{folder.Path("")}}), wux::View::Front, "none", 160, 160);
    EXPECT_FALSE(IsColour(farImage.Pixel(80, 80), kBackground, 0));
}

TEST(RenderMaterials, MapThatCannotBeDrawnLeavesTheDiffuseColourAndOneWarning) {
    picturetest::ScratchFolder folder;
    // A bitmap header that claims 16384 x 16384 pixels in 54 bytes.
    wuxtest::Bytes huge;
    huge.Text("BM").U32(54).U32(0).U32(54).U32(40).U32(16384).U32(16384).U16(1).U16(24).Zeros(24);
    folder.Write("huge.bmp", huge.data);
    folder.Write("junk.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    for (const auto& [map, why] : {std::pair<std::string, std::string>{"gone.png", "not found"},
                                   {"huge.bmp", "8192x8192"}, {"junk.png", "cannot decode"}}) {
        wuxtest::File file = picturetest::TexturedCardFile(map);
        file.materials.push_back(file.materials[0]);  // a second material with the same map
        file.meshes.push_back(file.meshes[0]);
        file.meshes[1].material = 1;
        const wux::PictureScene scene = picturetest::SceneOf(file, {{folder.Path("")}});
        ASSERT_EQ(scene.missingMaps.size(), 1u) << map;
        EXPECT_NE(scene.missingMaps[0].find(map), std::string::npos) << scene.missingMaps[0];
        EXPECT_NE(scene.missingMaps[0].find(why), std::string::npos) << scene.missingMaps[0];
        const wux::Image image = Render(scene, wux::View::Front);
        const std::uint8_t* middle = image.Pixel(80, 60);
        EXPECT_TRUE(middle[0] == middle[1] && middle[1] == middle[2] && middle[0] > 40) << map;  // the grey diffuse colour
    }
}

TEST(RenderMaterials, SeeThroughPanesShowWhatIsBehindWhateverTheTriangleOrder) {
    // A red wall; in front of its left half a green pane and, nearer, a blue one, both of
    // opacity 0.5 with a white filter.
    wuxtest::File file;
    wuxtest::Material red;
    red.colour = {0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1, 39};
    wuxtest::Material green = red, blue = red;
    green.colour[2] = blue.colour[2] = 0;
    green.colour[3] = blue.colour[4] = 1;
    green.colour[9] = blue.colour[9] = 0.5f;
    file.materials = {red, green, blue};
    wuxtest::Mesh wall(0), far(1), near(2);
    for (int k = 0; k < 6; ++k) {
        wall.positions.push_back(Quad(-1, 1, 1, -1, 1, k));
        far.positions.push_back(Quad(-1, 0, 0.5f, -1, 1, k));
        near.positions.push_back(Quad(-1, 0, 0, -1, 1, k));
    }
    file.meshes = {wall, far, near};
    const wux::Image image = Render(picturetest::SceneOf(file), wux::View::Front);
    // The materials and the meshes in the opposite order.
    std::reverse(file.materials.begin(), file.materials.end());
    std::reverse(file.meshes.begin(), file.meshes.end());
    for (wuxtest::Mesh& mesh : file.meshes) mesh.material = 2 - mesh.material;
    EXPECT_TRUE(Render(picturetest::SceneOf(file), wux::View::Front).rgb == image.rgb);
    const Extent seen = ModelExtent(image);
    // Through both panes: the nearer blue most, then what the green and the wall leave.
    const std::uint8_t* through = image.Pixel(seen.X(0.25), seen.Y(0.5));
    EXPECT_GT(through[2], through[1]);
    EXPECT_GT(through[1], 20);
    EXPECT_GT(through[0], 20);
    EXPECT_TRUE(IsRed(image.Pixel(seen.X(0.75), seen.Y(0.5))));
}

// A sphere of 24 segments and 12 rings, turned by `turn` (a rotation, row by row); its
// normals stay in its own space, as the file keeps them.
wuxtest::File SphereFile(const std::array<float, 9>& turn) {
    wuxtest::File file;
    wuxtest::Material white;
    white.colour[2] = white.colour[3] = white.colour[4] = 1;
    file.materials = {white};
    wuxtest::Mesh mesh;
    const double pi = std::acos(-1.0);
    auto point = [&](int segment, int ring) {
        const double a = 2 * pi * segment / 24, b = pi * ring / 12;
        return std::array<float, 3>{float(std::sin(b) * std::cos(a)), float(std::sin(b) * std::sin(a)), float(std::cos(b))};
    };
    for (int s = 0; s < 24; ++s)
        for (int r = 0; r < 12; ++r)
            for (const auto& [ds, dr] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}}) {
                const auto n = point(s + ds, r + dr);
                mesh.normals.push_back(n);
                mesh.positions.push_back({turn[0] * n[0] + turn[1] * n[1] + turn[2] * n[2],
                                          turn[3] * n[0] + turn[4] * n[1] + turn[5] * n[2],
                                          turn[6] * n[0] + turn[7] * n[1] + turn[8] * n[2]});
            }
    file.meshes = {mesh};
    return file;
}

TEST(RenderMaterials, CurvedSurfaceIsSmoothAndLitInTheWorld) {
    const float c = std::cos(0.7f), s = std::sin(0.7f);
    const wux::Image turned = Render(picturetest::SceneOf(SphereFile({c, -s, 0, s * c, c * c, -s, s * s, c * s, c})),
                                      wux::View::ThreeQuarter, "none", 200, 200);
    const wux::Image upright = Render(picturetest::SceneOf(SphereFile({1, 0, 0, 0, 1, 0, 0, 0, 1})),
                                      wux::View::ThreeQuarter, "none", 200, 200);
    // Inside the sphere: within 0.8 of its radius, away from the rim, where the light
    // changes fast as a true sphere's does.
    const Extent sphere = ModelExtent(turned);
    const double cx = (sphere.left + sphere.right) / 2.0, cy = (sphere.top + sphere.bottom) / 2.0,
                 r = (sphere.right - sphere.left) / 2.0;
    auto inside = [&](int x, int y) { return std::hypot(x - cx, y - cy) < 0.8 * r; };
    int largestStep = 0, pixels = 0;
    double lightMoved = 0;
    for (int y = 0; y + 1 < turned.height; ++y)
        for (int x = 0; x + 1 < turned.width; ++x) {
            if (!inside(x, y) || !inside(x + 1, y) || !inside(x, y + 1)) continue;
            const int grey = turned.Pixel(x, y)[0];
            largestStep = std::max({largestStep, std::abs(grey - turned.Pixel(x + 1, y)[0]),
                                    std::abs(grey - turned.Pixel(x, y + 1)[0])});
            lightMoved += std::abs(grey - upright.Pixel(x, y)[0]);
            ++pixels;
        }
    ASSERT_GT(pixels, 3000);
    EXPECT_LE(largestStep, 8);
    // A sphere turned about its centre is lit the same: its normals turned with it.
    EXPECT_LT(lightMoved / pixels, 2.0);
}

TEST(Camera, EveryPointOfTheSceneLandsInsideThePicture) {
    const std::vector<wux::Vec3> points = {{-50, 3, 7}, {120, -40, 2}, {0, 0, 90}, {10, 80, -30}};
    for (wux::View view : {wux::View::Front, wux::View::Back, wux::View::Left, wux::View::Right, wux::View::Top,
                           wux::View::ThreeQuarter}) {
        for (const auto& size : {std::pair<int, int>{800, 600}, {100, 400}}) {
            const wux::Camera camera = wux::FramePoints(points, view, size.first, size.second);
            double left = 1e9, right = -1e9;
            for (const wux::Vec3& p : points) {
                const wux::ScreenPoint s = wux::Project(camera, p);
                EXPECT_GT(s.depth, 0);
                EXPECT_GE(s.x, 0);
                EXPECT_LE(s.x, size.first);
                EXPECT_GE(s.y, 0);
                EXPECT_LE(s.y, size.second);
                left = std::min(left, double{s.x});
                right = std::max(right, double{s.x});
            }
            // Centred across, and filling at least a third of the picture.
            EXPECT_NEAR(left + right, size.first, 1.0) << wux::ViewName(view);
            EXPECT_GT(right - left, size.first / 3.0) << wux::ViewName(view);
        }
    }
}

TEST(Camera, ViewsSeeTheWorldTheHostsWay) {
    // Z up; the front view looks along +Y with +X to the right; the top view has +Y up.
    const std::vector<wux::Vec3> box = {{-1, -1, -1}, {1, 1, 1}};
    const wux::Camera front = wux::FramePoints(box, wux::View::Front, 100, 100);
    EXPECT_LT(wux::Project(front, {0, 0, 1}).y, wux::Project(front, {0, 0, -1}).y);
    EXPECT_GT(wux::Project(front, {1, 0, 0}).x, wux::Project(front, {-1, 0, 0}).x);
    EXPECT_LT(wux::Project(front, {0, -1, 0}).depth, wux::Project(front, {0, 1, 0}).depth);
    const wux::Camera top = wux::FramePoints(box, wux::View::Top, 100, 100);
    EXPECT_LT(wux::Project(top, {0, 1, 0}).y, wux::Project(top, {0, -1, 0}).y);
    EXPECT_LT(wux::Project(top, {0, 0, 1}).depth, wux::Project(top, {0, 0, -1}).depth);
    const wux::Camera right = wux::FramePoints(box, wux::View::Right, 100, 100);
    EXPECT_LT(wux::Project(right, {1, 0, 0}).depth, wux::Project(right, {-1, 0, 0}).depth);
}

TEST(PictureOptions, WordsAcceptedAndRefused) {
    struct SizeCase {
        const char* text;
        int width, height;  // 0: refused
    };
    for (const SizeCase& c : {SizeCase{"800x600", 800, 600}, {"1X1", 1, 1}, {"8192x8192", 8192, 8192},
                              {"8193x10", 0, 0}, {"0x600", 0, 0}, {"800", 0, 0}, {"x600", 0, 0}, {"800x", 0, 0},
                              {"-800x600", 0, 0}, {"800x600x2", 0, 0}, {" 800x600", 0, 0},
                              {"99999999999999999999x1", 0, 0}}) {
        const auto size = wux::ParsePictureSize(c.text, wux::kMaxPictureSide);
        EXPECT_EQ(size.Ok(), c.width > 0) << c.text;
        if (size.Ok()) {
            EXPECT_EQ(size->width * 10000 + size->height, c.width * 10000 + c.height) << c.text;
        } else {
            EXPECT_NE(size.Error().Text().find(c.text), std::string::npos) << size.Error().Text();
        }
    }
    struct ColourCase {
        const char* text;
        bool ok;
        wux::Rgb colour;
    };
    for (const ColourCase& c : {ColourCase{"ff0000", true, {1, 0, 0}}, {"#00FF80", true, {0, 1, 128 / 255.0f}},
                                {"2e333d", true, {0x2e / 255.0f, 0x33 / 255.0f, 0x3d / 255.0f}},
                                {"fff", false, {}}, {"gg0000", false, {}}, {"", false, {}}, {"#ff00001", false, {}}}) {
        const auto colour = wux::ParseHexColour(c.text);
        EXPECT_EQ(colour.Ok(), c.ok) << c.text;
        if (colour.Ok()) {
            EXPECT_EQ(*colour, c.colour) << c.text;
        }
    }
    struct OverlayCase {
        const char* text;
        bool ok;
        std::array<bool, 3> shown;
    };
    for (const OverlayCase& c : {OverlayCase{"", true, {false, false, false}}, {"none", true, {false, false, false}},
                                 {"helpers,spheres", true, {true, false, true}}, {"all", true, {true, true, true}},
                                 {"ellipsoid", true, {false, true, false}}, {"sphere", false, {}},
                                 {"spheres,", false, {}}, {"Spheres", false, {}}}) {
        const auto set = wux::ParseOverlaySet(c.text);
        EXPECT_EQ(set.Ok(), c.ok) << c.text;
        if (set.Ok()) {
            EXPECT_EQ(set->shown, c.shown) << c.text;
        }
    }
    EXPECT_EQ(wux::ParseView("three-quarter"), wux::View::ThreeQuarter);
    EXPECT_EQ(wux::ParseView("Front"), std::nullopt);
}

}  // namespace
