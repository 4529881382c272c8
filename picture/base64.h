// Base64 (RFC 4648, with padding) for the binary arrays embedded in the viewer's page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wux {

std::string Base64(const std::uint8_t* data, std::size_t size);
inline std::string Base64(const std::vector<std::uint8_t>& bytes) { return Base64(bytes.data(), bytes.size()); }

}  // namespace wux
