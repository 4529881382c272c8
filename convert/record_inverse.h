// The way back from records to scene nodes: for each kind of record the node that the
// plug-in's own collection turns into that record again. The collectors measure lengths
// from the node's transform, so these choose transforms and sizes that measure back to the
// stored values. Records no scene could give (mixed-sign half extents, spheres in an order
// the collection never writes, ...) are still turned into the nearest node, with a warning.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "input/warnings.h"
#include "format/wux_reader.h"

namespace wux {

// The host's matrix layout: rows 0, 1, 2 the X, Y, Z axes, row 3 the translation.
using HostRows = std::array<std::array<double, 3>, 4>;

HostRows IdentityRows();
HostRows TranslationRows(const std::array<float, 3>& at);

// A helper node: its object transform and the helper's size.
struct HelperNode {
    std::string name;
    HostRows transform{};
    double size = 0.0;
};

// A sphere node ("GBND" or "GELP"): a sphere primitive of the radius under the transform.
struct SphereNode {
    HostRows transform{};
    double radius = 0.0;
};

// Warnings name the record, e.g. "GREF entry 2 'Spawn': ...".
HelperNode HelperFromEntry(const ReferenceEntry& entry, std::size_t index, Warnings* warnings);

// The "GBND" nodes in the order the scene must visit them: the main sphere first, then the
// further spheres in their order, so that each of those is rejected into the list in turn.
// None for a main sphere of radius 0 at the origin without further spheres.
std::vector<SphereNode> BoundSphereNodes(const BoundChunk& bounds, Warnings* warnings);

// The "GELP" node, if the file has one.
std::vector<SphereNode> EllipsoidNodes(const EllipsoidChunk* ellipsoid, Warnings* warnings);

// Warnings for records that no re-export gives back as they are: materials out of the
// order of first use or unused, shared vertices, map slots out of order, fixed words
// that differ from the writer's, and the like.
void WarnUnreproducible(const WuxDocument& doc, Warnings* warnings);

// A warning naming each record that holds a value not finite, which every conversion writes
// as 0 (JSON and OBJ have no such numbers, glTF must not hold them).
void WarnNotFinite(const ExportModel& model, Warnings* warnings);


}  // namespace wux
