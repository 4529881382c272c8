// What an export that does not commit leaves behind: nothing, even where the user moved the
// folder while it ran.
#include "driver/export_files.h"

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

TEST(ExportFiles, AnExportThatDoesNotCommitRemovesItsFilesFromAFolderRenamedMeanwhile) {
    const fs::path root = TestFolder(), folder = root / "out", moved = root / "moved";
    fs::create_directory(folder);
    {
        ExportFiles files;
        const ToolResult<std::string> temporary = files.AddOutput((folder / "scene.wux").string());
        ASSERT_TRUE(temporary.Ok()) << temporary.Error().Text();
        const std::string report = "{}\n";
        ASSERT_TRUE(files.AddReplacement((folder / "report.json").string(), report.data(), report.size()).Ok());
        ASSERT_TRUE(files.AddNewFile((folder / "texture.png").string(), "png", 3).Ok());
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
        fs::rename(folder, moved);
    }
    EXPECT_TRUE(fs::is_empty(moved));
}

}  // namespace
}  // namespace wux
