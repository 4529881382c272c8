#include "writer/output_target.h"

#ifndef _WIN32

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#include <unistd.h>
#include <filesystem>
#include <system_error>

#include "writer/temporary_name.h"

namespace {

// As many links as the kernel follows before it gives ELOOP.
constexpr int kMaxLinkHops = 40;

bool Fail(SaveError* error, SaveError::Kind kind, const std::string& message) {
    if (error != nullptr) *error = SaveError{kind, message, std::string()};
    return false;
}

bool Fail(SaveError* error, const char* what, const std::string& path, int osError) {
    if (error != nullptr)
        *error = SaveError{SaveError::Kind::CannotCreate, DescribeFailure(what, path, osError), std::strerror(osError)};
    return false;
}

// True for a folder of /proc, whose links only the kernel can follow.
bool InProcFileSystem(const std::string& folder) {
#ifdef __linux__
    struct statfs info;
    return statfs(folder.empty() ? "." : folder.c_str(), &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
#else
    (void)folder;
    return false;
#endif
}

}  // namespace

std::string DescribeFailure(const std::string& what, const std::string& path, int osError) {
    return what + " \"" + path + "\": " + std::strerror(osError);
}

bool ExamineOutputTarget(const std::string& path, OutputTarget* target, SaveError* error) {
    if (path.empty()) return Fail(error, SaveError::Kind::InvalidPath, "no file path was given");
    *target = OutputTarget{};
    std::string resolved = path;
    struct stat info;
    for (int hops = 0;; ++hops) {
        if (lstat(resolved.c_str(), &info) != 0) {
            if (errno != ENOENT) return Fail(error, "cannot write", path, errno);
            break;
        }
        // /proc's links (/dev/stdout -> /proc/self/fd/1, /dev/fd/3) name open files, pipes and
        // sockets rather than paths: only the kernel can follow them, so the file
        // behind one is written in place through the link.
        const bool viaProc = S_ISLNK(info.st_mode) && InProcFileSystem(TargetFolderOf(resolved));
        if (viaProc && stat(resolved.c_str(), &info) != 0) return Fail(error, "cannot write", path, errno);
        if (!S_ISLNK(info.st_mode)) {
            target->exists = true;
            if (viaProc) target->way = OutputTarget::Way::InPlace;
            break;
        }
        if (hops == kMaxLinkHops) return Fail(error, "cannot write", path, ELOOP);
        std::error_code failure;
        const std::string next = std::filesystem::read_symlink(resolved, failure).string();
        if (failure) return Fail(error, "cannot write", path, failure.value());
        resolved = !next.empty() && next[0] == '/' ? next : TargetFolderOf(resolved) + next;
    }
    target->path = resolved;
    target->folder = TargetFolderOf(resolved);
    if (!target->exists) {
        // A missing folder, or one we may not search, shows here rather than as
        // a puzzling failure to create the temporary file.
        const std::string folder = target->folder.empty() ? std::string(".") : target->folder;
        return access(folder.c_str(), F_OK) == 0 || Fail(error, "cannot create", path, errno);
    }
    if (S_ISDIR(info.st_mode)) return Fail(error, SaveError::Kind::InvalidPath, "\"" + path + "\" is a folder");
    // Replacing a file we may not write would be a way round its permissions.
    if (faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) != 0) return Fail(error, "cannot write", path, errno);
    target->existing = info;
    target->special = !S_ISREG(info.st_mode);
    if (target->special || info.st_nlink > 1) target->way = OutputTarget::Way::InPlace;
    return true;
}

int CreateTemporaryFile(const std::string& folder, std::string* path, int* osError) {
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string name = folder + TemporaryFileName(attempt);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) {
            *osError = errno;
            return -1;
        }
        // The lock tells every other process (another PID namespace, another machine on a
        // shared folder) that the file is in use while this descriptor is open. A sweep that
        // took the lock first may have removed the name: then another one.
        struct stat held, named;
        if (fd >= 0 && flock(fd, LOCK_EX) == 0 && fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            *path = name;
            return fd;
        }
        if (fd >= 0) ::close(fd);
    }
    *osError = EEXIST;
    return -1;
}

void KeepAttributes(int fd, const OutputTarget& target) {
    if (!target.exists) return;
    // Owner first: a change of owner clears the set-id bits the mode then restores.
    (void)fchown(fd, target.existing.st_uid, target.existing.st_gid);
    (void)fchmod(fd, target.existing.st_mode & 07777);
}

int WriteAll(int fd, const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size != 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 ? errno : ENOSPC;
        at += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int SyncAndClose(int fd, bool sync) {
    int code = sync && fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    return code;
}

int OpenInPlace(const OutputTarget& target, int* osError) {
    // A device or pipe is opened without blocking, so that a pipe without a reader fails at
    // once; its writes block again.
    const int flags = target.special ? O_WRONLY | O_NONBLOCK : O_WRONLY | O_CREAT | O_TRUNC;
    const int fd = ::open(target.path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) *osError = errno;
    else if (target.special) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

#endif
