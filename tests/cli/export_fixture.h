// Runs the built wux binary as a user does, in a scratch folder of its own per test: the
// fixture of the export command's tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace wux {

namespace fs = std::filesystem;

// ctest sets these; the values compiled in serve when the test runs by itself.
inline std::string Env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : fallback;
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        binaryDir_ = Env("WUX_BINARY_DIR", WUX_TEST_BINARY_DIR);
        sourceDir_ = Env("WUX_SOURCE_DIR", WUX_TEST_SOURCE_DIR);
        wux_ = fs::path(binaryDir_) / "cli" / "wux";
        ASSERT_TRUE(fs::exists(wux_)) << wux_;
        dir_ = TestFolder();
    }

    // From now on every run of wux must end within seconds of this call: a run still going
    // then is killed and fails the test, so that a hang costs seconds instead of the whole
    // time-out of CTest.
    void Deadline(int seconds) { deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds); }
    int SecondsLeft() const {
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline_ - std::chrono::steady_clock::now());
        return left.count() > 1 ? static_cast<int>(left.count()) : 1;
    }

    // Runs wux with the arguments (none may hold a quote) and an optional environment prefix.
    RunResult Wux(const std::vector<std::string>& args, const std::string& env = "") {
        const bool limited = deadline_ != std::chrono::steady_clock::time_point();
        std::string command = env.empty() ? "" : env + " ";
        // timeout stops the whole process group: the export's worker process too.
        if (limited) command += "timeout -k 2 " + std::to_string(SecondsLeft()) + " ";
        command += "'" + wux_.string() + "'";
        for (const std::string& a : args) command += " '" + a + "'";
        const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
        command += " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int status = std::system(command.c_str());
        RunResult run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadText(out);
        run.err = ReadText(err);
        if (limited && (run.exitCode == 124 || run.exitCode == 137)) {
            ADD_FAILURE() << "wux ran past the test's deadline";
        }
        return run;
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }
    std::set<std::string> Listing(const fs::path& folder = fs::path()) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? dir_ : folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    fs::path Example() const { return fs::path(sourceDir_) / "examples" / "scene.json"; }

    std::string binaryDir_, sourceDir_;
    std::chrono::steady_clock::time_point deadline_;
    fs::path wux_, dir_;
};

}  // namespace wux
