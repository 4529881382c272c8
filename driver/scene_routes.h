// Foresees, from the plain scene, what the plug-in will make of each node: which route it
// takes (the plug-in's own rule, collect/node_route.h) and what it passes over, splits or
// cannot name. The export itself is the plug-in's; this only explains it to the
// user as deduplicated warnings, following the plug-in's rules (docs/collection.md).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

struct RouteOptions {
    // Whether bitmap paths are looked up on disk; an importer that resolves them itself
    // reports the missing ones already.
    bool checkTextures = true;
    // Folders where relative bitmap paths are looked for, in order.
    std::vector<std::string> textureFolders;
    // Whether nodes without an object are reported. An imported file's grouping nodes are
    // its hierarchy, not content passed over, and the importer names what it drops.
    bool reportNodesWithoutObject = true;
};

void PredictRouteWarnings(const SceneDescription& scene, const RouteOptions& options, Warnings* warnings);

// How a warning names a node: its name in double quotes, and where it came from.
std::string DescribeNode(const SceneNode& node);

// a × b: a point passes through a first, then b.
SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b);

}  // namespace wux
