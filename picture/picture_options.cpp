#include "picture/picture_options.h"

#include <charconv>
#include <optional>

#include "format/tool_text.h"

namespace wux {
namespace {

// Digits only, no sign or space; any number past limit comes back as limit + 1.
std::optional<long> SmallNumber(const std::string& text, long limit) {
    unsigned long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (stop != end || error == std::errc::invalid_argument) return std::nullopt;
    return error == std::errc::result_out_of_range || value > static_cast<unsigned long>(limit) ? limit + 1 : long(value);
}

}  // namespace

ToolError ArgumentError(std::string message) {
    return ToolError::Of(ToolError::Kind::Argument, "", std::move(message));
}

ToolResult<PictureSize> ParsePictureSize(const std::string& text, int maxSide) {
    const std::size_t x = text.find_first_of("xX");
    const auto width = x == std::string::npos ? std::nullopt : SmallNumber(text.substr(0, x), maxSide);
    const auto height = x == std::string::npos ? std::nullopt : SmallNumber(text.substr(x + 1), maxSide);
    if (!width || !height)
        return ArgumentError("\"" + text + "\" is not a size: give WIDTHxHEIGHT in pixels, e.g. 800x600");
    if (*width < 1 || *height < 1 || *width > maxSide || *height > maxSide)
        return ArgumentError("\"" + text + "\": each side must be 1 to " + std::to_string(maxSide) + " pixels");
    return PictureSize{static_cast<int>(*width), static_cast<int>(*height)};
}

ToolResult<Rgb> ParseHexColour(const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    std::string bytes;
    if (digits.size() != 6 || !BytesFromHex(digits, &bytes))
        return ArgumentError("\"" + text + "\" is not a colour: give six hexadecimal digits RRGGBB, e.g. 2e333d");
    Rgb colour{};
    for (std::size_t i = 0; i < 3; ++i) colour[i] = static_cast<float>(static_cast<unsigned char>(bytes[i])) / 255.0f;
    return colour;
}

}  // namespace wux
