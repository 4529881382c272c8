// The node names that take a node to the sphere routes (NodeCollector::ProcessNode). Plain
// C++: the tool's readers and writers name the spheres' nodes by them too.
#pragma once

constexpr const char* kBoundSphereNodeName = "GBND";
constexpr const char* kEllipsoidNodeName = "GELP";
