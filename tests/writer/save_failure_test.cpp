#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "model/export_model.h"
#include "test_models.h"
#include "tests/support/file_faults.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"
#include "writer/save_result.h"
#include "writer/temporary_name.h"

namespace fs = std::filesystem;
using wuxtest::FileCall;
using wuxtest::FileFaults;

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

ino_t Inode(const fs::path& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// The plug-in's save, with the failure the tool reads after it.
bool SaveModel(const ExportModel& model, const char* path, SaveError* error) {
    const bool saved = model.Save(path) == 0;
    *error = LastSaveFailure();
    return saved;
}

constexpr uid_t kNobody = 65534;
constexpr int kCannotDropPrivileges = 99;

// Runs body as the unprivileged user nobody, in a child process when we are root (whom
// permissions do not stop); returns body's result, or kCannotDropPrivileges.
int AsUnprivilegedUser(const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(kCannotDropPrivileges);
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
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

    // A 64 KiB file system at mountPoint(); false, with errno set, where mounting is refused.
    bool MountSmallFileSystem() {
        if (mkdir(mountPoint().c_str(), 0755) != 0) return false;
        mounted_ = mount("wux-test", mountPoint().c_str(), "tmpfs", 0, "size=64k") == 0;
        return mounted_;
    }

    // Saves and checks the outcome every failure must have: result 1, the
    // folder's listing unchanged (no new file, no temporary file left) and the
    // earlier file unchanged byte for byte. Returns the save's error.
    SaveError ExpectFailure(const ExportModel& model, const char* path, SaveError::Kind kind, const fs::path& folder) {
        const std::set<std::string> before = Listing(folder);
        SaveError error;
        EXPECT_FALSE(SaveModel(model, path, &error)) << (path ? path : "(null)");
        EXPECT_EQ(error.kind, kind) << error.message;
        EXPECT_FALSE(error.message.empty());
        if (path != nullptr && *path != '\0') {
            EXPECT_NE(error.message.find(path), std::string::npos) << error.message;
        }
        EXPECT_EQ(Listing(folder), before);
        return error;
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
    if (!MountSmallFileSystem()) GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    const fs::path target = mountPoint() / "model.wux";
    WriteText(target, kOldContents);
    ASSERT_EQ(mount("wux-test", mountPoint().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    const ExportModel model;
    const std::string fresh = (mountPoint() / "new.wux").string();
    ExpectFailure(model, fresh.c_str(), SaveError::Kind::CannotCreate, mountPoint());
    ExpectFailure(model, target.c_str(), SaveError::Kind::CannotCreate, mountPoint());
    EXPECT_EQ(ReadText(target), kOldContents);
}

// Results of the unprivileged child: 0 when it saw what it should, else the failed step.
TEST_F(SaveFailure, PermissionsOfAnUnprivilegedUser) {
    // The user owns the folder; a read-only file of theirs, and another user's file, are
    // refused although the folder would take a replacement.
    const fs::path own = folder_ / "own.wux", foreign = folder_ / "foreign.wux";
    WriteText(own, kOldContents);
    WriteText(foreign, kOldContents);
    ASSERT_EQ(chmod(own.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(folder_.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown(own.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown(existing_.c_str(), kNobody, kNobody), 0);
    } else {
        GTEST_SKIP() << "needs root to make a file of another user";
    }
    const int refused = AsUnprivilegedUser([&] {
        const ExportModel model;
        for (const fs::path& path : {own, foreign}) {
            SaveError error;
            if (SaveModel(model, path.c_str(), &error) || error.kind != SaveError::Kind::CannotCreate) return 1;
            if (error.cause != std::strerror(EACCES)) return 2;
        }
        return 0;
    });
    if (refused == kCannotDropPrivileges) GTEST_SKIP() << "cannot run as the user nobody here";
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(ReadText(own), kOldContents);
    EXPECT_EQ(ReadText(foreign), kOldContents);

    // A folder that takes no new file: a writable file in it is written in place, a new
    // file is refused.
    ASSERT_EQ(chown(folder_.c_str(), 0, 0), 0);
    const ino_t inode = Inode(existing_);
    const std::set<std::string> before = Listing(folder_);
    const int inPlace = AsUnprivilegedUser([&] {
        const ExportModel model;
        if (model.Save(existing_.c_str()) != 0) return 1;
        SaveError error;
        const std::string fresh = (folder_ / "new.wux").string();
        if (SaveModel(model, fresh.c_str(), &error) || error.cause != std::strerror(EACCES)) return 2;
        return 0;
    });
    EXPECT_EQ(inPlace, 0);
    EXPECT_EQ(fs::file_size(existing_), 108u);
    EXPECT_EQ(Inode(existing_), inode);
    EXPECT_EQ(Listing(folder_), before);
}

TEST_F(SaveFailure, FullDeviceGivesOneNullDeviceGivesZero) {
    const ExportModel model;
    SaveError error;
    EXPECT_FALSE(SaveModel(model, "/dev/full", &error));
    EXPECT_EQ(error.kind, SaveError::Kind::WriteFailed) << error.message;
    EXPECT_EQ(error.cause, std::strerror(ENOSPC));
    // The plug-in's only report is fixed; the cause stays for the tool to ask.
    EXPECT_EQ(model.Save("/dev/full"), 1);
    EXPECT_EQ(LastSaveFailure().cause, std::strerror(ENOSPC));
    EXPECT_EQ(model.Save("/dev/null"), 0);
    EXPECT_EQ(LastSaveFailure().kind, SaveError::Kind::None);
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
    if (!MountSmallFileSystem()) GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    const fs::path target = mountPoint() / "model.wux";
    WriteText(target, kOldContents);
    auto model = MakeMeshModel(2000);  // about 228 KB, more than the file system holds
    ExpectFailure(*model, target.c_str(), SaveError::Kind::WriteFailed, mountPoint());
    EXPECT_EQ(ReadText(target), kOldContents);
}

// Errors a disk reports only when the data goes out, at the sync or at the close: the save
// fails with the cause, the earlier file stays and no temporary file is left.
TEST_F(SaveFailure, LateWriteErrorsKeepTheEarlierFile) {
    const ExportModel model;
    const std::string fresh = (folder_ / "fresh.wux").string();
    for (const FileCall call : {FileCall::Sync, FileCall::Close}) {
        for (const std::string& target : {existing_.string(), fresh}) {
            SCOPED_TRACE(std::string(call == FileCall::Sync ? "sync" : "close") + " of " + target);
            FileFaults faults(folder_.string());
            faults.Fail(call);
            EXPECT_EQ(ExpectFailure(model, target.c_str(), SaveError::Kind::WriteFailed, folder_).cause,
                      std::strerror(EIO));
        }
    }
    EXPECT_EQ(ReadText(existing_), kOldContents);
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
    const FileFaults watch(folder.string());
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
    // Each file took its name synced and closed, never with its data still on the way.
    EXPECT_EQ(watch.Renamed(), 3);
    EXPECT_EQ(watch.UnsafeRenames(), std::vector<std::string>{});
}

TEST_F(SaveFailure, HardLinkedFileIsWrittenInPlace) {
    // Replacing it would split it from its other name; "wb" wrote through both.
    const fs::path other = folder_ / "other-name.wux";
    fs::create_hard_link(existing_, other);
    const ExportModel model;
    EXPECT_EQ(model.Save(existing_.c_str()), 0);
    EXPECT_EQ(fs::file_size(other), 108u);
    EXPECT_EQ(Inode(other), Inode(existing_));
    EXPECT_EQ(fs::hard_link_count(existing_), 2u);
    EXPECT_EQ(Listing(folder_), (std::set<std::string>{"existing.wux", "other-name.wux"}));
}

TEST_F(SaveFailure, SymbolicLinksAreWrittenThrough) {
    fs::create_directory(folder_ / "sub");
    fs::create_symlink("existing.wux", folder_ / "direct.wux");
    fs::create_symlink("direct.wux", folder_ / "chain.wux");
    fs::create_symlink("sub/made-by-export.wux", folder_ / "dangling.wux");
    fs::create_symlink("loop.wux", folder_ / "loop.wux");
    ASSERT_EQ(chmod(existing_.c_str(), 0640), 0);
    const ExportModel model;
    for (const char* name : {"direct.wux", "chain.wux"}) {
        WriteText(existing_, kOldContents);
        EXPECT_EQ(model.Save((folder_ / name).c_str()), 0) << name;
        EXPECT_TRUE(fs::is_symlink(folder_ / name)) << name;
        EXPECT_EQ(fs::file_size(existing_), 108u) << name;
        EXPECT_EQ(fs::status(existing_).permissions(), static_cast<fs::perms>(0640)) << name;
    }
    EXPECT_EQ(model.Save((folder_ / "dangling.wux").c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.wux"));
    EXPECT_EQ(fs::file_size(folder_ / "sub" / "made-by-export.wux"), 108u);
    SaveError error;
    EXPECT_FALSE(SaveModel(model, (folder_ / "loop.wux").c_str(), &error));
    EXPECT_EQ(error.cause, std::strerror(ELOOP));
    EXPECT_EQ(Listing(folder_), (std::set<std::string>{"existing.wux", "direct.wux", "chain.wux", "dangling.wux",
                                                        "loop.wux", "sub"}));
}

TEST(SaveSuccess, OpenFileNamedThroughDevFdIsWrittenInPlace) {
    // /dev/fd/N and /dev/stdout lead through /proc to an open pipe, not to a path.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    std::thread reader([&] {
        char block[256];
        for (ssize_t got; (got = read(fds[0], block, sizeof block)) > 0;) received.append(block, static_cast<size_t>(got));
    });
    const ExportModel model;
    SaveError error;
    EXPECT_TRUE(SaveModel(model, ("/dev/fd/" + std::to_string(fds[1])).c_str(), &error)) << error.message;
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_EQ(received.size(), 108u);
}

TEST_F(SaveFailure, ReplacedFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    ASSERT_EQ(chown(existing_.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod(existing_.c_str(), 0600), 0);
    const ExportModel model;
    EXPECT_EQ(model.Save(existing_.c_str()), 0);
    struct stat info;
    ASSERT_EQ(stat(existing_.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobody);
    EXPECT_EQ(info.st_gid, kNobody);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, 108);
}

TEST_F(SaveFailure, NamesAtTheFileSystemsLimit) {
    // The temporary name does not grow with the target's, so a 255-byte name works.
    const ExportModel model;
    const fs::path longest = folder_ / (std::string(251, 'n') + ".wux");
    EXPECT_EQ(model.Save(longest.c_str()), 0);
    EXPECT_EQ(fs::file_size(longest), 108u);
    const std::string tooLong = (folder_ / (std::string(252, 'n') + ".wux")).string();
    SaveError error;
    EXPECT_FALSE(SaveModel(model, tooLong.c_str(), &error));
    EXPECT_EQ(error.cause, std::strerror(ENAMETOOLONG)) << error.message;
    EXPECT_EQ(Listing(folder_).size(), 2u);
}

TEST(TemporaryFileName, CarriesTheProcessId) {
    unsigned long pid = 0;
    const std::string name = TemporaryFileName(3);
    ASSERT_TRUE(ParseTemporaryFileName(name, &pid)) << name;
    EXPECT_EQ(pid, static_cast<unsigned long>(getpid()));
    EXPECT_LT(name.size(), 40u);
    EXPECT_TRUE(ParseTemporaryFileName(".wux-1-0123456789ab.tmp", &pid));
    EXPECT_EQ(pid, 1u);
    for (const char* other : {".wux-1-0123456789ab.tmp~", "wux-1-0123456789ab.tmp", ".wux--0123456789ab.tmp",
                              ".wux-x1-0123456789ab.tmp", ".wux-1-0123456789aB.tmp", ".wux-1-0123456789a.tmp",
                              ".wux-12345678901-0123456789ab.tmp", "notes.wux.tmp"})
        EXPECT_FALSE(ParseTemporaryFileName(other, &pid)) << other;
}

}  // namespace
