// CLI11 validators for the picture commands' options, made from the picture library's own
// parsers so that the command line and the parsers never disagree.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "picture/camera.h"
#include "picture/overlay_lines.h"
#include "picture/picture_options.h"

namespace wux {

// parse(text) -> ToolResult; its error's text becomes the option's error.
template <typename Parse>
CLI::Validator ParsedBy(const std::string& description, Parse parse) {
    return CLI::Validator(
        [parse](std::string& text) {
            const auto parsed = parse(text);
            return parsed.Ok() ? std::string() : parsed.Error().Text();
        },
        description);
}

inline CLI::Validator OverlayListValidator() { return ParsedBy("LIST", ParseOverlaySet); }

inline CLI::Validator ViewValidator() {
    return ParsedBy("VIEW", [](const std::string& text) -> ToolResult<View> {
        if (const std::optional<View> view = ParseView(text)) return *view;
        return ArgumentError("\"" + text + "\" is not a view: front, back, left, right, top or three-quarter");
    });
}

inline CLI::Validator SizeValidator(int maxSide) {
    return ParsedBy("WxH", [maxSide](const std::string& text) { return ParsePictureSize(text, maxSide); });
}

inline CLI::Validator ColourValidator() { return ParsedBy("RRGGBB", ParseHexColour); }

}  // namespace wux
