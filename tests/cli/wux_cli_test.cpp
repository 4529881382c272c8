// Runs the built wux command and checks its exit codes and output.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"
#include "tests/support/under_asan.h"
#include "tests/support/wux_check.h"
#include "tests/support/wux_bytes.h"

namespace {

using wuxtest::CommandRun;

// shellPrefix runs in the same shell first, e.g. "ulimit -v 300000; ".
CommandRun RunWux(const std::string& arguments, const std::string& shellPrefix = "") {
    return wuxtest::RunCommand(shellPrefix + wuxtest::ShellQuoted(WUX_TOOL_PATH) + " " + arguments);
}

// Only what the command writes to standard output, or only what it writes to standard error.
CommandRun StdoutOf(const std::string& arguments) {
    return wuxtest::RunCommand("{ " + wuxtest::ShellQuoted(WUX_TOOL_PATH) + " " + arguments + " 2>/dev/null; }");
}
CommandRun StderrOf(const std::string& arguments) {
    return wuxtest::RunCommand("{ " + wuxtest::ShellQuoted(WUX_TOOL_PATH) + " " + arguments + " 2>&1 >/dev/null; }");
}

class WuxCli : public testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = folder_.Path(name);
        WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    TempFolder folder_;
};

TEST_F(WuxCli, CheckExitCodes) {
    const std::string valid = Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    CommandRun run = RunWux("check '" + valid + "'");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(": valid (0 errors, 0 warnings)"), std::string::npos) << run.output;

    auto bytes = wuxtest::Build(wuxtest::RichFile()).bytes;
    bytes.PatchU32(20, 7);  // GNFO magic
    const std::string invalid = Write("invalid.wux", bytes.data);
    run = RunWux("check '" + invalid + "'");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("error: offset 20 (GNFO): magic 7, expected 100"), std::string::npos) << run.output;

    const std::string missing = folder_.Path("missing.wux");
    run = RunWux("check '" + missing + "'");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find(missing), std::string::npos) << run.output;
    EXPECT_EQ(RunWux("check '" + folder_.Root() + "'").exitCode, 2);
}

TEST_F(WuxCli, CheckJsonHasTheSameVerdictsAndExitCodes) {
    auto broken = wuxtest::Build(wuxtest::RichFile()).bytes;
    broken.PatchU32(20, 7);  // GNFO magic
    const struct {
        std::string path;
        int exitCode;
        bool valid;
        std::size_t errors;
    } cases[] = {
        {Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data), 0, true, 0},
        {Write("invalid.wux", broken.data), 1, false, 1},
        {folder_.Path("missing.wux"), 2, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const CommandRun run = RunWux("check --json '" + c.path + "'");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        // A file that cannot be read also gets its message on standard error, before the JSON.
        const nlohmann::json j = nlohmann::json::parse(run.output.substr(run.output.find('{')));
        EXPECT_EQ(j["file"], c.path);
        EXPECT_EQ(j["valid"], c.valid);
        EXPECT_EQ(j["errors"].size(), c.errors);
        EXPECT_TRUE(j["warnings"].is_array());
    }
    const nlohmann::json invalid =
        nlohmann::json::parse(RunWux("check --json '" + cases[1].path + "'").output);
    EXPECT_EQ(invalid["errors"][0]["offset"], 20);
    EXPECT_EQ(invalid["errors"][0]["where"], "GNFO");
    EXPECT_EQ(invalid["errors"][0]["message"], "magic 7, expected 100");
    const CommandRun missing = RunWux("check --json '" + cases[2].path + "'");
    EXPECT_TRUE(nlohmann::json::parse(missing.output.substr(missing.output.find('{')))["errors"][0]["offset"].is_null());
}

