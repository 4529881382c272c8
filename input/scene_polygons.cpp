#include "input/scene_polygons.h"

#include <vector>

namespace wux {
namespace {

std::string At(const char* list, std::size_t i) { return std::string(list) + "[" + std::to_string(i) + "]"; }

// The first polygon with an index not below count. Like a triangle's, the message names
// the polygon, which is what a user looks for.
std::optional<PolygonProblem> FindIndexOutOfRange(const std::vector<std::vector<uint32_t>>& polygons,
                                                  std::size_t count, const char* list, const char* what,
                                                  const char* countWhat) {
    for (std::size_t p = 0; p < polygons.size(); ++p)
        for (uint32_t index : polygons[p])
            if (index >= count)
                return PolygonProblem{At(list, p), std::string(what) + " " + std::to_string(index) +
                                                       " out of range (" + std::to_string(count) + " " + countWhat +
                                                       ")"};
    return std::nullopt;
}

}  // namespace

std::optional<PolygonProblem> FindPolygonProblem(const ScenePoly& poly) {
    for (std::size_t p = 0; p < poly.faces.size(); ++p)
        if (poly.faces[p].size() < 3)
            return PolygonProblem{At("faces", p), "a polygon needs 3 or more vertex indices, found " +
                                                      std::to_string(poly.faces[p].size())};
    if (auto problem = FindIndexOutOfRange(poly.faces, poly.verts.size(), "faces", "vertex index", "vertices"))
        return problem;
    if (poly.tverts.empty() && !poly.tvfaces.empty()) return PolygonProblem{"tvfaces", "texture polygons given without \"tverts\""};
    if (poly.tverts.empty()) return std::nullopt;
    if (poly.tvfaces.size() != poly.faces.size())
        return PolygonProblem{"tvfaces", "expected one texture polygon per polygon (" +
                                             std::to_string(poly.faces.size()) + "), found " +
                                             std::to_string(poly.tvfaces.size())};
    for (std::size_t p = 0; p < poly.faces.size(); ++p)
        if (poly.tvfaces[p].size() != poly.faces[p].size())
            return PolygonProblem{At("tvfaces", p), "expected " + std::to_string(poly.faces[p].size()) +
                                                        " indices, as many as its polygon, found " +
                                                        std::to_string(poly.tvfaces[p].size())};
    return FindIndexOutOfRange(poly.tvfaces, poly.tverts.size(), "tvfaces", "texture vertex index",
                               "texture vertices");
}

}  // namespace wux
