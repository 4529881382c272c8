// wux render and wux view as a user runs them: the files they write, their errors and exit
// codes, and what they leave alone when they fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/picture/picture_test_files.h"

namespace {

using picturetest::Quoted;
using picturetest::RunWux;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class PictureCommands : public testing::Test {
protected:
    picturetest::ScratchFolder folder_;
    std::string box_ = folder_.Write("box.wux", picturetest::CheckedBytes(picturetest::RedBoxFile()));
};

TEST_F(PictureCommands, RenderDrawsTheRedBoxInTheMiddle) {
    const std::string png = folder_.Path("box.png");
    const auto run = RunWux("render " + Quoted(box_) + " -o " + Quoted(png));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("800x600, three-quarter view, 12 triangles"), std::string::npos) << run.output;
    const wux::Image image = picturetest::LoadPng(png);
    ASSERT_EQ(image.width, 800);
    ASSERT_EQ(image.height, 600);
    EXPECT_TRUE(picturetest::IsRed(image.Pixel(400, 300)));
    for (const auto& [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}})
        EXPECT_TRUE(picturetest::IsColour(image.Pixel(x, y), picturetest::kBackground, 0)) << x << "," << y;

    const auto small = RunWux("render " + Quoted(box_) + " -o " + Quoted(png) +
                              " --size 64x48 --view front --background ffffff --overlays spheres,helpers");
    ASSERT_EQ(small.exitCode, 0) << small.output;
    const wux::Image front = picturetest::LoadPng(png);
    ASSERT_EQ(front.width, 64);
    EXPECT_TRUE(picturetest::IsColour(front.Pixel(0, 47), {255, 255, 255}, 0));
}

TEST_F(PictureCommands, ViewWritesOnePageWithTheModel) {
    const std::string html = folder_.Path("box.html");
    const auto run = RunWux("view " + Quoted(box_) + " -o " + Quoted(html) + " --overlays all");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string page = Contents(html);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<title>box.wux - wux view</title>"), std::string::npos);
    EXPECT_NE(page.find("\"name\":\"Red\""), std::string::npos);
}

TEST_F(PictureCommands, ProgressOnATerminalOnly) {
    if (picturetest::RunCommand("script -qec true /dev/null").exitCode != 0) GTEST_SKIP() << "script(1) not found";
    wuxtest::File file = picturetest::RedBoxFile();
    file.meshes.assign(4, wuxtest::Mesh(0, wux_file::kMaxTrianglesPerMesh));  // past one step of the bar
    const std::string big = folder_.Write("big.wux", picturetest::CheckedBytes(file));
    for (const char* command : {"render", "view"}) {
        const std::string out = folder_.Path(std::string("out.") + (command == std::string("render") ? "png" : "html"));
        const std::string arguments = std::string(command) + " " + Quoted(big) + " -o " + Quoted(out);
        const auto piped = RunWux(arguments);
        ASSERT_EQ(piped.exitCode, 0) << piped.output;
        EXPECT_EQ(piped.output.find("/87380"), std::string::npos) << piped.output;
        const auto terminal = picturetest::RunCommand("script -qec " + Quoted(picturetest::WuxCommand(arguments)) + " /dev/null");
        EXPECT_NE(terminal.output.find("/87380 triangles read"), std::string::npos) << terminal.output;
    }
}

TEST_F(PictureCommands, BadWordsAndBadFilesFailAndLeaveTheOutputAlone) {
    const std::string out = folder_.Write("out.png", {'o', 'l', 'd'});
    std::ofstream(folder_.Path("not.wux")) << "not a WUX file";
    // 400 triangles over one another, each about as large as the picture: a few kilobytes that
    // would take minutes to draw at 8192 x 8192.
    wuxtest::File stacked = picturetest::RedBoxFile();
    stacked.meshes = {wuxtest::Mesh(0, 0)};
    for (int i = 0; i < 400; ++i)
        stacked.meshes[0].positions.insert(stacked.meshes[0].positions.end(), {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}});
    const std::string overlapping = folder_.Write("stacked.wux", picturetest::CheckedBytes(stacked));
    struct Case {
        std::string arguments;
        int exitCode;
        std::string message;
    };
    const std::string to = " -o " + Quoted(out);
    for (const Case& c : std::vector<Case>{
             {"render " + Quoted(box_) + to + " --size 0x10", 64, "each side must be 1 to 8192 pixels"},
             {"render " + Quoted(box_) + to + " --size big", 64, "\"big\" is not a size"},
             {"render " + Quoted(box_) + to + " --view side", 64, "\"side\" is not a view"},
             {"render " + Quoted(box_) + to + " --overlays spheres,boxes", 64, "\"boxes\" is not an overlay"},
             {"render " + Quoted(box_) + to + " --background red", 64, "\"red\" is not a colour"},
             {"view " + Quoted(box_) + to + " --overlays x", 64, "\"x\" is not an overlay"},
             {"render " + Quoted(box_) + to + " --texture-dir " + Quoted(folder_.Path("nowhere")), 64, "nowhere"},
             {"render " + Quoted(folder_.Path("not.wux")) + to, 2, "not.wux: not a readable WUX file: offset 0"},
             {"view " + Quoted(folder_.Path("missing.wux")) + " -o " + Quoted(folder_.Path("out.html")), 2,
              "missing.wux: cannot open"},
             {"render " + Quoted(box_) + " -o " + Quoted(folder_.Path("no/such/folder.png")), 3, "cannot create"},
             {"view " + Quoted(box_) + " -o " + Quoted(box_), 64, "must end in .html or .htm"},
             {"render " + Quoted(overlapping) + to + " --size 8192x8192", 4, "stacked.wux: drawing it would test more than 4294967296 samples"},
         }) {
        const auto run = RunWux(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
        EXPECT_EQ(Contents(out), "old") << c.arguments;
    }
    EXPECT_EQ(Contents(box_).size(), picturetest::CheckedBytes(picturetest::RedBoxFile()).size());
    // Nothing else was left in the folder: no temporary file of a failed write.
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 4u);  // box.wux, out.png, not.wux, stacked.wux
}

}  // namespace
