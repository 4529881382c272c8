// The built wux binary's export command, as a user runs it: exit codes, messages, and that a
// failed export leaves no file behind and an existing output unchanged.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "format/file_bytes.h"
#include "format/wux_checker.h"
#include "format/wux_reader.h"
#include "tests/export/export_fixture.h"

namespace wux {
namespace {


// Each bad input: the command fails with the file and the place in its message, writes
// nothing, and leaves an existing output as it was.
struct BadInput {
    const char* name;
    const char* json;
    const char* expected;
};

const BadInput kBadInputs[] = {
    {"face_index", R"({"nodes": [{"name": "a", "children": [{"name": "b", "object": {"type": "mesh",
        "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2],[0,1,40]]}}]}]})",
     "nodes[0].children[0].object.faces[1]: vertex index 40 out of range (3 vertices)"},
    {"unknown_key", R"({"nodes": [{"name": "a", "colour": 1}]})", "nodes[0].colour: unknown key"},
    {"syntax", R"({"nodes": [)", "byte 11: "},
    {"material_index", R"({"nodes": [{"name": "a", "material": 0}]})", "nodes[0].material: material index 0 out of range"},
    {"not_unit", R"({"nodes": [{"name": "a", "rotation": [1, 1, 0, 0]}]})", "nodes[0].rotation: rotation quaternion"},
};

TEST_F(ExportCommand, BadJsonFailsWithItsPathAndWritesNothing) {
    for (const BadInput& bad : kBadInputs) {
        SCOPED_TRACE(bad.name);
        const fs::path input = Path(std::string(bad.name) + ".json");
        WriteText(input, bad.json);
        const fs::path fresh = Path("fresh.wux");
        RunResult run = Wux({"export", input.string(), fresh.string()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(input.string() + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(bad.expected), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(fresh));

        const fs::path existing = Path("existing.wux");
        WriteText(existing, "previous contents");
        run = Wux({"export", input.string(), existing.string(), "--report", Path("report.json").string()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(ReadText(existing), "previous contents");
        EXPECT_FALSE(fs::exists(Path("report.json")));
        // No temporary file is left beside the output either.
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << entry.path();
    }
}

TEST_F(ExportCommand, DeeplyNestedInputIsRefusedWithoutACrash) {
    std::string text = "{\"nodes\": [";
    for (int i = 0; i < 100000; ++i) text += "{\"name\": \"n\", \"children\": [";
    for (int i = 0; i < 100000; ++i) text += "]}";
    text += "]}";
    WriteText(Path("deep.json"), text);
    const RunResult run = Wux({"export", Path("deep.json").string(), Path("deep.wux").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("nesting deeper than"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("deep.wux")));
}

TEST_F(ExportCommand, ExampleSceneExportsAndPassesTheChecker) {
    const fs::path output = Path("example.wux");
    const fs::path report = Path("example-report.json");
    WriteText(output, "an older file");
    const RunResult run = Wux({"export", Example().string(), output.string(), "--verify", "--report", report.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const FileBytes bytes = LoadFileBytes(output.string());
    ASSERT_TRUE(bytes.ok);
    const CheckReport check = CheckWux(ByteSpan{bytes.bytes.data(), bytes.bytes.size()});
    EXPECT_TRUE(check.Valid()) << FormatReport(check);

    // Ground, Crate, Lid, Pillar and the hidden blocker; materials in the order meshes first
    // use them; Marker01 and Dummy01; three GBND nodes and one GELP node.
    EXPECT_NE(run.out.find(output.string() + ": 5 meshes (42 triangles), 3 materials, 2 reference entries, "
                                              "3 spheres, ellipsoid (verified)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("warning: nodes passed over: 1 (\"Camera01\" at nodes[8]: camera)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("warning: map slots without a bitmap left out: 1 (\"Brick\" slot 8: a checker map)"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("textures missing"), std::string::npos) << run.out;

    const nlohmann::json json = nlohmann::json::parse(ReadText(report));
    EXPECT_EQ(json["input"], Example().string());
    EXPECT_EQ(json["output"], output.string());
    EXPECT_EQ(json["summary"],
              nlohmann::json::parse(R"({"meshes": 5, "triangles": 42, "materials": 3, "references": 2,
                                        "spheres": 3, "ellipsoid": true})"));
    ASSERT_EQ(json["warnings"].size(), 2u);
    EXPECT_EQ(json["warnings"][0]["kind"], "map slots without a bitmap left out");
    EXPECT_EQ(json["warnings"][1]["kind"], "nodes passed over");
    EXPECT_EQ(json["warnings"][1]["count"], 1);
}

TEST_F(ExportCommand, WarningsAreCountedAndDeduplicated) {
    WriteText(Path("warn.json"), R"({
      "materials": [{"name": "M", "maps": [{"slot": 1, "map": {"type": "bitmap", "path": "C:\\maps\\gone.bmp"}},
                                           {"slot": 2, "map": {"type": "bitmap", "path": "tex\\here.bmp"}}]},
                    {"name": "Multi", "class": "multi"}],
      "nodes": [{"name": "Cam1", "object": {"type": "camera"}}, {"name": "Cam2", "object": {"type": "camera"}},
                {"name": "Lamp", "object": {"type": "light"}}, {"name": "Group"},
                {"name": "Path", "object": {"type": "shape"}},
                {"name": "GBND", "object": {"type": "mesh", "verts": [], "faces": []}},
                {"name": "Tri", "material": 0, "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
                {"name": "Tri2", "material": 1, "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}]})");
    fs::create_directories(Path("tex"));
    WriteText(Path("tex/here.bmp"), "BM");
    const RunResult run = Wux({"export", Path("warn.json").string(), Path("warn.wux").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("warning: nodes passed over: 6 (\"Cam1\" at nodes[0]: camera; \"Cam2\" at nodes[1]: "
                           "camera; \"Lamp\" at nodes[2]: light; ...)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("warning: textures missing: 1 (\"M\" slot 1: C:\\maps\\gone.bmp)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("warning: meshes without a standard material (given material 0): 1 (\"Tri2\" at nodes[7]: "
                           "material \"Multi\" is of class multi)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("2 meshes (2 triangles), 1 material, 0 reference entries, 0 spheres, no ellipsoid"),
              std::string::npos)
        << run.out;
}

TEST_F(ExportCommand, SmallSceneRoundTripsThroughTheReader) {
    WriteText(Path("small.json"), R"({
      "materials": [{"name": "First"}, {"name": "Second", "diffuse": [0.25, 0.5, 0.75]}],
      "nodes": [
        {"name": "Parent", "position": [10, 0, 0], "material": 1,
         "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,2,0]], "faces": [[0,1,2]],
                    "tverts": [[0.5, 0.25], [1, 0], [0, 1]], "tvfaces": [[0,1,2]]},
         "children": [
           {"name": "Child", "rotation": [0, 0, 0.7071068, 0.7071068], "offset": {"position": [0, 0, 3]},
            "material": 0,
            "object": {"type": "mesh", "verts": [[1,0,0],[0,1,0],[0,0,1]], "faces": [[0,1,2]]}},
           {"name": "Point", "position": [0, 5, 0], "scale": [2, 3, 4], "object": {"type": "helper", "size": 10}}]}]})");
    const fs::path output = Path("small.wux");
    const RunResult run = Wux({"export", Path("small.json").string(), output.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const FileBytes bytes = LoadFileBytes(output.string());
    const ReadResult<WuxFile> read = ReadWux(ByteSpan{bytes.bytes.data(), bytes.bytes.size()});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    const WuxFile& file = *read.value;

    ASSERT_EQ(file.materials.size(), 2u);
    EXPECT_EQ(file.materials[0].name.text, "Second");  // first used by the first mesh
    EXPECT_EQ(file.materials[1].name.text, "First");
    EXPECT_FLOAT_EQ(file.materials[0].Diffuse()[2], 0.75f);

    ASSERT_EQ(file.meshes.size(), 2u);
    const Mesh& parent = file.meshes[0];
    EXPECT_EQ(parent.materialIndex, 0);
    ASSERT_EQ(parent.vertexCount, 3u);
    EXPECT_FLOAT_EQ(parent.vertices[1].x, 11.0f);
    EXPECT_FLOAT_EQ(parent.vertices[2].y, 2.0f);
    EXPECT_FLOAT_EQ(parent.vertices[0].u, 0.5f);
    EXPECT_FLOAT_EQ(parent.vertices[0].v, 0.75f);  // written as 1 - v
    EXPECT_FLOAT_EQ(parent.vertices[2].v, 0.0f);

    // Child: (1,0,0) turned to (0,1,0), offset along its own Z, then the parent's translation.
    const Mesh& child = file.meshes[1];
    EXPECT_EQ(child.materialIndex, 1);
    EXPECT_NEAR(child.vertices[0].x, 10.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[0].y, 1.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[0].z, 3.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[1].x, 9.0f, 1e-5f);
    EXPECT_FLOAT_EQ(child.vertices[0].u, 0.0f);  // no texture vertices: u = v = 0
    EXPECT_FLOAT_EQ(child.vertices[0].v, 0.0f);

    // The helper at (10, 5, 0) scaled by (2, 3, 4), size 10.
    ASSERT_EQ(file.references.entries.size(), 1u);
    const ReferenceEntry& point = file.references.entries[0];
    EXPECT_EQ(point.name.text, "Point");
    const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 5 - 7.5f, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(point.transform[i], expected[i], 1e-5f) << "element " << i;
    EXPECT_FLOAT_EQ(point.halfExtents[0], 10.0f);
    EXPECT_FLOAT_EQ(point.halfExtents[1], 15.0f);
    EXPECT_FLOAT_EQ(point.halfExtents[2], 20.0f);
}

TEST_F(ExportCommand, MissingPluginIsAClearError) {
    const std::string missing = Path("nowhere/wux_plugin.so").string();
    RunResult run = Wux({"export", Example().string(), Path("a.wux").string(), "--plugin", missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(missing + ": the plug-in library does not exist"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("a.wux")));

    // A file that is not a library at all, given through the environment.
    WriteText(Path("fake.so"), "not a library");
    run = Wux({"export", Example().string(), Path("a.wux").string()}, "WUX_PLUGIN='" + Path("fake.so").string() + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Path("fake.so").string() + ": cannot load the plug-in library: "), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(Path("a.wux")));
}

// Plug-ins that break one rule each: the command names the library (or the output) and
// what is wrong, and leaves the output as it was.
struct FakePluginCase {
    const char* kind;
    bool verify;
    const char* expected;
};

const FakePluginCase kFakePluginCases[] = {
    {"wrong_version", false, ": the library was built for host SDK version 0x1f400f00, expected 0x1f401100"},
    {"two_classes", false, ": the library holds 2 classes, expected 1"},
    {"not_an_exporter", false, ": its class is not a scene exporter (super class 0x50)"},
    {"no_version_entry", false, ": not a plug-in library: it does not export LibVersion"},
    {"throws", false, ": an exception escaped the plug-in: fake failure"},
    {"writes_nothing", false, "out.wux: the plug-in reported no failure but wrote no file"},
    {"broken_file", false, "out.wux: the written file cannot be read back: offset 0: "},
    {"bad_header_counts", true, "out.wux: --verify found 1 fault(s) in the written file; it was not kept"},
};

TEST_F(ExportCommand, PluginsThatBreakTheRulesAreNamed) {
    for (const FakePluginCase& c : kFakePluginCases) {
        SCOPED_TRACE(c.kind);
        const std::string plugin = std::string(WUX_FAKE_PLUGIN_DIR) + "/fake_plugin_" + c.kind + ".so";
        const fs::path output = Path("out.wux");
        WriteText(output, "before");
        std::vector<std::string> args = {"export", Example().string(), output.string(), "--plugin", plugin};
        if (c.verify) args.push_back("--verify");
        const RunResult run = Wux(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        if (run.err.find("out.wux:") == std::string::npos) {
            EXPECT_NE(run.err.find(plugin + ": "), std::string::npos) << run.err;
        }
        EXPECT_EQ(ReadText(output), "before");
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << entry.path();
    }
    // Without --verify a file that the reader reads but the checker faults is written.
    const std::string plugin = std::string(WUX_FAKE_PLUGIN_DIR) + "/fake_plugin_bad_header_counts.so";
    const RunResult run = Wux({"export", Example().string(), Path("out.wux").string(), "--plugin", plugin});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(fs::file_size(Path("out.wux")), 108u);
}

// The host's editable meshes and polys export exactly as plain meshes holding the same
// triangles (the polygons fanned from their first corner) do.
TEST_F(ExportCommand, EditableMeshesAndPolysExportAsTheirTriangles) {
    // The same scene twice: an editable mesh and, below it, a node of a second object.
    const auto scene = [](const std::string& meshType, const std::string& second) {
        return R"({"materials": [
            {"name": "Brick", "diffuse": [0.5, 0.25, 0.125],
             "maps": [{"slot": 1, "map": {"type": "bitmap", "path": "C:\\maps\\brick.bmp"}}]},
            {"name": "Metal", "specular": [1, 1, 1]}],
          "nodes": [{"name": "Mesh01", "material": 0, "position": [1, 2, 3], "rotation": [0, 0, 0.6, 0.8],
             "object": {"type": ")" + meshType + R"(", "verts": [[0,0,0],[1,0,0],[0,1,0],[0,0,1]],
                        "faces": [[0,1,2],[0,3,1],[1,3,2]],
                        "tverts": [[0,0],[1,0],[0,1]], "tvfaces": [[0,1,2],[0,2,1],[1,2,0]]},
             "children": [{"name": "Poly01", "material": 1, "scale": [2, 1, 0.5], "offset": {"position": [0, 0, 1]},
                "object": {"verts": [[0,0,0],[1,0,0],[1,1,0],[0,1,0],[2,0,0],[3,1,0],[2,2,0.5]],
                  "tverts": [[0,0],[0.125,0],[0.25,0],[0.375,0],[0.5,0],[0.625,0.5],[0.75,0],[0.875,1],[1,1]],
                  )" + second + "}}]}]}";
    };
    const std::string editable = scene("editable_mesh", R"("type": "editable_poly",
        "faces": [[0,1,2,3],[1,4,5,6,2],[3,2,6]], "tvfaces": [[8,7,6,5],[0,1,2,3,4],[5,6,7]])");
    const std::string plain = scene("mesh", R"("type": "mesh",
        "faces": [[0,1,2],[0,2,3],[1,4,5],[1,5,6],[1,6,2],[3,2,6]],
        "tvfaces": [[8,7,6],[8,6,5],[0,1,2],[0,2,3],[0,3,4],[5,6,7]])");
    WriteText(Path("editable.json"), editable);
    WriteText(Path("plain.json"), plain);
    for (const char* name : {"editable", "plain"}) {
        const RunResult run = Wux({"export", Path(std::string(name) + ".json").string(),
                                   Path(std::string(name) + ".wux").string(), "--verify"});
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
        EXPECT_NE(run.out.find("2 meshes (9 triangles), 2 materials"), std::string::npos) << name << ": " << run.out;
    }
    const FileBytes editableBytes = LoadFileBytes(Path("editable.wux").string());
    const FileBytes plainBytes = LoadFileBytes(Path("plain.wux").string());
    ASSERT_TRUE(editableBytes.ok && plainBytes.ok);
    EXPECT_TRUE(editableBytes.bytes == plainBytes.bytes);
    EXPECT_TRUE(CheckWux(ByteSpan{editableBytes.bytes.data(), editableBytes.bytes.size()}).Valid());
}

// The plug-in names the temporary file it was given by its part after the last backslash;
// the message the user reads names OUTPUT as they wrote it.
TEST_F(ExportCommand, PluginMessageNamesTheOutputNotTheTemporaryFile) {
    const std::string plugin = std::string(WUX_FAKE_PLUGIN_DIR) + "/fake_plugin_reports_failure.so";
    for (const std::string name : {"C:\\out\\y.wux", "plain.wux", "a\\b.wux\\"}) {
        SCOPED_TRACE(name);
        const fs::path output = Path(name);
        const RunResult run = Wux({"export", Example().string(), output.string(), "--plugin", plugin});
        EXPECT_EQ(run.exitCode, 1);
        const std::size_t slash = name.rfind('\\');
        const std::string shown = slash == std::string::npos ? output.string() : name.substr(slash + 1);
        EXPECT_NE(run.err.find("its message: \"cannot create " + shown + "\""), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(".partial"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

TEST_F(ExportCommand, OutputFolderThatDoesNotExistIsNamed) {
    const std::string output = Path("missing/out.wux").string();
    const RunResult run = Wux({"export", Example().string(), output});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(output + ": the folder "), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(ExportCommand, PluginFailureMessageIsPassedOnAndNothingIsWritten) {
    // /proc takes no new files: the plug-in's writer fails and shows its message box.
    const RunResult run = Wux({"export", Example().string(), "/proc/wux-export-test.wux"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("/proc/wux-export-test.wux: the plug-in could not write the file; its message: "
                           "\"\xD0\x9D\xD0\xB5 \xD0\xBC\xD0\xBE\xD0\xB3\xD1\x83"),  // "Не могу" in UTF-8
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("wux-export-test.wux. "), std::string::npos) << run.err;  // not the temporary name
    EXPECT_EQ(run.err.find(".partial"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(ExportCommand, FailedImportExportLeavesNoEmbeddedTexturesBehind) {
    const std::string glb = "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    if (!fs::exists(glb)) GTEST_SKIP() << "assimp-testmodels is not installed";
    WriteText(Path("box_notes.txt"), "mine");
    // The report cannot be written: the export fails after the importer wrote its textures.
    RunResult run = Wux({"export", glb, Path("box.wux").string(), "--report", Path("none/r.json").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("none/r.json: cannot write the report"), std::string::npos) << run.err;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir_)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"box_notes.txt", "stderr.txt", "stdout.txt"}));

    run = Wux({"export", glb, Path("box.wux").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::size_t textures = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        textures += name.rfind("box_", 0) == 0 && name != "box_notes.txt";
    }
    EXPECT_EQ(textures, 1u);  // kept after a successful export
    EXPECT_EQ(ReadText(Path("box_notes.txt")), "mine");
}

TEST_F(ExportCommand, MissingInputIsNamed) {
    const std::string input = Path("absent.json").string();
    const RunResult run = Wux({"export", input, Path("x.wux").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(input + ": no such file"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("x.wux")));
}

}  // namespace
}  // namespace wux
