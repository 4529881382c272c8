// Reads a whole regular file into memory for the reader. The file's own size, asked of the file
// system first, bounds the allocation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/tool_error.h"

namespace wux {

// An error of kind Input names the file and says why it could not be read.
ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path);

}  // namespace wux
