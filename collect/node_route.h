// Which collector takes a node: the plug-in's one routing rule. The plug-in's node dispatch
// and the tool's warning forecast both ask it, so the order exists once. Plain C++: it
// reads only what the caller learnt of the node.
#pragma once

#include <cstring>

// The node names that take a node to the sphere routes.
constexpr const char* kBoundSphereNodeName = "GBND";
constexpr const char* kEllipsoidNodeName = "GELP";

enum class NodeRoute {
    Reference,    // a helper object: one GREF entry
    BoundSphere,  // a node named "GBND": a sphere of the GBND chunk
    Ellipsoid,    // a node named "GELP": the GELP chunk
    Mesh,         // anything else, when its object converts to a triangle mesh
};

// First match wins: a helper object (judged at time 0), a node named "GBND", a node named
// "GELP", then the mesh route. nameOf() gives the node's name (never null); it is asked
// once for each name test, and not at all for a helper, as the host sees the plug-in ask.
template <typename NameOf>
NodeRoute RouteOf(bool isHelper, NameOf nameOf) {
    if (isHelper) return NodeRoute::Reference;
    if (std::strcmp(nameOf(), kBoundSphereNodeName) == 0) return NodeRoute::BoundSphere;
    if (std::strcmp(nameOf(), kEllipsoidNodeName) == 0) return NodeRoute::Ellipsoid;
    return NodeRoute::Mesh;
}
