#include "format/mapped_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#include "format/wux_format.h"

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

// The mappings the bus error handler may mend: a file cut short under a mapping faults on
// its pages past the new end.
struct Watched {
    std::atomic<std::uintptr_t> begin{0}, end{0};  // begin 0: a free slot
    volatile sig_atomic_t cut = 0;
};
constexpr int kWatchedSlots = 8;
Watched watched[kWatchedSlots];
std::uintptr_t pageSize = 4096;

extern "C" void OnBusError(int, siginfo_t* info, void*) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Watched& w : watched) {
        const std::uintptr_t begin = w.begin.load(), end = w.end.load();
        if (begin == 0 || at < begin || at >= end) continue;
        const std::uintptr_t page = at & ~(pageSize - 1);
        if (mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            w.cut = 1;
            return;  // the read goes on, in zeros
        }
    }
    signal(SIGBUS, SIG_DFL);  // not a mapping of ours: the fault stands
}

int Watch(const void* map, std::size_t size) {
    static const bool installed = [] {
        const long page = sysconf(_SC_PAGESIZE);
        if (page > 0) pageSize = static_cast<std::uintptr_t>(page);
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    if (!installed) return -1;
    for (int i = 0; i < kWatchedSlots; ++i) {
        if (watched[i].begin.load() != 0) continue;
        watched[i].cut = 0;
        watched[i].end = reinterpret_cast<std::uintptr_t>(map) + size;
        watched[i].begin = reinterpret_cast<std::uintptr_t>(map);
        return i;
    }
    return -1;
}

}  // namespace

InputFile::~InputFile() {
    if (fd_ >= 0) close(fd_);
}

ToolResult<void> InputFile::Open(const std::string& path) {
    path_ = path;
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return IoError(path, std::string("cannot open the file: ") + std::strerror(errno));
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

MappedFile::~MappedFile() {
    if (slot_ >= 0) watched[slot_].begin = 0;
    if (map_ != nullptr) munmap(map_, mapSize_);
}

ToolResult<void> MappedFile::Intact() const {
    if (slot_ < 0 || watched[slot_].cut == 0) return {};
    return IoError(path_, "the file was cut short while it was read");
}

ToolResult<void> MappedFile::Open(const std::string& path) {
    InputFile file;
    if (ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened;
    // A WUX file states its size in 32 bits; anything larger cannot be one.
    if (file.Size() > std::numeric_limits<std::uint32_t>::max())
        return IoError(path, "too large to be a WUX file (" + std::to_string(file.Size()) + " bytes)");
    const ToolResult<std::size_t> read = file.Read(head_.data(), head_.size());
    if (!read.Ok()) return read.Error();
    const std::size_t got = *read;
    const bool wuxHead = got == head_.size() && std::memcmp(head_.data(), wux_file::kFileTag, 4) == 0 &&
                         std::memcmp(head_.data() + wux_file::kFormTagOffset, wux_file::kFormTag, 4) == 0;
    if (!wuxHead || file.Size() <= head_.size()) {
        span_ = ByteSpan{head_.data(), got};
        return {};
    }
    return Map(file, path);
}

ToolResult<void> MappedFile::OpenWhole(const std::string& path) {
    InputFile file;
    if (ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened;
    if (file.Size() > std::numeric_limits<std::size_t>::max())
        return IoError(path, "too large to map (" + std::to_string(file.Size()) + " bytes)");
    if (file.Size() == 0) return {};  // mmap refuses a length of 0
    return Map(file, path);
}

ToolResult<void> MappedFile::Map(const InputFile& file, const std::string& path) {
    mapSize_ = static_cast<std::size_t>(file.Size());
    map_ = mmap(nullptr, mapSize_, PROT_READ, MAP_PRIVATE, file.Descriptor(), 0);
    if (map_ == MAP_FAILED) {
        map_ = nullptr;
        return IoError(path, std::string("cannot map the file to read it: ") + std::strerror(errno));
    }
    span_ = ByteSpan{static_cast<const std::uint8_t*>(map_), mapSize_};
    path_ = path;
    slot_ = Watch(map_, mapSize_);
    return {};
}

ToolResult<WuxDocument> OpenWux(const std::string& path) {
    MappedFile file;
    if (const ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened.Error();
    ToolResult<WuxDocument> read = OpenWux(file.Span());
    if (ToolResult<void> intact = file.Intact(); !intact.Ok()) return intact.Error();
    if (read.Ok()) return read;
    ToolError error = read.Error();
    error.file = path;
    error.place = "not a readable WUX file";
    return error;
}

ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path) {
    MappedFile file;
    if (const ToolResult<void> opened = file.OpenWhole(path); !opened.Ok()) return opened.Error();
    const ByteSpan span = file.Span();
    std::vector<std::uint8_t> bytes(span.data, span.data + span.size);
    if (const ToolResult<void> intact = file.Intact(); !intact.Ok()) return intact.Error();
    return bytes;
}

}  // namespace wux
