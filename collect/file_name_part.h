#pragma once

#include <string>

// The characters after the last backslash of path; the whole path when it has
// none. Only the backslash separates: "C:\maps\a/b.bmp" gives "a/b.bmp".
// A null path gives an empty string.
std::string FileNamePart(const char* path);
