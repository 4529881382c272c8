#include "format/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wux {
namespace {

std::string KindReason(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory, not a file";
    const char* kind = S_ISFIFO(mode)  ? "a FIFO"
                       : S_ISCHR(mode) ? "a character device"
                       : S_ISBLK(mode) ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "not a plain file";
    return std::string("not a regular file (") + kind + "); only regular files are read";
}

ToolError IoError(const std::string& path, std::string message) {
    return ToolError::Of(ToolError::Kind::Input, path, std::move(message));
}

}  // namespace

InputFile::~InputFile() {
    if (fd_ >= 0) close(fd_);
}

ToolResult<void> InputFile::Open(const std::string& path) {
    path_ = path;
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return IoError(path, std::string("cannot open the file: ") + std::strerror(errno));
    struct stat st {};
    if (fstat(fd_, &st) != 0) return IoError(path, std::string("cannot open the file: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return IoError(path, KindReason(st.st_mode));
    size_ = static_cast<std::uint64_t>(st.st_size);
    return {};
}

ToolResult<std::size_t> InputFile::Read(void* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd_, static_cast<char*>(buffer) + done, size - done);
        if (n == 0) break;
        if (n > 0) done += static_cast<std::size_t>(n);
        else if (errno != EINTR) return IoError(path_, std::string("cannot read the file: ") + std::strerror(errno));
    }
    return done;
}

ToolResult<void> CheckRegularInput(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return IoError(path, std::string("cannot open the file: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return IoError(path, KindReason(st.st_mode));
    return {};
}

}  // namespace wux
