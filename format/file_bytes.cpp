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
    for (std::size_t done = 0; done < bytes.size();) {
        const ToolResult<std::size_t> n = file.Read(bytes.data() + done, bytes.size() - done);
        if (!n.Ok()) return n.Error();
        if (*n == 0)
            return ToolError::Of(ToolError::Kind::Input, path,
                                 "read " + std::to_string(done) + " of " + std::to_string(bytes.size()) + " bytes");
        done += *n;
    }
    return bytes;
}

}  // namespace wux
