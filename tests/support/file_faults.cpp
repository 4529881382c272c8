#include "tests/support/file_faults.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

extern "C" {
int __real_fsync(int fd);
int __real_fdatasync(int fd);
int __real_close(int fd);
ssize_t __real_write(int fd, const void* data, size_t size);
int __real_rename(const char* from, const char* to);
int __real_renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
}

namespace wuxtest {
namespace {

using FileId = std::pair<dev_t, ino_t>;

struct Watch {
    std::string folder;  // canonical, with a trailing slash
    std::set<FileCall> failing;
    int error = EIO;
    int failed = 0;
    int renamed = 0;
    std::map<FileId, bool> synced;  // per file written or synced here: synced since its last write
    std::vector<std::string> unsafe;
};

std::mutex guard;
Watch* watch = nullptr;

std::string Canonical(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    std::string out = real != nullptr ? real : path;
    std::free(real);
    return out;
}

std::string PathOfDescriptor(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

bool Inside(const std::string& path) { return path.compare(0, watch->folder.size(), watch->folder) == 0; }

bool IdOf(int fd, FileId* id) {
    struct stat info;
    if (fstat(fd, &info) != 0) return false;
    *id = {info.st_dev, info.st_ino};
    return true;
}

// Whether this process still holds a descriptor of the file.
bool OpenHere(const FileId& id) {
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return false;
    bool open = false;
    for (const dirent* entry; !open && (entry = readdir(fds)) != nullptr;) {
        const int fd = std::atoi(entry->d_name);
        FileId other;
        if (entry->d_name[0] != '.' && fd != dirfd(fds) && IdOf(fd, &other)) open = other == id;
    }
    closedir(fds);
    return open;
}

// The watched file behind fd, or false.
bool Watched(int fd, FileId* id) { return watch != nullptr && Inside(PathOfDescriptor(fd)) && IdOf(fd, id); }

// Fails the call when the scope asks for it: true with errno to return set in *error.
bool Fails(FileCall call, int fd, int* error) {
    std::lock_guard<std::mutex> lock(guard);
    FileId id;
    if (!Watched(fd, &id) || watch->failing.count(call) == 0) return false;
    ++watch->failed;
    *error = watch->error;
    return true;
}

void CheckRename(int fromFolder, const char* from, const char* to) {
    std::lock_guard<std::mutex> lock(guard);
    if (watch == nullptr) return;
    const std::string where = fromFolder == AT_FDCWD ? std::string() : PathOfDescriptor(fromFolder) + "/";
    const std::string path = Canonical(where + from);
    struct stat info;
    if (!Inside(path) || fstatat(AT_FDCWD, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
    ++watch->renamed;
    const FileId id{info.st_dev, info.st_ino};
    const auto synced = watch->synced.find(id);
    const char* why = OpenHere(id)                                         ? "still open"
                      : synced == watch->synced.end() || !synced->second ? "not synced after its last write"
                                                                          : nullptr;
    if (why != nullptr) watch->unsafe.push_back(std::string(from) + " -> " + to + ": " + why);
}

int Sync(int fd, int (*real)(int)) {
    int failure = 0;
    if (Fails(FileCall::Sync, fd, &failure)) {
        errno = failure;
        return -1;
    }
    const int result = real(fd);
    const int error = errno;
    {
        std::lock_guard<std::mutex> lock(guard);
        FileId id;
        if (result == 0 && Watched(fd, &id)) watch->synced[id] = true;
    }
    errno = error;
    return result;
}

}  // namespace

FileFaults::FileFaults(const std::string& folder) {
    std::lock_guard<std::mutex> lock(guard);
    watch = new Watch;
    watch->folder = Canonical(folder) + "/";
}

FileFaults::~FileFaults() {
    std::lock_guard<std::mutex> lock(guard);
    delete watch;
    watch = nullptr;
}

void FileFaults::Fail(FileCall call, int error) {
    std::lock_guard<std::mutex> lock(guard);
    watch->failing.insert(call);
    watch->error = error;
}

int FileFaults::Failed() const {
    std::lock_guard<std::mutex> lock(guard);
    return watch->failed;
}

int FileFaults::Renamed() const {
    std::lock_guard<std::mutex> lock(guard);
    return watch->renamed;
}

std::vector<std::string> FileFaults::UnsafeRenames() const {
    std::lock_guard<std::mutex> lock(guard);
    return watch->unsafe;
}

}  // namespace wuxtest

using namespace wuxtest;

extern "C" {

int __wrap_fsync(int fd) { return Sync(fd, __real_fsync); }
int __wrap_fdatasync(int fd) { return Sync(fd, __real_fdatasync); }

int __wrap_close(int fd) {
    int error = 0;
    const bool fails = Fails(FileCall::Close, fd, &error);
    const int result = __real_close(fd);
    if (!fails) return result;
    errno = error;
    return -1;
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    const ssize_t written = __real_write(fd, data, size);
    const int error = errno;
    if (written > 0) {
        std::lock_guard<std::mutex> lock(guard);
        FileId id;
        if (Watched(fd, &id)) watch->synced[id] = false;
    }
    errno = error;
    return written;
}

int __wrap_rename(const char* from, const char* to) {
    CheckRename(AT_FDCWD, from, to);
    return __real_rename(from, to);
}

int __wrap_renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    CheckRename(fromFolder, from, to);
    return __real_renameat2(fromFolder, from, toFolder, to, flags);
}

}  // extern "C"
