// Describes what a WUX file holds, as text for people and as JSON for programs.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "format/wux_reader.h"

namespace wux {

std::string InfoText(const WuxDocument& doc);

// Names are the file's bytes; bytes that are not valid UTF-8 become U+FFFD when the JSON
// is dumped with DumpInfoJson. Keys keep the order in which they are listed.
nlohmann::ordered_json InfoJson(const WuxDocument& doc);
std::string DumpInfoJson(const nlohmann::ordered_json& info);

}  // namespace wux
