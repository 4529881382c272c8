// Text helpers the tool side shares: file bytes made printable, quoting, counts with their
// noun, names as hex, numbers as `wux info` prints them, and lower case.
#pragma once

#include <cstddef>
#include <string>

namespace wux {

// Text read from a file, with bytes outside printable ASCII (and quotes and backslashes)
// as \xNN, so that messages stay on one line.
std::string PrintableText(const std::string& text);
// Text from a file in double quotes, made printable.
std::string Quoted(const std::string& text);
// A path for a message: as it is when it is plain printable text, else Quoted(), so that no
// name (a newline, a control byte) can break a message's line or forge another one.
std::string QuotedPath(const std::string& path);

// "1 mesh", "3 meshes".
std::string Plural(std::size_t n, const char* one, const char* many);

// A name's bytes as two lower-case hex digits each: how JSON and glTF carry a name that is
// not UTF-8 ("c0e1" for the CP1251 bytes of "Аб").
std::string HexBytes(const std::string& bytes);
// The bytes back from HexBytes()'s text; false for anything but pairs of hex digits.
bool BytesFromHex(const std::string& hex, std::string* bytes);
// The shortest text that reads back as the same float ("nan", "inf", "-inf" otherwise):
// how `wux info` prints numbers.
std::string ShortestNumber(float value);

std::string Lower(std::string text);

// The folder part of a path, "." when the path names none.
std::string FolderOf(const std::string& path);

}  // namespace wux
