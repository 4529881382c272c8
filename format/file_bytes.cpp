#include "format/file_bytes.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace wux {

ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path) {
    const auto fail = [&](std::string message) {
        return ToolError::Of(ToolError::Kind::Input, path, std::move(message));
    };
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) return fail("cannot open: " + ec.message());
    if (!std::filesystem::is_regular_file(status)) return fail("cannot open: not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return fail("cannot read its size: " + ec.message());
    // A WUX file states its size in 32 bits; anything larger cannot be one.
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        return fail("too large to be a WUX file (" + std::to_string(size) + " bytes)");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot open for reading");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        return fail("read " + std::to_string(in.gcount()) + " of " + std::to_string(size) + " bytes");
    }
    return bytes;
}

}  // namespace wux
