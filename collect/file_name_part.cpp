#include "collect/file_name_part.h"

#include <cstring>

std::string FileNamePart(const char* path) {
    if (path == nullptr) return std::string();
    const char* lastSeparator = std::strrchr(path, '\\');
    return std::string(lastSeparator != nullptr ? lastSeparator + 1 : path);
}
