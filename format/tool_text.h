// Text helpers the tool side shares: file bytes made printable, quoting, counts with their
// noun, the two ways numbers are printed, and lower case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wux {

// Text read from a file, with bytes outside printable ASCII (and quotes and backslashes)
// as \xNN, so that messages stay on one line.
std::string PrintableText(const std::string& text);
// The four bytes of a tag as printable text.
std::string PrintableTag(const std::uint8_t* tag);
// Text from a file in double quotes, made printable.
std::string Quoted(const std::string& text);
// A path for a message: as it is when it is plain printable text, else Quoted(), so that no
// name (a newline, a control byte) can break a message's line or forge another one.
std::string QuotedPath(const std::string& path);

// "1 mesh", "3 meshes".
std::string Plural(std::size_t n, const char* one, const char* many);

// "0x0000002A".
std::string Hex(std::uint32_t value);
// A name's bytes as two lower-case hex digits each: how JSON and glTF carry a name that is
// not UTF-8 ("c0e1" for the CP1251 bytes of "Аб").
std::string HexBytes(const std::string& bytes);
// The bytes back from HexBytes()'s text; false for anything but pairs of hex digits.
bool BytesFromHex(const std::string& hex, std::string* bytes);
// The shortest text that reads back as the same float ("nan", "inf", "-inf" otherwise):
// how `wux info` prints numbers.
std::string ShortestNumber(float value);
// Nine significant digits, as `wux check` prints the numbers in its messages.
std::string NineDigitNumber(float value);

std::string Lower(std::string text);

// The folder part of a path, "." when the path names none.
std::string FolderOf(const std::string& path);

}  // namespace wux
