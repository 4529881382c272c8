// Reads a whole file into memory for the reader. The file's own size, asked of the file
// system first, bounds the allocation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wux {

struct FileBytes {
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::string error;  // why the file could not be read, when not ok
};

FileBytes LoadFileBytes(const std::string& path);

}  // namespace wux
