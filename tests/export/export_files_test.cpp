// What an export leaves on the disk: when it does not commit, nothing, even where the user
// moved the folder while it ran, or where the disk failed the last step of a write; when it
// commits, files that took their names only once synced and closed.
#include "driver/export_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/export_model.h"
#include "tests/support/file_faults.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace wux {
namespace {

namespace fs = std::filesystem;
using wuxtest::FileCall;
using wuxtest::FileFaults;

std::string Text(const fs::path& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path.string());
    return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().filename().string());
    return names;
}

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

// An export as the tool makes one: OUTPUT written by the plug-in's save, a report replacing an
// earlier one, a new texture.
struct Staged {
    ExportFiles files;
    fs::path output, report, texture;

    explicit Staged(const fs::path& folder)
        : output(folder / "scene.wux"), report(folder / "report.json"), texture(folder / "texture.png") {}
    ::testing::AssertionResult Output() {
        const ToolResult<std::string> temporary = files.AddOutput(output.string());
        if (!temporary.Ok()) return ::testing::AssertionFailure() << temporary.Error().Text();
        if (ExportModel().Save(temporary->c_str()) != 0) return ::testing::AssertionFailure() << "the save failed";
        return ::testing::AssertionSuccess();
    }
    ToolResult<void> Report() { return files.AddReplacement(report.string(), "{}\n", 3); }
    ToolResult<void> Texture() { return files.AddNewFile(texture.string(), "png", 3); }
};

TEST(ExportFiles, EveryFileTakesItsNameSyncedAndClosed) {
    const fs::path folder = TestFolder();
    WriteFileBytes((folder / "report.json").string(), "the earlier report");
    const FileFaults watch(folder.string());
    Staged staged(folder);
    ASSERT_TRUE(staged.Output());
    ASSERT_TRUE(staged.Report().Ok());
    ASSERT_TRUE(staged.Texture().Ok());
    const ToolResult<void> committed = staged.files.Commit();
    ASSERT_TRUE(committed.Ok()) << committed.Error().Text();
    EXPECT_TRUE(PassesChecker(staged.output.string()));
    EXPECT_EQ(Text(staged.report), "{}\n");
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"report.json", "scene.wux", "texture.png"}));
    EXPECT_EQ(watch.Renamed(), 4);  // the save's own temporary file, then the three at the commit
    EXPECT_EQ(watch.UnsafeRenames(), std::vector<std::string>{});
}

// A sync or close that fails with EIO, at each step that writes: the export fails naming the
// file and the cause, the earlier files are as they were and no temporary file is left (the
// one of a file written in place included, which waits in the system's temporary folder).
TEST(ExportFiles, LateWriteErrorsFailTheExportAndKeepTheEarlierFiles) {
    enum class At { Report, Texture, Commit };
    struct Step {
        const char* what;
        At at;
        const char* failing;  // the file the message names
    };
    // OUTPUT has a second name, so it is written in place at the commit, after the others.
    const Step steps[] = {{"the report", At::Report, "report.json"}, {"a texture", At::Texture, "texture.png"},
                          {"the commit", At::Commit, "scene.wux"}};
    const char* const previousTmp = std::getenv("TMPDIR");
    const std::string keptTmp = previousTmp != nullptr ? previousTmp : "";
    for (const FileCall call : {FileCall::Sync, FileCall::Close}) {
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(call == FileCall::Sync ? "sync" : "close") + " failing in " + step.what);
            const TempFolder temp;
            const fs::path folder = temp.Root(), systemTmp = folder / "tmp";
            fs::create_directory(systemTmp);
            setenv("TMPDIR", systemTmp.c_str(), 1);
            WriteFileBytes((folder / "report.json").string(), "the earlier report");
            WriteFileBytes((folder / "scene.wux").string(), "the earlier output");
            fs::create_hard_link(folder / "scene.wux", folder / "second-name.wux");
            const std::set<std::string> before = Listing(folder);
            {
                Staged staged(folder);
                ASSERT_TRUE(staged.Output());
                if (step.at == At::Commit) {
                    ASSERT_TRUE(staged.Report().Ok());
                    ASSERT_TRUE(staged.Texture().Ok());
                }
                FileFaults faults(folder.string());
                faults.Fail(call);
                const ToolResult<void> result = step.at == At::Report    ? staged.Report()
                                                : step.at == At::Texture ? staged.Texture()
                                                                         : staged.files.Commit();
                ASSERT_FALSE(result.Ok());
                const std::string message = result.Error().Text();
                EXPECT_NE(message.find((folder / step.failing).string()), std::string::npos) << message;
                EXPECT_NE(message.find(std::strerror(EIO)), std::string::npos) << message;
            }
            EXPECT_EQ(Text(folder / "report.json"), "the earlier report");
            EXPECT_EQ(Listing(folder), before);
            EXPECT_TRUE(fs::is_empty(systemTmp));
        }
    }
    if (previousTmp != nullptr) setenv("TMPDIR", keptTmp.c_str(), 1);
    else unsetenv("TMPDIR");
}

}  // namespace
}  // namespace wux
