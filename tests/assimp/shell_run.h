// Helpers of the tests that run the wux command through the shell: a fresh folder per test,
// shell quoting, whole-file reads.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace wux::test {

// An empty folder named after the running test, under the system's temporary folder.
inline std::filesystem::path FreshTestDir(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / (prefix + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

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
