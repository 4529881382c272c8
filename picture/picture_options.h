// The words of `wux render`'s options that are not names: a size "WxH" and a colour
// "RRGGBB". Each parser says what is wrong in a message fit to print after the option.
#pragma once

#include <optional>
#include <string>

#include "picture/picture_scene.h"

namespace wux {

struct PictureSize {
    int width = 0, height = 0;
};

// "800x600": each side 1 to maxSide, digits only.
std::optional<PictureSize> ParsePictureSize(const std::string& text, int maxSide, std::string* error);
// "RRGGBB" or "#RRGGBB", hexadecimal digits of either case.
std::optional<Rgb> ParseHexColour(const std::string& text, std::string* error);

}  // namespace wux
