#include "format/mapped_file.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "format/wux_format.h"

namespace wux {

MappedFile::~MappedFile() {
    if (map_ != nullptr) munmap(map_, mapSize_);
}

ToolResult<void> MappedFile::Open(const std::string& path) {
    auto fail = [&](std::string message) { return ToolError::Of(ToolError::Kind::Io, path, std::move(message)); };
    InputFile file;
    if (ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened;
    // A WUX file states its size in 32 bits; anything larger cannot be one.
    if (file.Size() > std::numeric_limits<std::uint32_t>::max())
        return fail("too large to be a WUX file (" + std::to_string(file.Size()) + " bytes)");
    std::size_t got = 0;
    while (got < head_.size()) {
        const ToolResult<std::size_t> n = file.Read(head_.data() + got, head_.size() - got);
        if (!n.Ok()) return n.Error();
        if (*n == 0) break;
        got += *n;
    }
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
        return ToolError::Of(ToolError::Kind::Io, path, "too large to map (" + std::to_string(file.Size()) + " bytes)");
    if (file.Size() == 0) return {};  // mmap refuses a length of 0
    return Map(file, path);
}

ToolResult<void> MappedFile::Map(const InputFile& file, const std::string& path) {
    mapSize_ = static_cast<std::size_t>(file.Size());
    map_ = mmap(nullptr, mapSize_, PROT_READ, MAP_PRIVATE, file.Descriptor(), 0);
    if (map_ == MAP_FAILED) {
        map_ = nullptr;
        return ToolError::Of(ToolError::Kind::Io, path, std::string("cannot map the file to read it: ") + std::strerror(errno));
    }
    span_ = ByteSpan{static_cast<const std::uint8_t*>(map_), mapSize_};
    return {};
}

}  // namespace wux
