#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "model/export_model.h"
#include "model/material_chunk.h"
#include "model/vertex_chunk.h"
#include "test_models.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"
#include "writer/save_result.h"

namespace fs = std::filesystem;

namespace {

const char kOldContents[] = "an earlier export that must survive";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().filename().string());
    return names;
}

class SaveFailure : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.Root().empty());
        folder_ = temp_.Root();
        existing_ = folder_ / "existing.wux";
        WriteText(existing_, kOldContents);
    }
    void TearDown() override {
        if (mounted_) umount2(mountPoint().c_str(), MNT_DETACH);
        // So that the folder can be removed.
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    }

    fs::path mountPoint() const { return folder_ / "small"; }

    // Saves and checks the outcome every failure must have: result 1, the
    // folder's listing unchanged (no new file, no temporary file left) and the
    // earlier file unchanged byte for byte.
    void ExpectFailure(const ExportModel& model, const char* path, SaveError::Kind kind, const fs::path& folder) {
        const std::set<std::string> before = Listing(folder);
        SaveError error;
        EXPECT_FALSE(SaveModel(model, path, &error)) << (path ? path : "(null)");
        EXPECT_EQ(error.kind, kind) << error.message;
        EXPECT_FALSE(error.message.empty());
        if (path != nullptr && *path != '\0') {
            EXPECT_NE(error.message.find(path), std::string::npos) << error.message;
        }
        EXPECT_EQ(model.Save(path), 1);
        EXPECT_EQ(Listing(folder), before);
    }

    TempFolder temp_;
    fs::path folder_;
    fs::path existing_;
    bool mounted_ = false;
};

TEST_F(SaveFailure, BadPathsGiveOneAndLeaveNothing) {
    const ExportModel model;
    const std::string missing = (folder_ / "no such folder" / "out.wux").string();
    const std::string underFile = (existing_ / "out.wux").string();
    ExpectFailure(model, nullptr, SaveError::Kind::InvalidPath, folder_);
    ExpectFailure(model, "", SaveError::Kind::InvalidPath, folder_);
    ExpectFailure(model, missing.c_str(), SaveError::Kind::CannotCreate, folder_);
    ExpectFailure(model, underFile.c_str(), SaveError::Kind::CannotCreate, folder_);
    ExpectFailure(model, folder_.string().c_str(), SaveError::Kind::InvalidPath, folder_);
    EXPECT_EQ(ReadText(existing_), kOldContents);
}

TEST_F(SaveFailure, ReadOnlyFileSystem) {
    // Permissions do not stop root, a read-only mount does.
    ASSERT_EQ(mkdir(mountPoint().c_str(), 0755), 0);
    if (mount("wux-test", mountPoint().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    mounted_ = true;
    const fs::path target = mountPoint() / "model.wux";
    WriteText(target, kOldContents);
    ASSERT_EQ(mount("wux-test", mountPoint().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    const ExportModel model;
    const std::string fresh = (mountPoint() / "new.wux").string();
    ExpectFailure(model, fresh.c_str(), SaveError::Kind::CannotCreate, mountPoint());
    ExpectFailure(model, target.c_str(), SaveError::Kind::CannotCreate, mountPoint());
    EXPECT_EQ(ReadText(target), kOldContents);
}

TEST_F(SaveFailure, ReadOnlyFolderOrFile) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root (see ReadOnlyFileSystem)";
    const ExportModel model;
    ASSERT_EQ(chmod(existing_.c_str(), 0444), 0);
    ExpectFailure(model, existing_.c_str(), SaveError::Kind::CannotCreate, folder_);
    ASSERT_EQ(chmod(existing_.c_str(), 0644), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0555), 0);
    const std::string fresh = (folder_ / "new.wux").string();
    ExpectFailure(model, fresh.c_str(), SaveError::Kind::CannotCreate, folder_);
    ExpectFailure(model, existing_.c_str(), SaveError::Kind::CannotCreate, folder_);
    EXPECT_EQ(ReadText(existing_), kOldContents);
}

TEST_F(SaveFailure, FullDeviceGivesOneNullDeviceGivesZero) {
    const ExportModel model;
    SaveError error;
    EXPECT_FALSE(SaveModel(model, "/dev/full", &error));
    EXPECT_EQ(error.kind, SaveError::Kind::WriteFailed) << error.message;
    EXPECT_EQ(model.Save("/dev/null"), 0);
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << "the device must be written to, never replaced";
}

TEST_F(SaveFailure, PipeWithoutReaderGivesOneAtOnce) {
    const fs::path pipe = folder_ / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    const ExportModel model;
    ExpectFailure(model, pipe.c_str(), SaveError::Kind::CannotCreate, folder_);
}

TEST_F(SaveFailure, FullDiskKeepsTheEarlierFile) {
    ASSERT_EQ(mkdir(mountPoint().c_str(), 0755), 0);
    if (mount("wux-test", mountPoint().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    mounted_ = true;
    const fs::path target = mountPoint() / "model.wux";
    WriteText(target, kOldContents);
    auto model = MakeMeshModel(2000);  // about 228 KB, more than the file system holds
    ExpectFailure(*model, target.c_str(), SaveError::Kind::WriteFailed, mountPoint());
    EXPECT_EQ(ReadText(target), kOldContents);
}

TEST_F(SaveFailure, ModelThatBreaksItsRulesIsRefusedBeforeTheDisk) {
    const std::string target = existing_.string();
    {
        ExportModel model;
        auto material = std::make_unique<MaterialChunk>("Stone");
        material->mapCount = 13;
        model.materials->append(std::move(material));
        ExpectFailure(model, target.c_str(), SaveError::Kind::InvalidModel, folder_);
    }
    {
        ExportModel model;
        auto mesh = std::make_unique<VertexChunk>(0, 0, 0);
        mesh->faceCount = -1;
        model.meshes->append(std::move(mesh));
        ExpectFailure(model, target.c_str(), SaveError::Kind::InvalidModel, folder_);
    }
    EXPECT_EQ(ReadText(existing_), kOldContents);
}

TEST(SaveSuccess, ReplacesAnEarlierFileKeepingItsPermissions) {
    const TempFolder temp;
    const fs::path folder = temp.Root();
    const fs::path target = folder / "model.wux";
    WriteText(target, kOldContents);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const ExportModel model;
    EXPECT_EQ(model.Save(target.c_str()), 0);
    EXPECT_TRUE(PassesChecker(target.string()));
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // A new file gets the usual permissions, 0666 less the umask.
    const mode_t previousMask = umask(022);
    const fs::path fresh = folder / "fresh.wux";
    EXPECT_EQ(model.Save(fresh.c_str()), 0);
    umask(previousMask);
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

    // Through a symbolic link the linked file is replaced and the link stays.
    const fs::path link = folder / "link.wux";
    fs::create_symlink(target, link);
    WriteText(target, kOldContents);
    EXPECT_EQ(model.Save(link.c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(PassesChecker(target.string()));

    EXPECT_EQ(Listing(folder), (std::set<std::string>{"model.wux", "fresh.wux", "link.wux"}));
}

}  // namespace