TEST_F(WuxCli, InfoPrintsTextAndJsonAndRejectsBrokenFiles) {
    const std::string valid = Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    CommandRun run = RunWux("info '" + valid + "'");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("header: 2 meshes, 2 materials"), std::string::npos) << run.output;

    run = RunWux("info --json '" + valid + "'");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto json = nlohmann::json::parse(run.output, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << run.output;
    EXPECT_EQ(json["materials"][0]["name"], "brick");

    auto truncated = wuxtest::Build(wuxtest::RichFile()).bytes.data;
    truncated.resize(200);
    const std::string broken = Write("broken.wux", truncated);
    run = RunWux("info '" + broken + "'");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find(broken), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("offset "), std::string::npos) << run.output;

    EXPECT_EQ(RunWux("info '" + folder_.Path("missing.wux") + "'").exitCode, 2);

    // --json promises JSON on standard output either way.
    run = StdoutOf("info --json '" + broken + "'");
    EXPECT_EQ(run.exitCode, 2);
    const auto failure = nlohmann::json::parse(run.output, nullptr, false);
    ASSERT_FALSE(failure.is_discarded()) << run.output;
    EXPECT_EQ(failure["error"]["code"], 2);
    EXPECT_EQ(failure["error"]["file"], broken);
    EXPECT_EQ(failure["error"]["offset"], 16);
}

TEST_F(WuxCli, HelpAndVersion) {
    CommandRun run = RunWux("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"info", "check", "export", "help", "--version", "64   usage"})
        EXPECT_NE(run.output.find(word), std::string::npos) << word << " in\n" << run.output;
    EXPECT_EQ(RunWux("help").output, run.output);
    run = RunWux("help export");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, RunWux("export --help").output);
    for (const char* word : {"Usage: wux export", "--out-dir", "-q,--quiet", "-v,--verbose", "Examples:\n  wux export "})
        EXPECT_NE(run.output.find(word), std::string::npos) << word << " in\n" << run.output;

    run = RunWux("--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, std::string("wux ") + WUX_VERSION + "\n");
}

// Every usage error exits 64 with one "wux CMD: " line in the user's words, and a pointer to
// the help; a near miss gets a suggestion.
TEST_F(WuxCli, UsageErrorsSpeakPlainlyAndExit64) {
    const std::string valid = Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    const std::string v = " '" + valid + "'";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"", "wux: no command given"},
        {"expor a.json a.wux", "wux: no command 'expor'; did you mean 'export'?"},
        {"help chek", "wux help: no command 'chek'; did you mean 'check'?"},
        {"check" + v + " --max-problem 3", "wux check: unknown option '--max-problem'; did you mean '--max-problems'?"},
        {"check", "wux check: file is required"},
        {"check" + v + " --max-problems 0", "wux check: --max-problems must be 1 or more, not 0"},
        {"check" + v + " --max-problems many", "wux check: --max-problems must be a number, not \"many\""},
        {"diff" + v + v + " --tolerance -1", "wux diff: --tolerance must be 0 or more, not -1"},
        {"export a.json --out-dir out --jobs 0", "wux export: --jobs must be 1 or more, not 0"},
        {"export a.json b.wux --smooth-angle 200", "wux export: --smooth-angle must be from 0 to 180, not 200"},
        {"export a.json", "wux export: give INPUT and OUTPUT, or INPUT... --out-dir DIR"},
        {"render" + v + " -o x.png --size 0x5", "wux render: --size: \"0x5\": each side must be 1 to"},
        {"render" + v + " -o", "wux render: -o"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandRun run = RunWux(c.arguments);
        EXPECT_EQ(run.exitCode, 64) << run.output;
        EXPECT_EQ(run.output.find(c.message), 0u) << run.output;
        EXPECT_NE(run.output.find("Run 'wux help"), std::string::npos) << run.output;
    }
    // The option is named as typed: -o, not --output.
    const CommandRun typed = RunWux("render" + v + " -o");
    EXPECT_EQ(typed.output.find("--output"), std::string::npos) << typed.output;
    // With --json on the line, standard output still holds JSON.
    const CommandRun json = StdoutOf("info --json --bogus" + v);
    EXPECT_EQ(json.exitCode, 64);
    EXPECT_EQ(nlohmann::json::parse(json.output)["code"], 64) << json.output;
}

