#include "tests/picture/picture_test_files.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "format/wux_checker.h"

namespace picturetest {
namespace {

// The twelve triangles of the box from lo to hi, both windings mixed as exports have them.
std::vector<std::array<float, 3>> BoxTriangles(float lo, float hi) {
    auto corner = [&](int i) {
        return std::array<float, 3>{(i & 1) ? hi : lo, (i & 2) ? hi : lo, (i & 4) ? hi : lo};
    };
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    std::vector<std::array<float, 3>> out;
    for (const auto& f : faces) {
        for (int k : {f[0], f[1], f[2], f[0], f[2], f[3]}) out.push_back(corner(k));
    }
    return out;
}

}  // namespace

wuxtest::File RedBoxFile() {
    wuxtest::File file;
    wuxtest::Material red;
    red.name = "Red";
    red.colour[2] = 1.0f;
    red.colour[3] = 0.0f;
    red.colour[4] = 0.0f;
    file.materials = {red};
    wuxtest::Mesh box;
    box.positions = BoxTriangles(-1, 1);
    // Each corner's normal points out of its face: along the axis its triangle's corners share.
    for (std::size_t i = 0; i < box.positions.size(); i += 3) {
        std::array<float, 3> n{};
        for (int k = 0; k < 3; ++k)
            if (box.positions[i][k] == box.positions[i + 1][k] && box.positions[i][k] == box.positions[i + 2][k])
                n[k] = box.positions[i][k];
        box.normals.insert(box.normals.end(), 3, n);
    }
    file.meshes = {box};
    file.mainSphere = {0, 0, 0, 2};
    wuxtest::Reference helper;
    helper.name = "Marker";
    // The helper's cube sits half its Y half extent beyond the reference position.
    helper.transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -0.75f, 0, 0};
    helper.halfExtents = {1.5f, 1.5f, 1.5f};
    file.references = {helper};
    return file;
}

wuxtest::File TexturedCardFile(const std::string& mapName) {
    wuxtest::File file;
    wuxtest::Material card;
    card.name = "Card";
    card.maps = {{1, mapName, 1.0f}};
    file.materials = {card};
    wuxtest::Mesh mesh;
    // Corners top left, top right, bottom right, bottom left (seen from the front, -Y).
    const std::array<float, 3> p[4] = {{-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1}};
    const std::array<float, 2> uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k : {0, 1, 2, 0, 2, 3}) {
        mesh.positions.push_back(p[k]);
        mesh.uvs.push_back(uv[k]);
        mesh.normals.push_back({0, -1, 0});
    }
    file.meshes = {mesh};
    return file;
}

std::vector<std::uint8_t> CardMapPng() {
    std::vector<std::uint8_t> pixels;
    for (const auto& c : kCardColours) pixels.insert(pixels.end(), c.begin(), c.end());
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(
        [](void* out, void* data, int size) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(out);
            bytes->insert(bytes->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &png, 2, 2, 3, pixels.data(), 6);
    return png;
}

bool IsHue(const std::uint8_t* rgb, std::array<std::uint8_t, 3> expected, int tolerance) {
    const int brightest = std::max({rgb[0], rgb[1], rgb[2]});
    for (int k = 0; k < 3; ++k)
        if (std::abs(rgb[k] - expected[k] * brightest / 255) > tolerance) return false;
    return brightest > 40;
}

std::vector<std::uint8_t> CheckedBytes(const wuxtest::File& file) {
    const wuxtest::Built built = wuxtest::Build(file);
    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.Valid()) << wux::FormatReport(report);
    return built.bytes.data;
}

wux::PictureScene SceneOf(const wuxtest::File& file, const wux::TextureSearch& maps) {
    const std::vector<std::uint8_t> bytes = CheckedBytes(file);
    const auto read = wux::OpenWux(wux::ByteSpan{bytes.data(), bytes.size()});
    EXPECT_TRUE(read.Ok()) << read.Error().message;
    return read.Ok() ? wux::BuildPictureScene(*read, maps) : wux::PictureScene{};
}

bool IsRed(const std::uint8_t* rgb) { return rgb[0] > 60 && rgb[1] < 20 && rgb[2] < 20; }

bool IsColour(const std::uint8_t* rgb, std::array<std::uint8_t, 3> expected, int tolerance) {
    for (int k = 0; k < 3; ++k)
        if (std::abs(int{rgb[k]} - int{expected[k]}) > tolerance) return false;
    return true;
}

std::size_t CountColour(const wux::Image& image, wux::Rgb colour, int tolerance, int fromX) {
    std::array<std::uint8_t, 3> expected{};
    for (int k = 0; k < 3; ++k) expected[k] = static_cast<std::uint8_t>(colour[k] * 255.0f + 0.5f);
    std::size_t n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = fromX; x < image.width; ++x) n += IsColour(image.Pixel(x, y), expected, tolerance) ? 1 : 0;
    return n;
}

wux::Image LoadPng(const std::string& path) {
    wux::Image image;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (pixels == nullptr) return image;
    image.width = width;
    image.height = height;
    image.rgb.assign(pixels, pixels + 3 * static_cast<std::size_t>(width) * height);
    stbi_image_free(pixels);
    return image;
}

ScratchFolder::ScratchFolder() {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("wux_picture_" + std::to_string(::getpid()) + "_" + test->test_suite_name() + "_" + test->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchFolder::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string WuxCommand(const std::string& arguments) { return Quoted(WUX_TOOL_PATH) + " " + arguments; }
CommandRun RunWux(const std::string& arguments) { return RunCommand(WuxCommand(arguments)); }

}  // namespace picturetest
