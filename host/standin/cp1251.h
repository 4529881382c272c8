// Windows-1251 (Cyrillic) text to UTF-8.
#pragma once

#include <string>

// Bytes below 0x80 stay as they are; the one unassigned byte, 0x98, becomes U+FFFD.
std::string StandinCp1251ToUtf8(const std::string& text);
