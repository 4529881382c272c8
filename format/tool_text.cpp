#include "format/tool_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace wux {

std::string PrintableText(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Quoted(const std::string& text) { return "\"" + PrintableText(text) + "\""; }

std::string QuotedPath(const std::string& path) {
    const bool plain = !path.empty() && path.front() != ' ' && path.back() != ' ' && PrintableText(path) == path;
    return plain ? path : Quoted(path);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string HexBytes(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

bool BytesFromHex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes->clear();
    for (const char* p = hex.data(); p != hex.data() + hex.size(); p += 2) {
        unsigned value = 0;  // from_chars takes no sign for an unsigned value: exactly two hex digits
        if (std::from_chars(p, p + 2, value, 16).ptr != p + 2) return false;
        *bytes += static_cast<char>(value);
    }
    return true;
}

std::string ShortestNumber(float value) {
    if (std::isnan(value)) return "nan";  // to_chars would keep a sign
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

}  // namespace wux
