// Numbers and names for the JSON the converters write.
#pragma once

#include <string>

#include "input/warnings.h"

namespace wux {

// The shortest decimal that reads back as the same f32, as a double: 0.1f is written as
// 0.1, not as 0.10000000149011612. Values not finite become 0.
double ShortFloat(double value);

// Appends the shortest decimal that reads back as the same f32 (a number JSON and OBJ both
// read); a value not finite is written as 0.
void AppendFloat(std::string* out, float value);

// The text as JSON may hold it: valid UTF-8 as it is, other bytes replaced by U+FFFD with a
// warning naming `where`.
std::string Utf8Name(const std::string& text, const std::string& where, Warnings* warnings);

extern const char* const kNamesNotUtf8;

}  // namespace wux
