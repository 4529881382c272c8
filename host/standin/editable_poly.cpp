#include "host/standin/editable_poly.h"

#include <algorithm>
#include <memory>

#include "host/sdk/tri_object.h"

namespace {

StandinMeshError CheckPolygons(const StandinPolyData& data, const std::string& nodeName) {
    for (size_t p = 0; p < data.polygons.size(); ++p)
        if (data.polygons[p].size() < 3)
            return StandinMeshProblem(nodeName, "polygon " + std::to_string(p) + " has " +
                                                    std::to_string(data.polygons[p].size()) + " corners, fewer than 3");
    const auto polygon = [&](size_t p) -> const std::vector<DWORD>& { return data.polygons[p]; };
    StandinMeshError problem =
        StandinCheckIndices(data.polygons.size(), polygon, data.verts.size(), "polygon", "vertex", "vertices", nodeName);
    if (!problem.ok() || data.tverts.empty()) return problem;
    if (data.tvPolygons.size() != data.polygons.size())
        return StandinMeshProblem(nodeName, "the mesh has " + std::to_string(data.tverts.size()) +
                                                " texture vertices but " + std::to_string(data.tvPolygons.size()) +
                                                " texture polygons for " + std::to_string(data.polygons.size()) +
                                                " polygons");
    for (size_t p = 0; p < data.polygons.size(); ++p)
        if (data.tvPolygons[p].size() != data.polygons[p].size())
            return StandinMeshProblem(nodeName, "texture polygon " + std::to_string(p) + " has " +
                                                    std::to_string(data.tvPolygons[p].size()) + " corners, its polygon " +
                                                    std::to_string(data.polygons[p].size()));
    return StandinCheckIndices(
        data.tvPolygons.size(), [&](size_t p) -> const std::vector<DWORD>& { return data.tvPolygons[p]; },
        data.tverts.size(), "texture polygon", "texture vertex", "texture vertices", nodeName);
}

}  // namespace

StandinMeshError StandinEditablePoly::SetPolygons(const StandinPolyData& polys, const std::string& nodeName) {
    StandinMeshError problem = CheckPolygons(polys, nodeName);
    if (problem.ok()) data = polys;
    return problem;
}

int StandinEditablePoly::CanConvertToType(Class_ID obtype) { return obtype == triObjectClassID ? 1 : 0; }

Object* StandinEditablePoly::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype != triObjectClassID) return nullptr;
    // The polygons were checked when they were set, so the fans are consistent too.
    std::unique_ptr<TriObject> tri(CreateNewTriObject());
    Mesh& mesh = tri->mesh;
    const bool mapped = !data.tverts.empty();
    int fans = 0;
    for (const std::vector<DWORD>& v : data.polygons) fans += int(v.size()) - 2;
    mesh.setNumVerts(int(data.verts.size()));
    std::copy(data.verts.begin(), data.verts.end(), mesh.verts);
    mesh.setNumFaces(fans);
    mesh.setNumTVerts(int(data.tverts.size()));
    std::copy(data.tverts.begin(), data.tverts.end(), mesh.tVerts);
    if (mapped) mesh.setNumTVFaces(fans);
    int f = 0;
    for (size_t p = 0; p < data.polygons.size(); ++p) {
        const std::vector<DWORD>& v = data.polygons[p];
        const DWORD* t = mapped ? data.tvPolygons[p].data() : nullptr;
        for (size_t i = 1; i + 1 < v.size(); ++i, ++f) {
            mesh.faces[f].setVerts(int(v[0]), int(v[i]), int(v[i + 1]));
            mesh.faces[f].smGroup = 1;
            if (t) mesh.tvFace[f].setTVerts(int(t[0]), int(t[i]), int(t[i + 1]));
        }
    }
    return tri.release();
}