// The same failure gives the same code in every command (docs/wux-tool.md, "Exit codes").
TEST_F(WuxCli, OneExitCodeTable) {
    const std::string valid = Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    auto truncated = wuxtest::Build(wuxtest::RichFile()).bytes.data;
    truncated.resize(200);
    const std::string broken = Write("broken.wux", truncated);
    const std::string missing = folder_.Path("missing.wux"), noFolder = folder_.Path("none/out");
    const std::string scene = std::string(WUX_SOURCE_DIR) + "/examples/scene.json";
    const auto q = [](const std::string& path) { return " " + wuxtest::ShellQuoted(path); };
    const struct {
        std::string arguments;
        int exitCode;
    } cases[] = {
        // 2: an input cannot be read, or is not a readable WUX file.
        {"info" + q(missing), 2}, {"check" + q(missing), 2}, {"diff" + q(valid) + q(missing), 2},
        {"diff" + q(broken) + q(valid), 2}, {"info" + q(broken), 2}, {"convert" + q(broken) + q(folder_.Path("a.json")), 2},
        {"render" + q(broken) + " -o" + q(folder_.Path("a.png")), 2}, {"view" + q(missing) + " -o" + q(folder_.Path("a.html")), 2},
        {"export" + q(folder_.Path("missing.json")) + q(folder_.Path("a.wux")), 2},
        // 3: an output cannot be written.
        {"export" + q(scene) + q(noFolder + ".wux"), 3}, {"convert" + q(valid) + q(noFolder + ".json"), 3},
        {"render" + q(valid) + " -o" + q(noFolder + ".png"), 3}, {"view" + q(valid) + " -o" + q(noFolder + ".html"), 3},
        // 64: outputs that do not say what they are, "-" where no stream makes sense, the input itself.
        {"export" + q(scene) + q(folder_.Path("out.txt")), 64}, {"export" + q(scene) + " -", 64},
        {"render" + q(valid) + " -o" + q(folder_.Path("x.jpg")), 64}, {"render" + q(valid) + " -o -", 64},
        {"view" + q(valid) + " -o" + q(folder_.Path("x.png")), 64}, {"convert" + q(valid) + q(folder_.Path("x.fbx")), 64},
        {"convert" + q(valid) + q(valid), 64},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunWux(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_EQ(run.output.rfind("wux ", 0), 0u) << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists("-"));
    EXPECT_FALSE(std::filesystem::exists(folder_.Path("out.txt")));
}

// Results on standard output; warnings and notes on standard error; -q keeps only results and
// errors, -v adds the steps. JSON outputs stream to "-".
TEST_F(WuxCli, QuietVerboseAndStreams) {
    const std::string scene = std::string(WUX_SOURCE_DIR) + "/examples/scene.json";
    const std::string out = wuxtest::ShellQuoted(folder_.Path("scene.wux"));
    const std::string exportLine = "export " + wuxtest::ShellQuoted(scene) + " " + out;
    const CommandRun stdoutOnly = StdoutOf(exportLine);
    EXPECT_EQ(stdoutOnly.exitCode, 0) << stdoutOnly.output;
    EXPECT_EQ(stdoutOnly.output.rfind("wrote ", 0), 0u) << stdoutOnly.output;
    EXPECT_EQ(stdoutOnly.output.find("warning"), std::string::npos) << stdoutOnly.output;
    EXPECT_NE(StderrOf(exportLine).output.find("wux export: warning: nodes passed over"),
              std::string::npos);
    EXPECT_EQ(RunWux(exportLine + " -q").output, "");
    const CommandRun verbose = StderrOf(exportLine + " -v");
    EXPECT_NE(verbose.output.find("wux export: plug-in "), std::string::npos) << verbose.output;
    EXPECT_NE(verbose.output.find("wux export: reading "), std::string::npos) << verbose.output;
    ASSERT_TRUE(PassesChecker(folder_.Path("scene.wux")));
    // On a terminal the export shows how far it is, in the reading (of a PLY file long enough
    // to report a step) and in the plug-in's pass; -q shows nothing but the result.
    if (wuxtest::RunCommand("script -qec true /dev/null").exitCode == 0) {
        std::string ply = "ply\nformat ascii 1.0\nelement vertex 40000\nproperty float x\nproperty float y\n"
                          "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
        for (int i = 0; i < 40000; ++i) ply += std::to_string(i) + " 0 " + std::to_string(i % 7) + "\n";
        WriteFileBytes(folder_.Path("big.ply"), ply + "3 0 1 2\n");
        const std::string plyLine = "export " + wuxtest::ShellQuoted(folder_.Path("big.ply")) + " " +
                                    wuxtest::ShellQuoted(folder_.Path("big.wux"));
        const auto onTerminal = [&](const std::string& line) {
            return wuxtest::RunCommand("script -qec " +
                                       wuxtest::ShellQuoted(wuxtest::ShellQuoted(WUX_TOOL_PATH) + " " + line) +
                                       " /dev/null")
                .output;
        };
        EXPECT_NE(onTerminal(exportLine).find("exporting: 100% (node "), std::string::npos);
        const std::string plyShown = onTerminal(plyLine);
        // A step between the start and the end, not only 0% and 100%.
        EXPECT_TRUE(std::regex_search(plyShown, std::regex("big\\.ply: [1-9][0-9]?%"))) << plyShown;
        EXPECT_TRUE(PassesChecker(folder_.Path("big.wux")));
        for (const std::string& line : {exportLine, plyLine}) {
            const std::string quiet = onTerminal(line + " -q");
            EXPECT_EQ(quiet.find("exporting"), std::string::npos) << quiet;
            EXPECT_EQ(quiet.find("reading"), std::string::npos) << quiet;
        }
    }

    // The report on standard output is the result; the summary moves to standard error.
    const CommandRun report = StdoutOf(exportLine + " --report -");
    EXPECT_EQ(report.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(report.output)["summary"]["meshes"], 5) << report.output;
    const CommandRun scene2 = StdoutOf("convert " + out + " -");
    EXPECT_EQ(scene2.exitCode, 0);
    EXPECT_TRUE(nlohmann::json::parse(scene2.output).contains("nodes")) << scene2.output;

    const std::string valid = Write("valid.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    EXPECT_EQ(RunWux("render '" + valid + "' -o '" + folder_.Path("a.png") + "' -q").output, "");
}

// A FIFO would block the reader until a writer came, a device would be read until memory ran out.
TEST_F(WuxCli, NonRegularInputsAreRefusedAtOnce) {
    const std::string fifo = folder_.Path("fifo.wux");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoObj = folder_.Path("fifo.obj");
    ASSERT_EQ(mkfifo(fifoObj.c_str(), 0600), 0);
    const std::string zeroJson = folder_.Path("zero.json");
    std::filesystem::create_symlink("/dev/zero", zeroJson);
    const std::string out = folder_.Path("out.wux");
    const struct {
        std::string arguments;
        int exitCode;
        std::string expected;
    } cases[] = {
        {"check '" + fifo + "'", 2, fifo + ": not a regular file (a FIFO)"},
        {"info '" + fifo + "'", 2, fifo + ": not a regular file (a FIFO)"},
        {"check /dev/zero", 2, "/dev/zero: not a regular file (a character device)"},
        {"export '" + zeroJson + "' '" + out + "'", 2, zeroJson + ": not a regular file (a character device)"},
        {"export '" + fifoObj + "' '" + out + "'", 2, fifoObj + ": not a regular file (a FIFO)"},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunWux(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// An output is never one of the inputs nor another output, however it is spelt: a usage
// error naming both, before anything is read or written.
TEST_F(WuxCli, ExportRefusesAnOutputThatIsAnInputOrAnotherOutput) {
    const std::string scene = folder_.Path("t.json"), out = folder_.Path("out.wux"), link = folder_.Path("link.wux");
    WriteFileBytes(scene, "{\"nodes\": []}");
    std::filesystem::create_symlink(scene, link);
    const std::string in = "cd '" + folder_.Root() + "' && ";
    const struct {
        std::string prefix, arguments, expected;
    } cases[] = {
        {"", "'" + scene + "' '" + scene + "'", scene + ": is the input " + scene},
        {in, "t.json ./t.json", "./t.json: is the input t.json"},
        {in, "t.json '" + scene + "'", scene + ": is the input t.json"},
        {"", "'" + scene + "' '" + link + "'", link + ": is the input " + scene},
        {"", "'" + scene + "' '" + out + "' --report '" + scene + "'", scene + ": is the input " + scene},
        {in, "t.json out.wux --report ./out.wux", "./out.wux: is also the output out.wux"},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunWux("export " + c.arguments, c.prefix);
        EXPECT_EQ(run.exitCode, 64) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    }
    const std::vector<unsigned char> kept = ReadFileBytes(scene);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "{\"nodes\": []}");
    EXPECT_EQ(folder_.Files(), (std::vector<std::string>{"link.wux", "t.json"}));
}

// Names stay in their place in messages: a newline in a name cannot forge a line, diff --json
// replaces bytes that are not UTF-8, and a --texture-dir that is not a folder is an error.
TEST_F(WuxCli, MessagesKeepNamesInTheirPlace) {
    const std::string forged = folder_.Path("a\nwux export: forged.json");
    WriteFileBytes(forged, "{");
    CommandRun run = RunWux("export '" + forged + "' '" + folder_.Path("out.wux") + "'");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.output.find("\nwux export: forged"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("/a\\x0Awux export: forged.json\": "), std::string::npos) << run.output;

    const std::string latin = Write("caf\xE9.wux", wuxtest::Build(wuxtest::RichFile()).bytes.data);
    run = RunWux("diff --json '" + latin + "' '" + latin + "'");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(nlohmann::json::parse(run.output)["a"], folder_.Path("caf\xEF\xBF\xBD.wux"));

    for (const std::string& dir : {folder_.Path("missing"), latin}) {
        run = RunWux("convert '" + latin + "' '" + folder_.Path("out.gltf") + "' --texture-dir '" + dir + "'");
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_NE(run.output.find(dir == latin ? ": --texture-dir is not a folder" : "missing: --texture-dir does not exist"),
                  std::string::npos) << run.output;
    }
#ifndef WUX_UNDER_ASAN  // no address-space cap under AddressSanitizer
    // Assimp keeps only the text of a failed allocation: still "out of memory".
    const std::string off = folder_.Path("huge.off");
    WriteFileBytes(off, "OFF\n400000000 1 0\n0 0 0\n");
    run = RunWux("export '" + off + "' '" + folder_.Path("huge.wux") + "' --memory-limit 200");
    EXPECT_NE(run.output.find("huge.off: out of memory\n"), std::string::npos) << run.output;
#endif
}

// check and info look at a file's head before anything else and map the rest, so neither
// the size of a file nor a memory limit makes them read it whole (sparse files: no disk used).
TEST_F(WuxCli, LargeFilesAreJudgedWithoutReadingThemWhole) {
#ifdef WUX_UNDER_ASAN
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    const auto sparse = [&](const std::string& name, const std::string& head, std::uintmax_t size) {
        const std::string path = folder_.Path(name);
        std::ofstream(path, std::ios::binary) << head;
        std::filesystem::resize_file(path, size);
        return path;
    };
    const std::string badHead = sparse("bad_head.wux", "XXXX", 0xFFFFFFFFull);
    const std::string tooLarge = sparse("too_large.wux", "LIBF", 5ull << 30);
    std::string head = "LIBF";
    head += std::string("\x00\x00\x00\x40", 4);  // file_size 1 GiB
    head += "IDFM";
    const std::string large = sparse("large.wux", head, 1ull << 30);
    const std::string limit = "ulimit -v 400000; ";
    const struct {
        std::string arguments;
        int exitCode;
        std::string expected;
    } cases[] = {
        {"check '" + badHead + "'", 1, "error: offset 0 (file head): expected \"LIBF\", found \"XXXX\""},
        {"info '" + badHead + "'", 2, badHead + ": not a readable WUX file: offset 0"},
        {"check '" + tooLarge + "'", 2, tooLarge + ": too large to be a WUX file (5368709120 bytes)"},
        {"check '" + large + "'", 2, large + ": cannot map the file to read it: "},
        {"info '" + large + "'", 2, large + ": cannot map the file to read it: "},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunWux(c.arguments, limit);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    }
}

}  // namespace
