#include "convert/json_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace wux {

const char* const kNamesNotUtf8 = "names not valid UTF-8 (bytes replaced by U+FFFD)";

double ShortFloat(double value) {
    const float f = static_cast<float>(value);
    if (!std::isfinite(f)) return 0.0;
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer - 1, f);
    *r.ptr = '\0';
    return std::strtod(buffer, nullptr);
}

void AppendFloat(std::string* out, float value) {
    if (!std::isfinite(value)) value = 0.0f;
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out->append(buffer, r.ptr);
}

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    unsigned int min = 0;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) { n = 2; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { n = 3; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { n = 4; min = 0x10000; }
    else return 0;
    if (n > s.size() - i) return 0;
    unsigned int code = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string Utf8Name(const std::string& text, const std::string& where, Warnings* warnings) {
    std::string out;
    bool replaced = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            replaced = true;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    if (replaced) warnings->Add(kNamesNotUtf8, where);
    return out;
}

}  // namespace wux
