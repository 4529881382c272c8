// Runs the built wux command and checks its exit codes and output.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_bytes.h"

namespace {

using wuxtest::CommandRun;

CommandRun RunWux(const std::string& arguments) {
    return wuxtest::RunCommand(wuxtest::ShellQuoted(WUX_TOOL_PATH) + " " + arguments);
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
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find(broken), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("offset "), std::string::npos) << run.output;

    EXPECT_EQ(RunWux("info '" + folder_.Path("missing.wux") + "'").exitCode, 2);
}

TEST_F(WuxCli, HelpAndVersion) {
    CommandRun run = RunWux("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"info", "check", "export", "--version"}) {
        EXPECT_NE(run.output.find(word), std::string::npos) << word << " in\n" << run.output;
    }
    run = RunWux("check --help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("Exit codes: 0 valid, 1 invalid, 2"), std::string::npos) << run.output;
    run = RunWux("info --help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("--json"), std::string::npos) << run.output;

    run = RunWux("--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, std::string("wux ") + WUX_VERSION + "\n");

    EXPECT_NE(RunWux("").exitCode, 0);  // a subcommand is required
    EXPECT_NE(RunWux("check").exitCode, 0);
}

}  // namespace
