// The page `wux view` writes: self-contained, safe for any name, and carrying the model's
// arrays so that the viewer rebuilds exactly the file's triangles.
#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "picture/html_page.h"
#include "tests/picture/picture_test_files.h"

namespace {

std::vector<std::uint8_t> FromBase64(const std::string& text) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = bits << 6 | static_cast<std::uint32_t>(digits.find(c));
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    return out;
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t i) {
    return std::uint32_t{b[i]} | std::uint32_t{b[i + 1]} << 8 | std::uint32_t{b[i + 2]} << 16 | std::uint32_t{b[i + 3]} << 24;
}
float F32At(const std::vector<std::uint8_t>& b, std::size_t i) {
    const std::uint32_t bits = U32At(b, i);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

nlohmann::json PageData(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"wux-data\">";
    const std::size_t start = page.find(open);
    EXPECT_NE(start, std::string::npos);
    const std::size_t end = page.find("</script>", start);
    return nlohmann::json::parse(page.substr(start + open.size(), end - start - open.size()));
}

TEST(Base64, StandardVectors) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
             {"foobar", "Zm9vYmFy"}, {std::string("\xff\xfe\x00", 3), "//4A"}}) {
        EXPECT_EQ(wux::Base64(std::vector<std::uint8_t>(text.begin(), text.end())), expected);
    }
}

TEST(ViewerPage, ArraysRebuildTheFileTriangles) {
    wuxtest::File file = picturetest::RedBoxFile();
    for (auto& p : file.meshes[0].positions) p[0] += 1000.5f;  // away from the origin
    const wux::PictureScene scene = picturetest::SceneOf(file);
    wux::PageOptions options;
    options.title = "box.wux";
    options.overlays.Set(wux::OverlayKind::Helpers);
    const nlohmann::json data = PageData(wux::BuildViewerPage(scene, options));

    EXPECT_EQ(data["triangles"], 12);
    ASSERT_EQ(data["groups"].size(), 1u);
    const nlohmann::json& group = data["groups"][0];
    EXPECT_EQ(group["name"], "Red");
    EXPECT_EQ(group["triangles"], 12);
    EXPECT_EQ(group["colour"], nlohmann::json::array({1.0, 0.0, 0.0}));
    const auto positions = FromBase64(group["positions"]);
    const auto indices = FromBase64(group["indices"]);
    // Corners alike in position and normal are shared: each of the six faces has four.
    const std::size_t corners = positions.size() / 12;
    EXPECT_EQ(corners, 24u);
    EXPECT_EQ(FromBase64(group["normals"]).size(), 4 * corners);
    ASSERT_EQ(indices.size(), 36u * 4);
    const auto& soup = scene.groups[0].positions;
    for (std::size_t i = 0; i < soup.size(); ++i) {
        const std::uint32_t index = U32At(indices, 4 * i);
        ASSERT_LT(index, corners);
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(F32At(positions, 12 * index + 4 * k) + float(data["origin"][k]), soup[i][k]);
    }

    ASSERT_EQ(data["overlays"].size(), 3u);
    for (const nlohmann::json& overlay : data["overlays"]) {
        const std::string name = overlay["name"];
        EXPECT_EQ(overlay["shown"], name == "helpers") << name;
        EXPECT_EQ(overlay["count"], name == "ellipsoid" ? 0 : 1) << name;
        // Every line is two points of three floats.
        EXPECT_EQ(FromBase64(overlay["lines"]).size() % 24, 0u) << name;
    }
}

TEST(ViewerPage, CarriesTheMapAndTheCoordinatesItIsDrawnWith) {
    picturetest::ScratchFolder folder;
    const std::vector<std::uint8_t> png = picturetest::CardMapPng();
    folder.Write("card.png", png);
    const wux::PictureScene scene = picturetest::SceneOf(picturetest::TexturedCardFile("card.png"), {{folder.Path("")}, false});
    const nlohmann::json data = PageData(wux::BuildViewerPage(scene, {}));
    ASSERT_EQ(data["textures"].size(), 1u);
    EXPECT_EQ(data["textures"][0]["type"], "image/png");
    EXPECT_EQ(FromBase64(data["textures"][0]["bytes"]), png);
    const nlohmann::json& group = data["groups"][0];
    EXPECT_EQ(group["texture"], 0);
    const auto uvs = FromBase64(group["uvs"]), indices = FromBase64(group["indices"]);
    ASSERT_EQ(FromBase64(group["positions"]).size() / 12, uvs.size() / 8);
    for (std::size_t i = 0; i < scene.groups[0].uvs.size(); ++i)
        for (int k = 0; k < 2; ++k) EXPECT_EQ(F32At(uvs, 8 * U32At(indices, 4 * i) + 4 * k), scene.groups[0].uvs[i][k]);
}

TEST(ViewerPage, SelfContainedAndSafeForAnyName) {
    wuxtest::File file = picturetest::RedBoxFile();
    file.materials[0].name = "</script><img src=x onerror=alert(1)>\xc8";
    const wux::PictureScene scene = picturetest::SceneOf(file);
    wux::PageOptions options;
    options.title = "<b>&\".wux";
    const std::string page = wux::BuildViewerPage(scene, options);

    // Nothing to fetch: no addresses, no external scripts, styles or images, and a policy
    // that would refuse them anyway.
    for (const char* fetch : {"http:", "https:", "src=\"", "href=", "url(", "import(", "fetch(", "XMLHttpRequest"})
        EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
    EXPECT_NE(page.find("Content-Security-Policy\" content=\"default-src 'none';"), std::string::npos);

    // The name reaches the page as data only: one closing script tag per script element.
    std::size_t closings = 0;
    for (std::size_t at = page.find("</script>"); at != std::string::npos; at = page.find("</script>", at + 1)) ++closings;
    EXPECT_EQ(closings, 2u);
    EXPECT_NE(page.find("<title>&lt;b&gt;&amp;\\x22.wux - wux view</title>"), std::string::npos);
    const nlohmann::json data = PageData(page);
    EXPECT_EQ(data["groups"][0]["name"], "</script><img src=x onerror=alert(1)>\\xC8");
}

TEST(ViewerPage, EmptySceneStillMakesAPage) {
    const wux::PictureScene scene = picturetest::SceneOf(wuxtest::File{});
    const nlohmann::json data = PageData(wux::BuildViewerPage(scene, {}));
    EXPECT_EQ(data["triangles"], 0);
    EXPECT_TRUE(data["groups"].empty());
    EXPECT_EQ(data["origin"], nlohmann::json::array({0.0, 0.0, 0.0}));
}

}  // namespace
