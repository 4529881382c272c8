// The page of `wux view` in a real browser: headless Chromium with software WebGL opens it,
// waits until the page reports its first picture, and screenshots it; the model's colour
// must be where the model is, a drag must turn it and the helpers' toggle must show them.
// Skipped, with the reason, where Chromium, Node or the driver from npm is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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

TEST(ViewPageInBrowser, DrawsOrbitsAndTogglesTheModel) {
    if (!std::filesystem::exists(Chromium())) GTEST_SKIP() << "Chromium not found at " << Chromium() << " (set WUX_CHROMIUM)";
    if (picturetest::RunCommand("node --version").exitCode != 0) GTEST_SKIP() << "Node.js (node) not found";
    if (picturetest::RunCommand("node -e \"process.exit(parseInt(process.versions.node) >= 20 ? 0 : 1)\"").exitCode != 0)
        GTEST_SKIP() << "the browser driver needs Node.js 20 or newer";
    if (!std::filesystem::exists(std::string(WUX_BROWSER_DRIVER_DIR) + "/node_modules/playwright-core"))
        GTEST_SKIP() << "playwright-core not installed: run npm ci in " << WUX_BROWSER_DRIVER_DIR
                     << " (scripts/install-deps.sh does)";

    picturetest::ScratchFolder folder;
    const std::string box = folder.Write("box.wux", picturetest::CheckedBytes(picturetest::RedBoxFile()));
    const std::string page = folder.Path("box.html");
    const auto view = picturetest::RunWux("view " + Quoted(box) + " -o " + Quoted(page));
    ASSERT_EQ(view.exitCode, 0) << view.output;

    const auto browser = picturetest::RunCommand("node " + Quoted(std::string(WUX_BROWSER_DRIVER_DIR) + "/view_page.mjs") +
                                                 " " + Quoted(page) + " " + Quoted(folder.Path("")) + " " +
                                                 Quoted(Chromium()));
    ASSERT_EQ(browser.exitCode, 0) << browser.output;

    const wux::Image drawn = picturetest::LoadPng(folder.Path("drawn.png"));
    ASSERT_EQ(drawn.width, 800);
    ASSERT_EQ(drawn.height, 600);
    EXPECT_TRUE(picturetest::IsRed(drawn.Pixel(400, 300)));
    // The panel sits at the top left; the other corners show the canvas's plain background.
    for (const auto& [x, y] : {std::pair{799, 0}, {0, 599}, {799, 599}})
        EXPECT_TRUE(picturetest::IsColour(drawn.Pixel(x, y), picturetest::kBackground, 2)) << x << "," << y;
    // Right of the panel, whose swatches show the overlay colours.
    constexpr int kRightOfPanel = 400;
    EXPECT_EQ(picturetest::CountColour(drawn, wux::OverlayColour(wux::OverlayKind::Helpers), 10, kRightOfPanel), 0u);

    const wux::Image orbited = picturetest::LoadPng(folder.Path("orbited.png"));
    EXPECT_TRUE(picturetest::IsRed(orbited.Pixel(400, 300)));
    EXPECT_GT(DifferentPixels(drawn, orbited), 500u);

    const wux::Image overlays = picturetest::LoadPng(folder.Path("overlays.png"));
    EXPECT_GT(picturetest::CountColour(overlays, wux::OverlayColour(wux::OverlayKind::Helpers), 10, kRightOfPanel), 100u);
}

}  // namespace
