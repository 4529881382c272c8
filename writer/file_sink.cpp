#include "writer/file_sink.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "writer/output_target.h"
#include "writer/temporary_name.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

#ifdef _WIN32
bool RefusePath(SaveError* error, std::string message) {
    if (error != nullptr) *error = SaveError{SaveError::Kind::InvalidPath, std::move(message), {}};
    return false;
}

std::string SystemMessage(unsigned long code) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) --length;
    if (length == 0) return "system error " + std::to_string(code);
    return std::string(text, length);
}

unsigned long WriteWhole(HANDLE handle, const uint8_t* data, size_t size) {
    while (size != 0) {
        const DWORD piece = size > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, piece, &written, nullptr) || written == 0) {
            const DWORD code = GetLastError();
            return code != 0 ? code : ERROR_WRITE_FAULT;
        }
        data += written;
        size -= written;
    }
    return 0;
}

// Devices need no flush; for a disk file the flush reports late write errors.
unsigned long SyncAndClose(HANDLE handle, bool sync) {
    const DWORD code = sync && !FlushFileBuffers(handle) ? GetLastError() : 0;
    return CloseHandle(handle) || code != 0 ? code : GetLastError();
}

unsigned long MoveOver(const std::string& from, const std::string& to) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return MoveFileExA(from.c_str(), to.c_str(), flags) ? 0 : GetLastError();
}

void Close(HANDLE handle) { CloseHandle(handle); }
void Remove(const std::string& path) { DeleteFileA(path.c_str()); }
#else
std::string SystemMessage(unsigned long code) { return std::strerror(static_cast<int>(code)); }

// Writing to a pipe whose reader has gone raises SIGPIPE, which would end the whole process:
// while writing, the signal is held back and one the write raised is discarded, so the write
// reports EPIPE instead.
unsigned long WriteWhole(int fd, const uint8_t* data, size_t size) {
    sigset_t pipeOnly, previous, pending;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    sigprocmask(SIG_BLOCK, &pipeOnly, &previous);
    const int code = WriteAll(fd, data, size);
    sigpending(&pending);
    if (!alreadyPending && sigismember(&pending, SIGPIPE) == 1) {
        const struct timespec now = {0, 0};
        sigtimedwait(&pipeOnly, nullptr, &now);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return static_cast<unsigned long>(code);
}

unsigned long MoveOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : static_cast<unsigned long>(errno);
}

void Close(int fd) { ::close(fd); }
void Remove(const std::string& path) { ::unlink(path.c_str()); }
#endif

}  // namespace

FileSink::~FileSink() { abandon(); }

// Every failure abandons the file: an existing target stays as it was and no temporary remains.
bool FileSink::fail(SaveError* error, SaveError::Kind kind, const std::string& what, unsigned long osError) {
    abandon();
    if (error != nullptr) {
        error->kind = kind;
        error->cause = SystemMessage(osError);
        error->message = what + ": " + error->cause;
    }
    return false;
}

bool FileSink::write(const uint8_t* data, size_t size) {
    if (file_ == kClosed) return false;  // a failure closed it
    const unsigned long code = WriteWhole(file_, data, size);
    return code == 0 ||
           fail(&writeError_, SaveError::Kind::WriteFailed, "writing " + Quoted(target_) + " failed", code);
}

bool FileSink::finish(SaveError* error) {
    if (file_ == kClosed) {
        // A write that failed earlier is the finish's failure.
        if (error != nullptr && writeError_.kind != SaveError::Kind::None) *error = writeError_;
        return false;
    }
    if (const unsigned long code = SyncAndClose(std::exchange(file_, kClosed), sync_); code != 0)
        return fail(error, SaveError::Kind::WriteFailed, "writing " + Quoted(target_) + " failed", code);
    if (temporary_.empty()) return true;
    if (const unsigned long code = MoveOver(temporary_, written_); code != 0)
        return fail(error, SaveError::Kind::RenameFailed, "cannot replace " + Quoted(target_), code);
    temporary_.clear();
    return true;
}

void FileSink::abandon() {
    if (file_ != kClosed) Close(file_);
    file_ = kClosed;
    if (!temporary_.empty()) Remove(temporary_);
    temporary_.clear();
}

#ifdef _WIN32

bool FileSink::open(const char* path, SaveError* error) {
    if (path == nullptr || *path == '\0') return RefusePath(error, "no file path was given");
    target_ = path;
    written_ = path;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return RefusePath(error, Quoted(target_) + " is a folder");
    // An existing target must be writable now (not read-only, not locked by
    // another program); a device such as NUL is written to directly.
    HANDLE existing = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        if (GetFileType(existing) != FILE_TYPE_DISK) {
            file_ = existing;
            sync_ = false;
            return true;
        }
        CloseHandle(existing);
    } else {
        const DWORD code = GetLastError();
        if (code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME)
            return fail(error, SaveError::Kind::CannotCreate, "cannot create " + Quoted(target_), code);
        if (code != ERROR_FILE_NOT_FOUND)
            return fail(error, SaveError::Kind::CannotCreate, "cannot write " + Quoted(target_), code);
    }
    const std::string folder = TargetFolderOf(target_);
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string name = folder + TemporaryFileName(attempt);
        HANDLE created = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            file_ = created;
            temporary_ = name;
            return true;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            return fail(error, SaveError::Kind::CannotCreate, "cannot create " + Quoted(target_), code);
    }
    return fail(error, SaveError::Kind::CannotCreate, "cannot create " + Quoted(target_), ERROR_FILE_EXISTS);
}

#else  // POSIX

bool FileSink::open(const char* path, SaveError* error) {
    target_ = path != nullptr ? path : "";
    OutputTarget target;
    if (!ExamineOutputTarget(target_, &target, error)) return false;
    written_ = target.path;
    // A file the tool staged for this save (writer/staged_files.h) is written in place: the
    // tool syncs it and puts it in place with the files that go with it. Devices and pipes
    // have nothing to sync.
    unsigned long pid = 0;
    const bool staged = target.exists && !target.special &&
                        ParseTemporaryFileName(target.path.substr(target.folder.size()), &pid) &&
                        pid == static_cast<unsigned long>(getpid());
    sync_ = !target.special && !staged;
    int code = 0;
    if (target.way == OutputTarget::Way::Replace && !staged) {
        file_ = CreateTemporaryFile(target.folder, &temporary_, &code);
        if (file_ != kClosed) {
            KeepAttributes(file_, target);
            return true;
        }
        // A folder that takes no new file may still hold a file we may write:
        // then that file is written in place, as "wb" would.
        if (!target.exists || (code != EACCES && code != EPERM))
            return fail(error, SaveError::Kind::CannotCreate, "cannot create " + Quoted(target_), code);
    }
    file_ = OpenInPlace(target, &code);
    return file_ != kClosed || fail(error, SaveError::Kind::CannotCreate, "cannot open " + Quoted(target_), code);
}

#endif
