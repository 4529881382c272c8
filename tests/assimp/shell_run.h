// Helpers of the tests that run the wux command through the shell: a fresh folder per test,
// shell quoting, whole-file reads.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace wux::test {

// An empty folder named after the running test and this process, under the system's
// temporary folder: test runs of other build trees on the same machine keep to their own.
inline std::filesystem::path FreshTestDir(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (prefix + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A fresh test folder that is removed again when the test passed (kept to look into when it
// failed).
class TestDir {
public:
    explicit TestDir(const std::string& prefix) : path_(FreshTestDir(prefix)) {}
    ~TestDir() {
        std::error_code ec;
        if (!::testing::Test::HasFailure()) std::filesystem::remove_all(path_, ec);
    }
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace wux::test
