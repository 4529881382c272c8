#include "writer/temporary_name.h"

#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const char kPrefix[] = ".wux-";
const char kSuffix[] = ".tmp";
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
    char hex[kHexDigits + 1];
    for (size_t i = kHexDigits; i-- > 0; mix >>= 4) hex[i] = "0123456789abcdef"[mix & 15];
    hex[kHexDigits] = '\0';
    return kPrefix + std::to_string(ProcessId()) + "-" + hex + kSuffix;
}

bool ParseTemporaryFileName(const std::string& name, unsigned long* pid) {
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
    if (name.size() < prefix + 1 + 1 + kHexDigits + suffix) return false;
    if (name.compare(0, prefix, kPrefix) != 0 || name.compare(name.size() - suffix, suffix, kSuffix) != 0) return false;
    const size_t dash = name.size() - suffix - kHexDigits - 1;
    if (name[dash] != '-' || dash == prefix || dash - prefix > 10) return false;
    unsigned long value = 0;
    for (size_t i = prefix; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        value = value * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    for (size_t i = dash + 1; i < dash + 1 + kHexDigits; ++i)
        if (std::strchr("0123456789abcdef", name[i]) == nullptr || name[i] == '\0') return false;
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
