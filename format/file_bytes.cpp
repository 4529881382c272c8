#include "format/file_bytes.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace wux {

FileBytes LoadFileBytes(const std::string& path) {
    FileBytes out;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
        out.error = "cannot open: " + ec.message();
        return out;
    }
    if (!std::filesystem::is_regular_file(status)) {
        out.error = "cannot open: not a regular file";
        return out;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        out.error = "cannot read its size: " + ec.message();
        return out;
    }
    // A WUX file states its size in 32 bits; anything larger cannot be one.
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        out.error = "too large to be a WUX file (" + std::to_string(size) + " bytes)";
        return out;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = "cannot open for reading";
        return out;
    }
    out.bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(out.bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        out.error = "read " + std::to_string(in.gcount()) + " of " + std::to_string(size) + " bytes";
        out.bytes.clear();
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace wux
