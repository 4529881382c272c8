// CLI11 validators for the picture commands' options, made from the picture library's own
// parsers so that the command line and the parsers never disagree.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "picture/camera.h"
#include "picture/overlay_lines.h"
#include "picture/picture_options.h"

namespace wux {

// parse(text, &error) -> bool; its message becomes the option's error.
template <typename Parse>
CLI::Validator ParsedBy(const std::string& description, Parse parse) {
    return CLI::Validator(
        [parse](std::string& text) {
            std::string error;
            return parse(text, &error) ? std::string() : error;
        },
        description);
}

inline CLI::Validator OverlayListValidator() {
    return ParsedBy("LIST", [](const std::string& text, std::string* error) {
        std::string unknown;
        if (ParseOverlaySet(text, &unknown)) return true;
        *error = "\"" + unknown + "\" is not an overlay: spheres, ellipsoid, helpers, all or none";
        return false;
    });
}

inline CLI::Validator ViewValidator() {
    return ParsedBy("VIEW", [](const std::string& text, std::string* error) {
        if (ParseView(text)) return true;
        *error = "\"" + text + "\" is not a view: front, back, left, right, top or three-quarter";
        return false;
    });
}

inline CLI::Validator SizeValidator(int maxSide) {
    return ParsedBy("WxH", [maxSide](const std::string& text, std::string* error) {
        return ParsePictureSize(text, maxSide, error).has_value();
    });
}

inline CLI::Validator ColourValidator() {
    return ParsedBy("RRGGBB", [](const std::string& text, std::string* error) {
        return ParseHexColour(text, error).has_value();
    });
}

}  // namespace wux
