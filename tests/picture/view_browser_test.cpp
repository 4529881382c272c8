// The page of `wux view` in a real browser: headless Chromium with software WebGL opens it,
// waits until the page reports its first picture, and screenshots it; the model's colour
// must be where the model is, a drag must turn it and the helpers' toggle must show them.
// Skipped, with the reason, where Chromium, Node or the driver from npm is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/overlay_lines.h"
#include "tests/picture/picture_test_files.h"

namespace {

using picturetest::Quoted;

std::string Chromium() {
    const char* given = std::getenv("WUX_CHROMIUM");
    return given != nullptr && *given != '\0' ? given : "/usr/bin/chromium";
}

std::size_t DifferentPixels(const wux::Image& a, const wux::Image& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3)
        n += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
    return n;
}

// Skips the calling test when the browser or its driver is missing.
#define SKIP_WITHOUT_BROWSER()                                                                                          \
    do {                                                                                                               \
        if (const std::string why = MissingBrowser(); !why.empty()) GTEST_SKIP() << why;                               \
    } while (false)

std::string MissingBrowser() {
    if (!std::filesystem::exists(Chromium())) return "Chromium not found at " + Chromium() + " (set WUX_CHROMIUM)";
    if (picturetest::RunCommand("node --version").exitCode != 0) return "Node.js (node) not found";
    if (picturetest::RunCommand("node -e \"process.exit(parseInt(process.versions.node) >= 20 ? 0 : 1)\"").exitCode != 0)
        return "the browser driver needs Node.js 20 or newer";
    if (!std::filesystem::exists(std::string(WUX_BROWSER_DRIVER_DIR) + "/node_modules/playwright-core"))
        return std::string("playwright-core not installed: run npm ci in ") + WUX_BROWSER_DRIVER_DIR +
               " (scripts/install-deps.sh does)";
    return "";
}

// Writes the page of `wux view` for the file in the folder and has the browser screenshot it.
void ViewInBrowser(const picturetest::ScratchFolder& folder, const std::vector<std::uint8_t>& wux) {
    const std::string input = folder.Write("model.wux", wux);
    const std::string page = folder.Path("model.html");
    const auto view = picturetest::RunWux("view " + Quoted(input) + " -o " + Quoted(page));
    ASSERT_EQ(view.exitCode, 0) << view.output;
    const auto browser = picturetest::RunCommand("node " + Quoted(std::string(WUX_BROWSER_DRIVER_DIR) + "/view_page.mjs") +
                                                 " " + Quoted(page) + " " + Quoted(folder.Path("")) + " " +
                                                 Quoted(Chromium()));
    ASSERT_EQ(browser.exitCode, 0) << browser.output;
}

TEST(ViewPageInBrowser, DrawsOrbitsAndTogglesTheModel) {
    SKIP_WITHOUT_BROWSER();
    picturetest::ScratchFolder folder;
    ViewInBrowser(folder, picturetest::CheckedBytes(picturetest::RedBoxFile()));
    if (HasFatalFailure()) return;

    const wux::Image drawn = picturetest::LoadPng(folder.Path("drawn.png"));
    ASSERT_EQ(drawn.width, 800);
    ASSERT_EQ(drawn.height, 600);
    // The model is framed in the canvas right of the panel, which sits at the top left; the
    // other corners show the canvas's plain background.
    EXPECT_TRUE(picturetest::IsRed(drawn.Pixel(600, 300)));
    for (const auto& [x, y] : {std::pair{799, 0}, {0, 599}, {799, 599}})
        EXPECT_TRUE(picturetest::IsColour(drawn.Pixel(x, y), picturetest::kBackground, 2)) << x << "," << y;
    // Right of the panel, whose swatches show the overlay colours.
    constexpr int kRightOfPanel = 400;
    EXPECT_EQ(picturetest::CountColour(drawn, wux::OverlayColour(wux::OverlayKind::Helpers), 10, kRightOfPanel), 0u);

    const wux::Image orbited = picturetest::LoadPng(folder.Path("orbited.png"));
    EXPECT_TRUE(picturetest::IsRed(orbited.Pixel(600, 300)));
    EXPECT_GT(DifferentPixels(drawn, orbited), 500u);

    const wux::Image overlays = picturetest::LoadPng(folder.Path("overlays.png"));
    EXPECT_GT(picturetest::CountColour(overlays, wux::OverlayColour(wux::OverlayKind::Helpers), 10, kRightOfPanel), 100u);
}

TEST(ViewPageInBrowser, DrawsTheDiffuseMapEmbeddedInThePage) {
    SKIP_WITHOUT_BROWSER();
    picturetest::ScratchFolder folder;
    folder.Write("card.png", picturetest::CardMapPng());
    ViewInBrowser(folder, picturetest::CheckedBytes(picturetest::TexturedCardFile("card.png")));
    if (HasFatalFailure()) return;
    // Where each of the map's four colours lies, right of the panel.
    const wux::Image drawn = picturetest::LoadPng(folder.Path("drawn.png"));
    std::array<double, 4> sumX{}, sumY{}, count{};
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 400; x < drawn.width; ++x)
            for (std::size_t c = 0; c < 4; ++c)
                if (picturetest::IsHue(drawn.Pixel(x, y), picturetest::kCardColours[c], 12)) {
                    sumX[c] += x;
                    sumY[c] += y;
                    ++count[c];
                }
    for (std::size_t c = 0; c < 4; ++c) ASSERT_GT(count[c], 100) << "colour " << c;
    EXPECT_LT(sumX[0] / count[0], sumX[1] / count[1]);  // red left of green
    EXPECT_LT(sumY[0] / count[0], sumY[2] / count[2]);  // red above blue
}

}  // namespace
