// The host's editable poly: a mesh of polygons of three or more corners. Asked for a
// triangle mesh it makes a new TriObject (the caller deletes it) in which every polygon of
// n corners (v0, v1, ..., vn-1) becomes the fan of triangles (v0, vi, vi+1), i = 1 .. n-2,
// in polygon order, its texture polygon fanned the same way.
#pragma once

#include <string>
#include <vector>

#include "host/sdk/object.h"
#include "host/standin/mesh_check.h"

// Polygons as plain arrays, as importers read them.
struct StandinPolyData {
    std::vector<Point3> verts;
    std::vector<std::vector<DWORD>> polygons;
    std::vector<UVVert> tverts;
    std::vector<std::vector<DWORD>> tvPolygons;  // one per polygon, of its size, when tverts is not empty
};

class StandinEditablePoly : public GeomObject {
public:
    Class_ID ClassID() override { return Class_ID(0x1bf8338d, 0x192f6098); }  // the editable poly's class
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;

    // Takes data when it is consistent (every polygon of three or more corners, indices in
    // range, texture polygons matching); otherwise keeps what it held. The error names the node.
    StandinMeshError SetPolygons(const StandinPolyData& data, const std::string& nodeName);
    const StandinPolyData& Polygons() const { return data; }

private:
    StandinPolyData data;
};
