#include "format/file_bytes.h"

#include <limits>

#include "format/input_file.h"

namespace wux {

ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path) {
    InputFile file;
    if (const ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened.Error();
    // A WUX file states its size in 32 bits; anything larger cannot be one.
    if (file.Size() > std::numeric_limits<std::uint32_t>::max())
        return ToolError::Of(ToolError::Kind::Input, path,
                             "too large to be a WUX file (" + std::to_string(file.Size()) + " bytes)");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    const ToolResult<std::size_t> read = file.Read(bytes.data(), bytes.size());
    if (!read.Ok()) return read.Error();
    if (*read != bytes.size())
        return ToolError::Of(ToolError::Kind::Input, path,
                             "read " + std::to_string(*read) + " of " + std::to_string(bytes.size()) + " bytes");
    return bytes;
}

}  // namespace wux
