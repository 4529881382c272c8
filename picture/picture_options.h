// The words of `wux render`'s options that are not names: a size "WxH" and a colour
// "RRGGBB". Each parser says what is wrong in an Argument error whose text is fit to print
// after the option.
#pragma once

#include <string>

#include "format/tool_error.h"
#include "picture/picture_scene.h"

namespace wux {

struct PictureSize {
    int width = 0, height = 0;
};

// What the parsers of option words fail with: an Argument error, its message all of its text.
ToolError ArgumentError(std::string message);

// "800x600": each side 1 to maxSide, digits only.
ToolResult<PictureSize> ParsePictureSize(const std::string& text, int maxSide);
// "RRGGBB" or "#RRGGBB", hexadecimal digits of either case.
ToolResult<Rgb> ParseHexColour(const std::string& text);

}  // namespace wux
