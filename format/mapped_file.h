// A file read through a read-only mapping: its bytes are paged in only where they are read,
// so looking at a large file's chunk heads costs a few pages, not the file's size.
#pragma once

#include <string>

#include "format/wux_reader.h"

namespace wux {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False with the reason in *error when the file cannot be opened or mapped.
    bool Open(const std::string& path, std::string* error);
    ByteSpan Bytes() const { return {static_cast<const std::uint8_t*>(data_), size_}; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace wux
