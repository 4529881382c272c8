#include "writer/temporary_name.h"

#include <chrono>
#include <charconv>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const char kPrefix[] = ".wux-";
const char kSuffix[] = ".tmp";
const char kHex[] = "0123456789abcdef";
constexpr size_t kHexDigits = 12;

unsigned long ProcessId() {
#ifdef _WIN32
    return static_cast<unsigned long>(GetCurrentProcessId());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

std::string TemporaryFileName(unsigned attempt) {
    static unsigned sequence = 0;
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned long long mix = ticks * 0x9E3779B97F4A7C15ULL ^ (++sequence * 0x100000001B3ULL) ^ attempt;
    std::string hex(kHexDigits, '0');
    for (size_t i = kHexDigits; i-- > 0; mix >>= 4) hex[i] = kHex[mix & 15];
    return kPrefix + std::to_string(ProcessId()) + "-" + hex + kSuffix;
}

bool ParseTemporaryFileName(std::string_view name, unsigned long* pid) {
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
    if (name.size() < prefix + 1 + 1 + kHexDigits + suffix) return false;
    if (name.substr(0, prefix) != kPrefix || name.substr(name.size() - suffix) != kSuffix) return false;
    const size_t dash = name.size() - suffix - kHexDigits - 1;
    const std::string_view digits = name.substr(prefix, dash - prefix), hex = name.substr(dash + 1, kHexDigits);
    if (name[dash] != '-' || digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != digits.npos || hex.find_first_not_of(kHex) != hex.npos)
        return false;
    unsigned long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (pid != nullptr) *pid = value;
    return true;
}

std::string TargetFolderOf(const std::string& path) {
#ifdef _WIN32
    const size_t cut = path.find_last_of("\\/:");
#else
    const size_t cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}
