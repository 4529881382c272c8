// The built wux binary's export command, as a user runs it: exit codes, messages, and that a
// failed export leaves no file behind and an existing output unchanged.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "collect/file_name_part.h"
#include "format/mapped_file.h"
#include "format/wux_reader.h"
#include "tests/cli/export_fixture.h"

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
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(input.string() + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(bad.expected), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(fresh));

        const fs::path existing = Path("existing.wux");
        WriteText(existing, "previous contents");
        run = Wux({"export", input.string(), existing.string(), "--report", Path("report.json").string()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(ReadText(existing), "previous contents");
        EXPECT_FALSE(fs::exists(Path("report.json")));
        // No temporary file is left beside the output either.
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".wux-"), std::string::npos) << entry.path();
    }
}

TEST_F(ExportCommand, DeeplyNestedInputIsRefusedWithoutACrash) {
    std::string text = "{\"nodes\": [";
    for (int i = 0; i < 100000; ++i) text += "{\"name\": \"n\", \"children\": [";
    for (int i = 0; i < 100000; ++i) text += "]}";
    text += "]}";
    WriteText(Path("deep.json"), text);
    const RunResult run = Wux({"export", Path("deep.json").string(), Path("deep.wux").string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("nesting deeper than"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("deep.wux")));
}

TEST_F(ExportCommand, ExampleSceneExportsAndPassesTheChecker) {
    const fs::path output = Path("example.wux");
    const fs::path report = Path("example-report.json");
    WriteText(output, "an older file");
    const RunResult run = Wux({"export", Example().string(), output.string(), "--verify", "--report", report.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    EXPECT_TRUE(PassesChecker(output.string()));
    // Golden bytes: the file as the plug-in has always written it (FNV-1a of its bytes).
    const std::string bytes = ReadText(output);
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    EXPECT_EQ(bytes.size(), 5652u);
    EXPECT_EQ(hash, 0x78196d75c24a91e9u);

    // Ground, Crate, Lid, Pillar and the hidden blocker; materials in the order meshes first
    // use them; Marker01 and Dummy01; three GBND nodes and one GELP node.
    EXPECT_NE(run.out.find(output.string() + ": 5 meshes (42 triangles), 3 materials, 2 reference entries, "
                                              "3 spheres, ellipsoid (verified)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("warning: nodes passed over: 1 (\"Camera01\" at nodes[8]: camera)"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("warning: map slots without a bitmap left out: 1 (\"Brick\" slot 8: not a bitmap)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("textures missing"), std::string::npos) << run.err;

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
    EXPECT_TRUE(PassesChecker(Path("warn.wux").string()));
    EXPECT_NE(run.err.find("warning: nodes passed over: 6 (\"Cam1\" at nodes[0]: camera; \"Cam2\" at nodes[1]: "
                           "camera; \"Lamp\" at nodes[2]: light; ...)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("warning: textures missing: 1 (\"M\" slot 1: C:\\maps\\gone.bmp)"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("warning: meshes without a standard material (given material 0): 1 (\"Tri2\" at nodes[7]: "
                           "material \"Multi\" is not a standard material)"),
              std::string::npos)
        << run.err;
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
    EXPECT_TRUE(PassesChecker(output.string()));
    const auto bytes = LoadFileBytes(output.string());
    const ToolResult<WuxDocument> read = OpenWux(SpanOf(*bytes));
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const auto materials = Records<MaterialChunk>(*read->model->materials);
    const auto meshes = Records<VertexChunk>(*read->model->meshes);
    const auto entries = Records<ReferenceEntry>(*read->model->references->entries);

    ASSERT_EQ(materials.size(), 2u);
    EXPECT_EQ(materials[0]->name, "Second");  // first used by the first mesh
    EXPECT_EQ(materials[1]->name, "First");
    EXPECT_FLOAT_EQ(Colour(*materials[0], wux_file::kDiffuseWord)[2], 0.75f);

    ASSERT_EQ(meshes.size(), 2u);
    const VertexChunk& parent = *meshes[0];
    EXPECT_EQ(parent.materialIndex, 0);
    ASSERT_EQ(parent.vertexCount, 3);
    EXPECT_FLOAT_EQ(parent.vertices[1].x, 11.0f);
    EXPECT_FLOAT_EQ(parent.vertices[2].y, 2.0f);
    EXPECT_FLOAT_EQ(parent.vertices[0].u, 0.5f);
    EXPECT_FLOAT_EQ(parent.vertices[0].v, 0.75f);  // written as 1 - v
    EXPECT_FLOAT_EQ(parent.vertices[2].v, 0.0f);

    // Child: (1,0,0) turned to (0,1,0), offset along its own Z, then the parent's translation.
    const VertexChunk& child = *meshes[1];
    EXPECT_EQ(child.materialIndex, 1);
    EXPECT_NEAR(child.vertices[0].x, 10.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[0].y, 1.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[0].z, 3.0f, 1e-5f);
    EXPECT_NEAR(child.vertices[1].x, 9.0f, 1e-5f);
    EXPECT_FLOAT_EQ(child.vertices[0].u, 0.0f);  // no texture vertices: u = v = 0
    EXPECT_FLOAT_EQ(child.vertices[0].v, 0.0f);

    // The helper at (10, 5, 0) scaled by (2, 3, 4), size 10.
    ASSERT_EQ(entries.size(), 1u);
    const ReferenceEntry& point = *entries[0];
    EXPECT_EQ(point.name, "Point");
    const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 5 - 7.5f, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(point.transform[i / 4][i % 4], expected[i], 1e-5f) << "element " << i;
    EXPECT_FLOAT_EQ(point.halfExtents[0], 10.0f);
    EXPECT_FLOAT_EQ(point.halfExtents[1], 15.0f);
    EXPECT_FLOAT_EQ(point.halfExtents[2], 20.0f);
}

TEST_F(ExportCommand, MissingPluginIsAClearError) {
    const std::string missing = Path("nowhere/wux_plugin.so").string();
    RunResult run = Wux({"export", Example().string(), Path("a.wux").string(), "--plugin", missing});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find(missing + ": the plug-in library does not exist"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("a.wux")));

    // A file that is not a library at all, given through the environment.
    WriteText(Path("fake.so"), "not a library");
    run = Wux({"export", Example().string(), Path("a.wux").string()}, "WUX_PLUGIN='" + Path("fake.so").string() + "'");
    EXPECT_EQ(run.exitCode, 4);
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
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        if (run.err.find("out.wux:") == std::string::npos) {
            EXPECT_NE(run.err.find(plugin + ": "), std::string::npos) << run.err;
        }
        EXPECT_EQ(ReadText(output), "before");
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".wux-"), std::string::npos) << entry.path();
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
    EXPECT_TRUE(PassesChecker(Path("editable.wux").string()));
    EXPECT_EQ(ReadText(Path("editable.wux")), ReadText(Path("plain.wux")));
}

// The plug-in names the temporary file it was given by its part after the last backslash;
// the message the user reads names OUTPUT as they wrote it.
TEST_F(ExportCommand, PluginMessageNamesTheOutputNotTheTemporaryFile) {
    const std::string plugin = std::string(WUX_FAKE_PLUGIN_DIR) + "/fake_plugin_reports_failure.so";
    for (const std::string name : {"C:\\out\\y.wux", "plain.wux", "a\\.wux"}) {
        SCOPED_TRACE(name);
        const fs::path output = Path(name);
        const RunResult run = Wux({"export", Example().string(), output.string(), "--plugin", plugin});
        EXPECT_EQ(run.exitCode, 4);
        const std::string shown = FileNamePart(output.string().c_str());
        EXPECT_NE(run.err.find("its message: \"cannot create " + shown + "\""), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(".wux-"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

TEST_F(ExportCommand, OutputFolderThatDoesNotExistIsNamed) {
    const std::string output = Path("missing/out.wux").string();
    const RunResult run = Wux({"export", Example().string(), output});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("cannot create \"" + output + "\": " + std::strerror(ENOENT)), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(ExportCommand, PluginFailureNamesItsCause) {
    // A file size limit makes the plug-in's writes fail (EFBIG) once the tool's own files are made.
    // The tool suppresses prompts: the plug-in's result and its library tell, no message box.
    const std::string output = Path("limited.wux").string();
    const RunResult run = Wux({"export", Example().string(), output}, "trap '' XFSZ; ulimit -f 4;");
    EXPECT_EQ(run.exitCode, 3);  // the output could not be written
    EXPECT_NE(run.err.find(output + ": the plug-in could not write the file (" + std::strerror(EFBIG) + ")\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find(".wux-"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Listing(), (std::set<std::string>{"stderr.txt", "stdout.txt"}));
}

TEST_F(ExportCommand, FailedImportExportLeavesNoEmbeddedTexturesBehind) {
    const std::string glb = "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    if (!fs::exists(glb)) GTEST_SKIP() << "assimp-testmodels is not installed";
    WriteText(Path("box_notes.txt"), "mine");
    // The report cannot be written: the export fails after the importer wrote its textures.
    RunResult run = Wux({"export", glb, Path("box.wux").string(), "--report", Path("none/r.json").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("cannot write the report: cannot create \"" + Path("none/r.json").string()),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Listing(), (std::set<std::string>{"box_notes.txt", "stderr.txt", "stdout.txt"}));

    run = Wux({"export", glb, Path("box.wux").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(PassesChecker(Path("box.wux").string()));
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
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(input + ": no such file"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("x.wux")));
}

// --- What an export leaves on the disk: its own files only, in place only on success. ---

const char kBoxGlb[] = "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";

bool HasTemporaryFiles(const std::set<std::string>& names) {
    return std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.rfind(".wux-", 0) == 0; });
}

TEST_F(ExportCommand, EmbeddedTexturesNeverTakeAnotherFilesName) {
    if (!fs::exists(kBoxGlb)) GTEST_SKIP() << "assimp-testmodels is not installed";
    // The name the texture would get holds a user's file.
    WriteText(Path("box_Texture_diffuse.png"), "mine");
    const std::string output = Path("box.wux").string();
    RunResult run = Wux({"export", kBoxGlb, output, "--report", Path("none/r.json").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(Listing(), (std::set<std::string>{"box_Texture_diffuse.png", "stderr.txt", "stdout.txt"}));

    for (int pass = 0; pass < 2; ++pass) {
        // The second time the same bytes are found under the free name and used again.
        run = Wux({"export", kBoxGlb, output, "--verify"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("\"box_Texture_diffuse.png\" is another file; this one is \"box_Texture_diffuse_2.png\""),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(Listing(), (std::set<std::string>{"box.wux", "box_Texture_diffuse.png", "box_Texture_diffuse_2.png",
                                                    "stderr.txt", "stdout.txt"}));
    }
    EXPECT_EQ(ReadText(Path("box_Texture_diffuse.png")), "mine");
    EXPECT_EQ(fs::file_size(Path("box_Texture_diffuse_2.png")), 2433u);
    const auto bytes = LoadFileBytes(output);
    ASSERT_TRUE(bytes.Ok()) << bytes.Error().Text();
    const ToolResult<WuxDocument> read = OpenWux(SpanOf(*bytes));
    ASSERT_TRUE(read.Ok());
    ASSERT_EQ(read->model->materials->count(), 1);
    const auto& material = static_cast<const MaterialChunk&>(*read->model->materials->first());
    ASSERT_EQ(material.mapCount, 1);
    const std::string mapName = material.maps[0].fileName;
    EXPECT_EQ(mapName.substr(mapName.size() - 25), "box_Texture_diffuse_2.png") << mapName;
}

// What a FIFO opened for reading with fd (non-blocking) receives until its writer closes it,
// waiting for the writer no longer than the seconds given: a writer that never comes costs
// seconds, not the whole time-out of CTest. Closes fd.
std::string ReadFifo(int fd, int seconds) {
    std::string received;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        // Readable only once a writer has come: with data, or at its end.
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        char block[4096];
        const ssize_t got = read(fd, block, sizeof block);
        if (got > 0) received.append(block, static_cast<size_t>(got));
        else if (got == 0 || (errno != EAGAIN && errno != EINTR)) break;
    }
    close(fd);
    return received;
}

// A device that is always full, made here: the real /dev/full must never be at stake.
bool MakeFullDevice(const fs::path& path) { return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0; }

TEST_F(ExportCommand, SpecialOutputsAreWrittenInPlace) {
    Deadline(25);
    // A pipe is written through, and stays a pipe.
    const fs::path pipe = Path("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    // Opened before wux starts, so that it finds a reader.
    const int readEnd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(readEnd, 0) << std::strerror(errno);
    std::string received;
    std::thread reader([&] { received = ReadFifo(readEnd, SecondsLeft()); });
    RunResult run = Wux({"export", Example().string(), pipe.string()});
    // Had wux never opened it, a writer of our own that comes and goes ends the wait at once.
    if (const int writeEnd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writeEnd >= 0) close(writeEnd);
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    struct stat info;
    ASSERT_EQ(lstat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    WriteText(Path("received.wux"), received);
    EXPECT_TRUE(PassesChecker(Path("received.wux").string()));
    fs::remove(Path("received.wux"));

    // A full device: the failure is reported, the node stays, the earlier report survives.
    const fs::path full = Path("full");
    if (!MakeFullDevice(full)) GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    WriteText(Path("report.json"), "the earlier report");
    run = Wux({"export", Example().string(), full.string(), "--report", Path("report.json").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find(std::strerror(ENOSPC)), std::string::npos) << run.err;
    ASSERT_EQ(lstat(full.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(ReadText(Path("report.json")), "the earlier report");
    EXPECT_EQ(Listing(), (std::set<std::string>{"full", "pipe", "report.json", "stderr.txt", "stdout.txt"}));
}

TEST_F(ExportCommand, OutputKeepsModeOwnerAndLinks) {
    const fs::path output = Path("private.wux");
    WriteText(output, "older");
    ASSERT_EQ(chmod(output.c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(output.c_str(), 65534, 65534), 0);
    }
    fs::create_symlink("private.wux", Path("link.wux"));
    fs::create_hard_link(output, Path("second-name.wux"));
    for (const char* name : {"private.wux", "link.wux", "second-name.wux"}) {
        WriteText(output, "older");
        const RunResult run = Wux({"export", Example().string(), Path(name).string(), "--verify"});
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
        struct stat info;
        ASSERT_EQ(stat(output.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << name;
        if (root) {
            EXPECT_EQ(info.st_uid, 65534u) << name;
        }
        EXPECT_EQ(info.st_size, 5652) << name;
        EXPECT_EQ(info.st_nlink, 2u) << name;  // the hard link was never split
        EXPECT_TRUE(fs::is_symlink(Path("link.wux")));
    }
    EXPECT_TRUE(PassesChecker(Path("second-name.wux").string()));
}

TEST_F(ExportCommand, OutputTheUserMayNotWriteIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv is not installed";
    ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
    const fs::path output = Path("theirs.wux");
    WriteText(output, "older");
    ASSERT_EQ(chmod(output.c_str(), 0444), 0);
    const RunResult run = Wux({"export", Example().string(), output.string()},
                              "setpriv --reuid=65534 --regid=65534 --clear-groups");
    if (run.err.find("setpriv:") != std::string::npos) GTEST_SKIP() << "cannot run as nobody here: " << run.err;
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find(std::strerror(EACCES)), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(output), "older");
    EXPECT_FALSE(HasTemporaryFiles(Listing()));
}

TEST_F(ExportCommand, NamesNearTheLimitAndPathsTooLong) {
    const fs::path longest = Path(std::string(251, 'n') + ".wux");
    RunResult run = Wux({"export", Example().string(), longest.string(), "--verify"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string tooLong = Path(std::string(300, 'f') + "/out.wux").string();
    run = Wux({"export", Example().string(), tooLong});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find(std::strerror(ENAMETOOLONG)), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("does not exist"), std::string::npos) << run.err;
    EXPECT_EQ(Listing().size(), 3u);  // the long name, stdout, stderr
}

// A JSON scene large enough that an export takes a moment.
void WriteLargeScene(const fs::path& path) {
    std::ofstream out(path);
    out << R"({"nodes": [)";
    for (int node = 0; node < 40; ++node) {
        out << (node ? "," : "") << R"({"name": "grid)" << node << R"(", "object": {"type": "mesh", "verts": [)";
        constexpr int kSide = 60;
        for (int i = 0; i < kSide * kSide; ++i) out << (i ? "," : "") << "[" << i % kSide << "," << i / kSide << ",0]";
        out << R"(], "faces": [)";
        for (int y = 0; y + 1 < kSide; ++y)
            for (int x = 0; x + 1 < kSide; ++x) {
                const int a = y * kSide + x;
                out << (y || x ? "," : "") << "[" << a << "," << a + 1 << "," << a + kSide << "],[" << a + 1 << ","
                    << a + kSide + 1 << "," << a + kSide << "]";
            }
        out << "]}}";
    }
    out << "]}";
}

// Starts wux in its own process; the caller waits for it. ignoreInterrupt: as a script's
// background job starts it, with SIGINT ignored.
pid_t StartWux(const fs::path& wux, const std::vector<std::string>& args, bool ignoreInterrupt = false) {
    const pid_t child = fork();
    if (child == 0) {
        if (ignoreInterrupt) signal(SIGINT, SIG_IGN);
        std::vector<char*> argv;
        std::string program = wux.string();
        argv.push_back(&program[0]);
        std::vector<std::string> copies = args;
        for (std::string& a : copies) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// The exit code, or -1 when it was still running after a minute (it is then killed).
int WaitFor(pid_t child) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ExportCommand, SignalsRemoveTheExportsTemporaryFiles) {
    const fs::path scene = Path("large.json");
    WriteLargeScene(scene);
    struct Case {
        int signal;
        int exitCode;
        bool renameFolder;  // the output's folder is renamed during the export
    };
    for (const Case c : {Case{SIGINT, 130, false}, Case{SIGTERM, 143, false}, Case{SIGTERM, 143, true}}) {
        const fs::path folder = Path("out"), moved = Path("moved");
        fs::create_directory(folder);
        const pid_t child = StartWux(wux_, {"export", scene.string(), (folder / "large.wux").string()});
        // Wait until the export has its temporary file, then interrupt it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!HasTemporaryFiles(Listing(folder)) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(HasTemporaryFiles(Listing(folder))) << "the export never made its temporary file";
        if (c.renameFolder) fs::rename(folder, moved);
        kill(child, c.signal);
        EXPECT_EQ(WaitFor(child), c.exitCode) << strsignal(c.signal);
        const fs::path left = c.renameFolder ? moved : folder;
        const std::set<std::string> names = Listing(left);
        // Under load the signal may reach the export after its last step: then its file is whole.
        if (names == std::set<std::string>{"large.wux"}) {
            EXPECT_TRUE(PassesChecker((left / "large.wux").string()));
        } else {
            std::string listing;
            for (const std::string& name : names) listing += " " + name;
            EXPECT_TRUE(names.empty()) << strsignal(c.signal) << ":" << listing;
        }
        fs::remove_all(left);
    }
}

// A temporary file is stale when no one holds its lock, no process here has its id and no
// one wrote to it for a minute. A writer in another PID namespace has an id that is dead
// here: its lock keeps its file.
// A plug-in held back until after the signal writes nothing: an export of a command started
// with SIGINT ignored (a script's background job) stops on SIGINT at once, and a worker (an
// imported file's) dies with its command. The plug-in may go on once the signal is pending
// (or, for the command's death, delivered): only an export that outlived it would write.
TEST_F(ExportCommand, NoWorkerWritesOnceInterruptedOrOrphaned) {
    const std::string plugin = std::string(WUX_FAKE_PLUGIN_DIR) + "/fake_plugin_waits.so";
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // an orphaned worker becomes this test's child
    WriteText(Path("in.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    struct Case {
        int signal;
        bool toWorker;  // else to the command
        int exitCode;   // -1: killed
        fs::path input;
    };
    for (const Case& c : {Case{SIGINT, true, 130, Example()}, Case{SIGINT, true, 130, Path("in.obj")},
                          Case{SIGKILL, false, -1, Path("in.obj")}}) {
        SCOPED_TRACE(strsignal(c.signal) + (" " + c.input.string()));
        const fs::path folder = Path("out");
        fs::create_directory(folder);
        const pid_t child = StartWux(wux_, {"export", c.input.string(), (folder / "out.wux").string(), "--plugin", plugin},
                                     c.signal == SIGINT);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!HasTemporaryFiles(Listing(folder)) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::set<std::string> names = Listing(folder);
        ASSERT_TRUE(HasTemporaryFiles(names)) << "the export never made its temporary file";
        const pid_t worker = static_cast<pid_t>(std::stol(names.begin()->substr(5)));  // ".wux-<pid>-..."
        kill(c.toWorker ? worker : child, c.signal);
        const int exitCode = c.toWorker ? -2 : WaitFor(child);
        WriteText(folder / "go", "");
        EXPECT_EQ(c.toWorker ? WaitFor(child) : exitCode, c.exitCode);
        WaitFor(worker);
        fs::remove(folder / "go");
        EXPECT_EQ(Listing(folder), std::set<std::string>{});
        fs::remove_all(folder);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(ExportCommand, StaleTemporaryFilesAreJudgedByTheirLockNotByTheirProcessId) {
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const std::string deadId = ".wux-" + std::to_string(ended) + "-";
    const std::string stale = deadId + "0123456789ab.tmp", locked = deadId + "0123456789ac.tmp",
                      recent = deadId + "0123456789ad.tmp";
    const std::string live = ".wux-" + std::to_string(getpid()) + "-0123456789ab.tmp";  // this test is alive
    for (const std::string& name : {stale, locked, recent, live, std::string("notes.tmp")}) WriteText(Path(name), "x");
    const struct timeval old[2] = {{1, 0}, {1, 0}};
    for (const std::string& name : {stale, locked, live}) ASSERT_EQ(utimes(Path(name).c_str(), old), 0);
    const int held = open(Path(locked).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const RunResult run = Wux({"export", Example().string(), Path("out.wux").string(), "--verify"});
    close(held);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Listing(), (std::set<std::string>{locked, recent, live, "notes.tmp", "out.wux", "stderr.txt", "stdout.txt"}));
}

TEST_F(ExportCommand, FullOrReadOnlyFileSystemIsNamedAsSuch) {
    const fs::path mount = Path("small");
    fs::create_directory(mount);
    if (::mount("wux-test", mount.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{mount};
    {
        std::ofstream filler(mount / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const std::string output = (mount / "out.wux").string();
    RunResult run = Wux({"export", Example().string(), output});
    EXPECT_EQ(run.exitCode, 3);  // the output could not be written
    EXPECT_NE(run.err.find(std::string("(") + std::strerror(ENOSPC) + ")"), std::string::npos) << run.err;
    EXPECT_EQ(Listing(mount), (std::set<std::string>{"filler"}));

    ASSERT_EQ(::mount("wux-test", mount.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16k"), 0);
    run = Wux({"export", Example().string(), output});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find(std::strerror(EROFS)), std::string::npos) << run.err;
}

}  // namespace
}  // namespace wux
