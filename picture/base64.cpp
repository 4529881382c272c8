#include "picture/base64.h"

namespace wux {

std::string Base64(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | data[i + 2];
        for (int shift : {18, 12, 6, 0}) out.push_back(kDigits[(v >> shift) & 63]);
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const std::uint32_t v = std::uint32_t{data[i]} << 16 | (two ? std::uint32_t{data[i + 1]} << 8 : 0);
        out.push_back(kDigits[(v >> 18) & 63]);
        out.push_back(kDigits[(v >> 12) & 63]);
        out.push_back(two ? kDigits[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

}  // namespace wux
