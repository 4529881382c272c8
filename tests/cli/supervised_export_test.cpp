// Exports run in worker processes: an importer that hangs, crashes or aborts on a damaged
// file ends that export with a message and leaves nothing behind; a batch goes on past such
// files and reports each input.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli/export_fixture.h"

namespace wux {
namespace {

std::string LittleEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// PLY files go to our own reader, which refuses these two; under a name Assimp does not know
// they go to Assimp, which tells the format by the content and reads them with its own.
// A PLY header cut off before "end_header": Assimp reads on forever.
const std::string kTruncatedPly = "ply\nformat ascii 1.0\n";

// A binary PLY whose header has no "end_header" line, followed by vertex data: Assimp reads
// outside its buffer.
const std::string kBinaryPlyWithoutHeaderEnd =
    "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
    "property float z\n" + std::string(36, '\0');

// A binary FBX 7.5 file with one node whose property list claims almost 2^64 bytes: the
// importer's tokenizer trips its own assertion and aborts.
std::string FbxWithRunawayPropertyList() {
    std::string file = std::string("Kaydara FBX Binary  ") + '\0' + '\x1a' + '\0' + LittleEndian(7500, 4);
    const std::string body = std::string("\x03") + "Day" + "I" + LittleEndian(5, 4);
    const std::uint64_t end = file.size() + 24 + body.size();
    file += LittleEndian(end, 8) + LittleEndian(1, 8) + LittleEndian(0xFFFFFFFF00000005ULL, 8) + body;
    return file + std::string(25 + 160, '\0');
}

const char kGoodObj[] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

// Every file and folder under dir but the fixture's captured output.
std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.insert(fs::relative(entry.path(), dir).string());
    names.erase("stdout.txt");
    names.erase("stderr.txt");
    return names;
}

struct DamagedInput {
    const char* name;
    std::string bytes;
    std::vector<std::string> options;
    std::string expected;  // the message after "wux export: ", up to the input's path
};

TEST_F(ExportCommand, ImporterHangsAndCrashesEndInAMessageAndLeaveNothing) {
    Deadline(25);  // a worker that is never stopped must not hold the test
    const DamagedInput cases[] = {
        {"truncated.dat", kTruncatedPly, {"--timeout", "1"}, "the importer took longer than 1 s reading "},
        // Under AddressSanitizer the invalid read ends in its report and SIGABRT.
        {"no_header_end.dat", kBinaryPlyWithoutHeaderEnd, {}, "the importer crashed (SIG"},
        {"runaway.fbx", FbxWithRunawayPropertyList(), {}, "the importer crashed (SIGABRT) reading "},
    };
    for (const DamagedInput& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = Path(c.name);
        WriteText(input, c.bytes);
        WriteText(Path("existing.wux"), "previous contents");
        const std::set<std::string> before = FilesIn(dir_);

        std::vector<std::string> args = {"export", input.string(), Path("existing.wux").string(), "--report",
                                         Path("report.json").string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult run = Wux(args);
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_NE(run.err.find("wux export: " + c.expected), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("reading " + input.string()), std::string::npos) << run.err;
        EXPECT_EQ(ReadText(Path("existing.wux")), "previous contents");
        EXPECT_EQ(FilesIn(dir_), before);
    }
}

TEST_F(ExportCommand, BatchConvertsNestedFoldersInParallelAndReportsEveryInput) {
    const fs::path in = Path("in");
    fs::create_directories(in / "sub" / "deep");
    fs::copy_file(Example(), in / "a.json");
    WriteText(in / "sub" / "b.obj", kGoodObj);
    WriteText(in / "sub" / "deep" / "c.json", R"({"nodes": [)");
    WriteText(in / "sub" / "d.fbx", FbxWithRunawayPropertyList());
    WriteText(in / "notes.txt", "not a model");
    fs::create_directories(Path("loose"));
    WriteText(Path("loose") / "e.obj", kGoodObj);

    const fs::path out = Path("out"), report = Path("report.json");
    const RunResult run = Wux({"export", in.string(), (Path("loose") / "e.obj").string(), "--out-dir", out.string(),
                               "--jobs", "2", "--report", report.string()});
    EXPECT_EQ(run.exitCode, 1) << run.err;

    // Outputs mirror the paths under each folder; a folder that would stay empty is not made.
    EXPECT_EQ(FilesIn(out), (std::set<std::string>{"a.wux", "e.wux", "sub", "sub/b.wux"}));
    for (const char* name : {"a.wux", "e.wux", "sub/b.wux"}) EXPECT_TRUE(PassesChecker((out / name).string())) << name;

    // One line per failure, naming the input; the summary on standard output.
    const std::string c = (in / "sub" / "deep" / "c.json").string(), d = (in / "sub" / "d.fbx").string();
    EXPECT_NE(run.err.find("wux export: " + c + ": byte 11: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("wux export: " + d + ": the importer crashed (SIG"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    EXPECT_NE(run.out.find("converted 3 of 5 files into " + out.string()), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 failed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 other file skipped"), std::string::npos) << run.out;

    const nlohmann::json r = nlohmann::json::parse(ReadText(report));
    EXPECT_EQ(r["jobs"], 2);
    EXPECT_EQ(r["converted"], 3);
    EXPECT_EQ(r["failed"], 2);
    EXPECT_EQ(r["skipped_files"], 1);
    ASSERT_EQ(r["inputs"].size(), 5u);
    const struct {
        std::string input, output, status;
    } expected[] = {
        {(in / "a.json").string(), (out / "a.wux").string(), "converted"},
        {(in / "sub" / "b.obj").string(), (out / "sub" / "b.wux").string(), "converted"},
        {d, (out / "sub" / "d.wux").string(), "failed"},
        {c, (out / "sub" / "deep" / "c.wux").string(), "failed"},
        {(Path("loose") / "e.obj").string(), (out / "e.wux").string(), "converted"},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        const nlohmann::json& entry = r["inputs"][i];
        SCOPED_TRACE(entry.dump());
        EXPECT_EQ(entry["input"], expected[i].input);
        EXPECT_EQ(entry["output"], expected[i].output);
        EXPECT_EQ(entry["status"], expected[i].status);
        EXPECT_GE(entry["seconds"].get<double>(), 0.0);
        if (expected[i].status == "converted") {
            EXPECT_TRUE(entry["warnings"].is_array());
            EXPECT_GE(entry["summary"]["triangles"].get<int>(), 1);
        } else {
            EXPECT_FALSE(entry["error"].get<std::string>().empty());
        }
    }
    EXPECT_FALSE(r["inputs"][0]["warnings"].empty());  // the example's checker map, its textures

    // All good: exit 0.
    const RunResult good = Wux({"export", (in / "a.json").string(), "--out-dir", Path("out2").string()});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_TRUE(PassesChecker((Path("out2") / "a.wux").string()));
}

// One worker runs a batch's files one after another: each file must come out as a single
// export makes it, with its own warnings only, whatever the files before it held.
TEST_F(ExportCommand, BatchFilesInOneWorkerComeOutAsSingleExports) {
    const fs::path in = Path("in");
    fs::create_directories(in);
    WriteText(in / "1.obj", kGoodObj);
    fs::copy_file(Example(), in / "2.json");
    WriteText(in / "3.obj", "mtllib none.mtl\nusemtl red\n" + std::string(kGoodObj));
    fs::copy_file(Example(), in / "4.json");
    const RunResult batch = Wux({"export", in.string(), "--out-dir", Path("out").string(), "--jobs", "1", "--report",
                                 Path("batch.json").string()});
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    const nlohmann::json entries = nlohmann::json::parse(ReadText(Path("batch.json")))["inputs"];
    ASSERT_EQ(entries.size(), 4u);
    for (const nlohmann::json& entry : entries) {
        const std::string input = entry["input"], output = entry["output"], name = fs::path(input).stem().string();
        SCOPED_TRACE(input);
        const RunResult single =
            Wux({"export", input, Path(name + ".wux").string(), "--report", Path(name + ".json").string()});
        ASSERT_EQ(single.exitCode, 0) << single.err;
        EXPECT_TRUE(PassesChecker(output));
        EXPECT_EQ(ReadText(output), ReadText(Path(name + ".wux")));
        EXPECT_EQ(entry["warnings"], nlohmann::json::parse(ReadText(Path(name + ".json")))["warnings"]);
    }
}

// A file name is bytes: one that is not UTF-8 reaches the report on standard output as U+FFFD,
// as it does in a report file, instead of failing the batch after its files were written.
TEST_F(ExportCommand, BatchReportOnStandardOutputTakesNamesThatAreNotUtf8) {
    const fs::path in = Path("in");
    fs::create_directories(in);
    fs::copy_file(Example(), in / "\xff.json");
    const RunResult batch = Wux({"export", in.string(), "--out-dir", Path("out").string(), "--report", "-"});
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_TRUE(PassesChecker((Path("out") / "\xff.wux").string()));
    const nlohmann::json report = nlohmann::json::parse(batch.out);
    EXPECT_EQ(report["inputs"][0]["output"], (Path("out") / "\xef\xbf\xbd.wux").string());
}

TEST_F(ExportCommand, ExportNeedsInputAndOutputOrAnOutputFolder) {
    const RunResult run = Wux({"export", Example().string()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("give INPUT and OUTPUT, or INPUT... --out-dir DIR"), std::string::npos) << run.err;

    const RunResult empty = Wux({"export", Path("").string(), "--out-dir", Path("out").string()});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_NE(empty.err.find("no files to convert"), std::string::npos) << empty.err;
    EXPECT_FALSE(fs::exists(Path("out")));
}

}  // namespace
}  // namespace wux
