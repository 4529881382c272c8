// A WUX file as a JSON scene (docs/json-scene.md) that `wux export` turns back into the same
// file: materials with every colour and map, one "mesh" node per mesh record holding its
// world-space corners under the identity, and "GBND", "GELP" and helper nodes whose
// transforms the collection measures back to the stored spheres, ellipsoid and entries.
#pragma once

#include <string>

#include "input/warnings.h"
#include "format/wux_reader.h"

namespace wux {

std::string WuxToJsonScene(const WuxDocument& doc, Warnings* warnings);

}  // namespace wux
