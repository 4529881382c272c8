#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// Owns the running test's folder and removes it when the test ends. GoogleTest owns and
// deletes the listener.
class FolderPerTest : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo&) override { folder.reset(); }
    std::unique_ptr<TempFolder> folder;
};

FolderPerTest& Folders() {
    static FolderPerTest* const listener = [] {
        auto* added = new FolderPerTest;
        ::testing::UnitTest::GetInstance()->listeners().Append(added);
        return added;
    }();
    return *listener;
}

}  // namespace

TempFolder::TempFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "wux_test_XXXXXX").string();
    if (ec) pattern = "/tmp/wux_test_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

std::vector<std::string> TempFolder::Files() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestFolder() {
    FolderPerTest& folders = Folders();
    if (!folders.folder) folders.folder = std::make_unique<TempFolder>();
    return folders.folder->Root();
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
