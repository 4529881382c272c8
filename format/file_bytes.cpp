#include "format/file_bytes.h"

#include "format/mapped_file.h"

namespace wux {

ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path) {
    MappedFile file;
    if (const ToolResult<void> opened = file.OpenWhole(path); !opened.Ok()) return opened.Error();
    const ByteSpan span = file.Span();
    std::vector<std::uint8_t> bytes(span.data, span.data + span.size);
    if (const ToolResult<void> intact = file.Intact(); !intact.Ok()) return intact.Error();
    return bytes;
}

}  // namespace wux
