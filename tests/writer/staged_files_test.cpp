// What a command leaves on the disk: when it does not commit, nothing, even where the user
// moved the folder while it ran, or where the disk failed the last step of a write; when it
// commits, files that took their names only once synced and closed, OUTPUT through the one
// temporary file the plug-in's save wrote in place.
#include "writer/staged_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/mount.h>

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
    for (const auto& item : fs::recursive_directory_iterator(folder)) names.insert(item.path().lexically_relative(folder));
    return names;
}

// An export as the tool makes one: OUTPUT written by the plug-in's save, a report replacing an
// earlier one, a new texture.
struct Staged {
    StagedFiles files;
    fs::path output, report, texture;

    Staged(const fs::path& output, const fs::path& report, const fs::path& texture,
           StagedFiles::Sync sync = StagedFiles::Sync::EachFile)
        : files(sync), output(output), report(report), texture(texture) {}
    explicit Staged(const fs::path& folder, StagedFiles::Sync sync = StagedFiles::Sync::EachFile)
        : Staged(folder / "scene.wux", folder / "report.json", folder / "texture.png", sync) {}
    ::testing::AssertionResult All() {
        const ToolResult<StagedFiles::File*> file = files.Stage(output.string());
        if (!file.Ok()) return ::testing::AssertionFailure() << file.Error().Text();
        if (ExportModel().Save((*file)->temporary().c_str()) != 0) return ::testing::AssertionFailure() << "the save failed";
        for (const ToolResult<void>& added :
             {files.Add(report.string(), "{}\n", 3), files.Add(texture.string(), "png", 3, false)})
            if (!added.Ok()) return ::testing::AssertionFailure() << added.Error().Text();
        return ::testing::AssertionSuccess();
    }
};

TEST(StagedFiles, FilesNotCommittedAreRemovedFromAFolderRenamedMeanwhile) {
    const fs::path root = TestFolder(), folder = root / "out", moved = root / "moved";
    fs::create_directory(folder);
    {
        Staged staged(folder);
        ASSERT_TRUE(staged.All());
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
        fs::rename(folder, moved);
    }
    EXPECT_TRUE(fs::is_empty(moved));
}

// One rename per file (the save wrote its staged file in place, with no temporary of its own),
// each file synced and closed first; a batch's commit syncs nothing and leaves it to one
// syncfs of the folder.
TEST(StagedFiles, EveryFileTakesItsNameOnceClosedAndSyncedUnlessLater) {
    for (const StagedFiles::Sync sync : {StagedFiles::Sync::EachFile, StagedFiles::Sync::Later}) {
        const TempFolder temp;
        const fs::path folder = temp.Root();
        WriteFileBytes((folder / "report.json").string(), "the earlier report");
        FileFaults watch(folder.string());
        if (sync == StagedFiles::Sync::Later) watch.Fail(FileCall::Sync);
        Staged staged(folder, sync);
        ASSERT_TRUE(staged.All());
        const ToolResult<void> committed = staged.files.Commit();
        ASSERT_TRUE(committed.Ok()) << committed.Error().Text();
        EXPECT_TRUE(PassesChecker(staged.output.string()));
        EXPECT_EQ(Text(staged.report), "{}\n");
        EXPECT_EQ(Listing(folder), (std::set<std::string>{"report.json", "scene.wux", "texture.png"}));
        EXPECT_EQ(watch.Renamed(), 3);
        if (sync == StagedFiles::Sync::EachFile) {
            EXPECT_EQ(watch.UnsafeRenames(), std::vector<std::string>{});
        } else {
            EXPECT_EQ(watch.Failed(), 0);
            EXPECT_TRUE(SyncFolders({folder.string()}).Ok());
            const ToolResult<void> missing = SyncFolders({(folder / "gone").string()});
            ASSERT_FALSE(missing.Ok());
            EXPECT_NE(missing.Error().Text().find("gone"), std::string::npos) << missing.Error().Text();
        }
    }
}

// A sync or close that fails with EIO, in each file: the commit fails naming the file and the
// cause, the earlier files are as they were and no temporary file is left (the one of a file
// written in place included, which waits in the system's temporary folder).
TEST(StagedFiles, LateWriteErrorsFailTheCommitAndKeepTheEarlierFiles) {
    // OUTPUT has a second name, so it is written in place, after the others.
    const char* const previousTmp = std::getenv("TMPDIR");
    const std::string keptTmp = previousTmp != nullptr ? previousTmp : "";
    for (const FileCall call : {FileCall::Sync, FileCall::Close}) {
        for (const char* failing : {"report", "texture", "output"}) {
            SCOPED_TRACE(std::string(call == FileCall::Sync ? "sync" : "close") + " failing in the " + failing);
            const TempFolder temp;
            const fs::path folder = temp.Root(), systemTmp = folder / "tmp";
            for (const char* sub : {"tmp", "report", "texture", "output"}) fs::create_directory(folder / sub);
            setenv("TMPDIR", systemTmp.c_str(), 1);
            const fs::path output = folder / "output" / "scene.wux", report = folder / "report" / "report.json";
            WriteFileBytes(report.string(), "the earlier report");
            WriteFileBytes(output.string(), "the earlier output");
            fs::create_hard_link(output, folder / "output" / "second-name.wux");
            const std::set<std::string> before = Listing(folder);
            {
                Staged staged(output, report, folder / "texture" / "texture.png");
                ASSERT_TRUE(staged.All());
                FileFaults faults((folder / failing).string());
                faults.Fail(call);
                const ToolResult<void> result = staged.files.Commit();
                ASSERT_FALSE(result.Ok());
                const std::string message = result.Error().Text();
                EXPECT_NE(message.find((folder / failing).string()), std::string::npos) << message;
                EXPECT_NE(message.find(std::strerror(EIO)), std::string::npos) << message;
            }
            EXPECT_EQ(Text(report), "the earlier report");
            EXPECT_EQ(Listing(folder), before);
        }
    }
    if (previousTmp != nullptr) setenv("TMPDIR", keptTmp.c_str(), 1);
    else unsetenv("TMPDIR");
}

// A file streamed a block at a time (convert's OBJ text) onto a disk that fills up: the write
// that fails is the commit's failure, and the earlier file stays.
TEST(StagedFiles, AStreamThatFillsTheDiskFailsTheCommit) {
    const TempFolder temp;
    const fs::path small = fs::path(temp.Root()) / "small", target = small / "model.obj";
    fs::create_directory(small);
    if (mount("wux-test", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    WriteFileBytes(target.string(), "the earlier file");
    {
        StagedFiles files;
        const ToolResult<StagedFiles::File*> file = files.Stage(target.string());
        ASSERT_TRUE(file.Ok()) << file.Error().Text();
        const std::vector<uint8_t> block(16 << 10, 'v');
        for (int i = 0; i < 8; ++i) (*file)->write(block.data(), block.size());
        const ToolResult<void> committed = files.Commit();
        ASSERT_FALSE(committed.Ok());
        EXPECT_NE(committed.Error().Text().find(target.string() + "\": " + std::strerror(ENOSPC)), std::string::npos)
            << committed.Error().Text();
    }
    EXPECT_EQ(Text(target), "the earlier file");
    EXPECT_EQ(Listing(small), std::set<std::string>{"model.obj"});
    umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace wux
