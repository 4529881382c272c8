// The checker's report as JSON, for `wux check --json`:
// {"file", "valid", "errors": [{"offset", "where", "message"}...], "warnings": [...],
//  "error_count", "warning_count", "omitted"}.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "format/wux_checker.h"

namespace wux {

nlohmann::ordered_json CheckJson(const std::string& file, const CheckReport& report);

// A file that could not be read at all: one error without an offset.
nlohmann::ordered_json UnreadableCheckJson(const std::string& file, const std::string& error);

}  // namespace wux
