#include "input/json_scene.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "input/scene_polygons.h"

namespace wux {
namespace {

using Json = nlohmann::json;

// Thrown inside this file only, turned into a JsonSceneError at the entry points.
struct SchemaProblem {
    std::string path;
    std::string what;
};

[[noreturn]] void Fail(const std::string& path, const std::string& what) { throw SchemaProblem{path, what}; }

std::string Index(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }
std::string Member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

// One pass over the raw text before the parser sees it: refuses nesting deeper than
// kMaxJsonDepth and finds duplicate object keys, which the parser would silently merge.
struct PreScan {
    std::size_t tooDeepAt = std::string::npos;
    std::size_t duplicateAt = std::string::npos;
    std::string duplicateKey;
};

PreScan ScanText(const std::string& text) {
    struct Level {
        bool isObject;
        bool expectKey;
        std::set<std::string> keys;
    };
    PreScan result;
    std::vector<Level> stack;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '[') {
            if (stack.size() >= kMaxJsonDepth) {
                result.tooDeepAt = i;
                return result;
            }
            stack.push_back(Level{c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (!stack.empty()) stack.pop_back();
        } else if (c == ',') {
            if (!stack.empty() && stack.back().isObject) stack.back().expectKey = true;
        } else if (c == '"') {
            const std::size_t start = i;
            std::string raw;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) raw.push_back(text[i++]);
                raw.push_back(text[i]);
            }
            if (!stack.empty() && stack.back().isObject && stack.back().expectKey) {
                stack.back().expectKey = false;
                if (!stack.back().keys.insert(raw).second && result.duplicateAt == std::string::npos) {
                    result.duplicateAt = start;
                    result.duplicateKey = raw;
                }
            }
        }
    }
    return result;
}

class SceneReader {
public:
    void ReadScene(const Json& root, SceneDescription* scene) {
        ExpectObject(root, "", {"time", "materials", "nodes"});
        if (const Json* t = Find(root, "time")) scene->time = ReadInt(*t, "time");
        if (const Json* m = Find(root, "materials")) {
            const std::string path = "materials";
            ExpectArray(*m, path);
            for (std::size_t i = 0; i < m->size(); ++i)
                scene->materials.push_back(ReadMaterial((*m)[i], Index(path, i)));
        }
        materialCount_ = scene->materials.size();
        const Json& nodes = Require(root, "", "nodes");
        ExpectArray(nodes, "nodes");
        for (std::size_t i = 0; i < nodes.size(); ++i)
            scene->nodes.push_back(ReadNode(nodes[i], Index("nodes", i)));
    }

private:
    std::size_t materialCount_ = 0;

    static const char* TypeName(const Json& v) {
        if (v.is_number()) return "a number";
        if (v.is_string()) return "a string";
        if (v.is_boolean()) return "a boolean";
        if (v.is_null()) return "null";
        if (v.is_array()) return "an array";
        return "an object";
    }

    static void ExpectObject(const Json& v, const std::string& path, std::initializer_list<const char*> allowed) {
        if (!v.is_object()) Fail(path.empty() ? "top level" : path, std::string("expected an object, found ") + TypeName(v));
        for (const auto& item : v.items()) {
            bool known = false;
            for (const char* k : allowed) known = known || item.key() == k;
            if (!known) {
                std::string list;
                for (const char* k : allowed) list += std::string(list.empty() ? "" : ", ") + k;
                Fail(Member(path, item.key()), "unknown key (expected one of: " + list + ")");
            }
        }
    }

    static void ExpectArray(const Json& v, const std::string& path) {
        if (!v.is_array()) Fail(path, std::string("expected an array, found ") + TypeName(v));
    }

    static const Json* Find(const Json& object, const char* key) {
        auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    static const Json& Require(const Json& object, const std::string& path, const char* key) {
        const Json* v = Find(object, key);
        if (!v) Fail(path.empty() ? "top level" : path, std::string("missing required key \"") + key + "\"");
        return *v;
    }

    static float ReadFloat(const Json& v, const std::string& path) {
        if (!v.is_number()) Fail(path, std::string("expected a number, found ") + TypeName(v));
        const double d = v.get<double>();
        if (!std::isfinite(d)) Fail(path, "number is not finite");
        if (std::fabs(d) > static_cast<double>(FLT_MAX)) Fail(path, "number " + v.dump() + " is out of float range");
        return static_cast<float>(d);
    }

    static int ReadInt(const Json& v, const std::string& path) {
        if (!v.is_number_integer()) Fail(path, std::string("expected an integer, found ") + TypeName(v));
        if (v.is_number_unsigned()) {
            if (v.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
                Fail(path, "integer " + v.dump() + " is out of range");
        } else {
            const std::int64_t i = v.get<std::int64_t>();
            if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max())
                Fail(path, "integer " + v.dump() + " is out of range");
        }
        return v.get<int>();
    }

    // An index into a list of `count` things called `what`.
    static std::uint32_t ReadIndex(const Json& v, const std::string& path, std::size_t count, const char* what,
                                   const char* countWhat) {
        if (!v.is_number_integer()) Fail(path, std::string("expected an integer index, found ") + TypeName(v));
        const bool negative = !v.is_number_unsigned() && v.get<std::int64_t>() < 0;
        if (negative || v.get<std::uint64_t>() >= count)
            Fail(path, std::string(what) + " " + v.dump() + " out of range (" + std::to_string(count) + " " +
                           countWhat + ")");
        return static_cast<std::uint32_t>(v.get<std::uint64_t>());
    }

    static bool ReadBool(const Json& v, const std::string& path) {
        if (!v.is_boolean()) Fail(path, std::string("expected true or false, found ") + TypeName(v));
        return v.get<bool>();
    }

    static std::string ReadString(const Json& v, const std::string& path) {
        if (!v.is_string()) Fail(path, std::string("expected a string, found ") + TypeName(v));
        std::string text = v.get<std::string>();
        // The host's strings end at the first NUL; a name cut short there is not what was meant.
        if (text.find('\0') != std::string::npos) Fail(path, "the string contains a NUL character");
        return text;
    }

    template <std::size_t N>
    static std::array<float, N> ReadFloats(const Json& v, const std::string& path) {
        ExpectArray(v, path);
        if (v.size() != N)
            Fail(path, "expected " + std::to_string(N) + " numbers, found " + std::to_string(v.size()));
        std::array<float, N> out{};
        for (std::size_t i = 0; i < N; ++i) out[i] = ReadFloat(v[i], Index(path, i));
        return out;
    }

    // [u, v] or [u, v, w]
    static std::array<float, 3> ReadTexVert(const Json& v, const std::string& path) {
        ExpectArray(v, path);
        if (v.size() != 2 && v.size() != 3)
            Fail(path, "expected 2 or 3 numbers, found " + std::to_string(v.size()));
        std::array<float, 3> out{0, 0, 0};
        for (std::size_t i = 0; i < v.size(); ++i) out[i] = ReadFloat(v[i], Index(path, i));
        return out;
    }

    static std::array<std::uint32_t, 3> ReadTriangle(const Json& v, const std::string& path, std::size_t count,
                                                     const char* what, const char* countWhat) {
        ExpectArray(v, path);
        if (v.size() != 3) Fail(path, "expected 3 indices, found " + std::to_string(v.size()));
        std::array<std::uint32_t, 3> out{};
        for (std::size_t i = 0; i < 3; ++i) {
            // The message names the triangle, since that is what a user looks for.
            if (!v[i].is_number_integer()) ReadIndex(v[i], Index(path, i), count, what, countWhat);
            out[i] = ReadIndex(v[i], path, count, what, countWhat);
        }
        return out;
    }

    // "matrix", or any of "position", "rotation", "scale"; never both.
    static SceneMatrix ReadTransform(const Json& object, const std::string& path) {
        const Json* matrix = Find(object, "matrix");
        const Json* position = Find(object, "position");
        const Json* rotation = Find(object, "rotation");
        const Json* scale = Find(object, "scale");
        SceneMatrix m;
        if (matrix) {
            if (position || rotation || scale)
                Fail(Member(path, "matrix"), "\"matrix\" cannot be combined with \"position\", \"rotation\" or \"scale\"");
            const std::string mp = Member(path, "matrix");
            ExpectArray(*matrix, mp);
            if (matrix->size() != 4) Fail(mp, "expected 4 rows, found " + std::to_string(matrix->size()));
            for (std::size_t r = 0; r < 4; ++r) {
                const auto row = ReadFloats<3>((*matrix)[r], Index(mp, r));
                for (int k = 0; k < 3; ++k) m.rows[r][k] = row[k];
            }
            return m;
        }
        std::array<float, 3> s{1, 1, 1};
        std::array<float, 3> t{0, 0, 0};
        double x = 0, y = 0, z = 0, w = 1;
        if (scale) s = ReadFloats<3>(*scale, Member(path, "scale"));
        if (position) t = ReadFloats<3>(*position, Member(path, "position"));
        if (rotation) {
            const auto q = ReadFloats<4>(*rotation, Member(path, "rotation"));
            x = q[0], y = q[1], z = q[2], w = q[3];
            const double length = std::sqrt(x * x + y * y + z * z + w * w);
            if (std::fabs(length - 1.0) > kQuaternionTolerance) {
                std::ostringstream os;
                os << "rotation quaternion is not of unit length (length " << length << ")";
                Fail(Member(path, "rotation"), os.str());
            }
            x /= length, y /= length, z /= length, w /= length;
        }
        // Rows are the images of the unit axes: scaled first, then rotated.
        const double rot[3][3] = {
            {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
            {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
            {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)},
        };
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) m.rows[r][k] = static_cast<float>(s[r] * rot[r][k]);
        for (int k = 0; k < 3; ++k) m.rows[3][k] = t[k];
        return m;
    }

    SceneMap ReadMap(const Json& v, const std::string& path, std::set<int>* slotsSeen) {
        ExpectObject(v, path, {"slot", "enabled", "map", "amount"});
        SceneMap map;
        const std::string slotPath = Member(path, "slot");
        map.slot = ReadInt(Require(v, path, "slot"), slotPath);
        if (map.slot < 0 || map.slot > 11) Fail(slotPath, "map slot " + std::to_string(map.slot) + " out of range (0 to 11)");
        if (!slotsSeen->insert(map.slot).second) Fail(slotPath, "map slot " + std::to_string(map.slot) + " given twice");
        if (const Json* e = Find(v, "enabled")) map.enabled = ReadBool(*e, Member(path, "enabled"));
        if (const Json* a = Find(v, "amount")) map.amount = ReadFloat(*a, Member(path, "amount"));
        if (const Json* m = Find(v, "map"); m && !m->is_null()) {
            const std::string mp = Member(path, "map");
            if (!m->is_object()) Fail(mp, std::string("expected an object or null, found ") + TypeName(*m));
            const std::string type = ReadString(Require(*m, mp, "type"), Member(mp, "type"));
            if (type == "bitmap") {
                ExpectObject(*m, mp, {"type", "path"});
                map.kind = SceneMap::Kind::Bitmap;
                map.path = ReadString(Require(*m, mp, "path"), Member(mp, "path"));
            } else if (type == "checker") {
                ExpectObject(*m, mp, {"type"});
                map.kind = SceneMap::Kind::Other;
                map.otherType = type;
            } else {
                Fail(Member(mp, "type"), "unknown map type \"" + type + "\" (expected bitmap or checker)");
            }
        }
        return map;
    }

    SceneMaterial ReadMaterial(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"name", "class", "ambient", "diffuse", "specular", "filter", "opacity", "maps"});
        SceneMaterial mat;
        mat.name = ReadString(Require(v, path, "name"), Member(path, "name"));
        if (const Json* c = Find(v, "class")) mat.className = ReadString(*c, Member(path, "class"));
        if (const Json* c = Find(v, "ambient")) mat.ambient = ReadFloats<3>(*c, Member(path, "ambient"));
        if (const Json* c = Find(v, "diffuse")) mat.diffuse = ReadFloats<3>(*c, Member(path, "diffuse"));
        if (const Json* c = Find(v, "specular")) mat.specular = ReadFloats<3>(*c, Member(path, "specular"));
        if (const Json* c = Find(v, "filter")) mat.filter = ReadFloats<3>(*c, Member(path, "filter"));
        if (const Json* o = Find(v, "opacity")) mat.opacity = ReadFloat(*o, Member(path, "opacity"));
        if (const Json* maps = Find(v, "maps")) {
            const std::string mp = Member(path, "maps");
            ExpectArray(*maps, mp);
            std::set<int> slots;
            for (std::size_t i = 0; i < maps->size(); ++i) mat.maps.push_back(ReadMap((*maps)[i], Index(mp, i), &slots));
        }
        return mat;
    }

    static SceneMesh ReadMesh(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces", "normals"});
        SceneMesh mesh;
        const Json& verts = Require(v, path, "verts");
        const std::string vp = Member(path, "verts");
        ExpectArray(verts, vp);
        mesh.verts.reserve(verts.size());
        for (std::size_t i = 0; i < verts.size(); ++i) mesh.verts.push_back(ReadFloats<3>(verts[i], Index(vp, i)));

        const Json& faces = Require(v, path, "faces");
        const std::string fp = Member(path, "faces");
        ExpectArray(faces, fp);
        mesh.faces.reserve(faces.size());
        for (std::size_t i = 0; i < faces.size(); ++i)
            mesh.faces.push_back(ReadTriangle(faces[i], Index(fp, i), mesh.verts.size(), "vertex index", "vertices"));

        if (const Json* tverts = Find(v, "tverts")) {
            const std::string tp = Member(path, "tverts");
            ExpectArray(*tverts, tp);
            for (std::size_t i = 0; i < tverts->size(); ++i) mesh.tverts.push_back(ReadTexVert((*tverts)[i], Index(tp, i)));
        }
        const Json* tvfaces = Find(v, "tvfaces");
        const std::string tfp = Member(path, "tvfaces");
        if (!mesh.tverts.empty() && !tvfaces) Fail(path, "\"tvfaces\" is required when \"tverts\" is not empty");
        if (tvfaces) {
            ExpectArray(*tvfaces, tfp);
            if (mesh.tverts.empty() && !tvfaces->empty()) Fail(tfp, "texture faces given without \"tverts\"");
            if (!mesh.tverts.empty() && tvfaces->size() != mesh.faces.size())
                Fail(tfp, "expected one texture face per face (" + std::to_string(mesh.faces.size()) + "), found " +
                              std::to_string(tvfaces->size()));
            for (std::size_t i = 0; i < tvfaces->size(); ++i)
                mesh.tvfaces.push_back(ReadTriangle((*tvfaces)[i], Index(tfp, i), mesh.tverts.size(),
                                                    "texture vertex index", "texture vertices"));
        }
        if (const Json* normals = Find(v, "normals")) {
            const std::string np = Member(path, "normals");
            ExpectArray(*normals, np);
            if (normals->size() != mesh.verts.size())
                Fail(np, "expected one normal per vertex (" + std::to_string(mesh.verts.size()) + "), found " +
                             std::to_string(normals->size()));
            for (std::size_t i = 0; i < normals->size(); ++i) mesh.normals.push_back(ReadFloats<3>((*normals)[i], Index(np, i)));
        }
        return mesh;
    }

    // A polygon's indices; their range is checked with the whole polygon mesh.
    static std::vector<std::uint32_t> ReadPolygon(const Json& v, const std::string& path) {
        ExpectArray(v, path);
        std::vector<std::uint32_t> out;
        out.reserve(v.size());
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Json& index = v[i];
            if (!index.is_number_integer())
                Fail(Index(path, i), std::string("expected an integer index, found ") + TypeName(index));
            if ((!index.is_number_unsigned() && index.get<std::int64_t>() < 0) ||
                index.get<std::uint64_t>() > UINT32_MAX)
                Fail(Index(path, i), "index " + index.dump() + " out of range");
            out.push_back(static_cast<std::uint32_t>(index.get<std::uint64_t>()));
        }
        return out;
    }

    static ScenePoly ReadPoly(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces"});
        ScenePoly poly;
        const std::string vp = Member(path, "verts");
        const Json& verts = Require(v, path, "verts");
        ExpectArray(verts, vp);
        for (std::size_t i = 0; i < verts.size(); ++i) poly.verts.push_back(ReadFloats<3>(verts[i], Index(vp, i)));
        const std::string fp = Member(path, "faces");
        const Json& faces = Require(v, path, "faces");
        ExpectArray(faces, fp);
        for (std::size_t i = 0; i < faces.size(); ++i) poly.faces.push_back(ReadPolygon(faces[i], Index(fp, i)));
        if (const Json* tverts = Find(v, "tverts")) {
            const std::string tp = Member(path, "tverts");
            ExpectArray(*tverts, tp);
            for (std::size_t i = 0; i < tverts->size(); ++i) poly.tverts.push_back(ReadTexVert((*tverts)[i], Index(tp, i)));
        }
        if (const Json* tvfaces = Find(v, "tvfaces")) {
            const std::string tp = Member(path, "tvfaces");
            ExpectArray(*tvfaces, tp);
            for (std::size_t i = 0; i < tvfaces->size(); ++i)
                poly.tvfaces.push_back(ReadPolygon((*tvfaces)[i], Index(tp, i)));
        }
        if (const auto problem = FindPolygonProblem(poly)) Fail(Member(path, problem->where), problem->what);
        return poly;
    }

    static SceneObject ReadObject(const Json& v, const std::string& path) {
        if (!v.is_object()) Fail(path, std::string("expected an object, found ") + TypeName(v));
        SceneObject object;
        const std::string tp = Member(path, "type");
        const std::string type = ReadString(Require(v, path, "type"), tp);
        if (type == "mesh" || type == "editable_mesh") {
            object.type = type == "mesh" ? SceneObject::Type::Mesh : SceneObject::Type::EditableMesh;
            object.mesh = ReadMesh(v, path);
        } else if (type == "editable_poly") {
            object.type = SceneObject::Type::EditablePoly;
            object.poly = ReadPoly(v, path);
        } else if (type == "sphere") {
            ExpectObject(v, path, {"type", "radius", "segments"});
            object.type = SceneObject::Type::Sphere;
            object.radius = ReadFloat(Require(v, path, "radius"), Member(path, "radius"));
            if (const Json* s = Find(v, "segments")) {
                object.segments = ReadInt(*s, Member(path, "segments"));
                if (object.segments < 4 || object.segments > 200)
                    Fail(Member(path, "segments"), "segments " + std::to_string(object.segments) + " out of range (4 to 200)");
            }
        } else if (type == "helper") {
            ExpectObject(v, path, {"type", "size"});
            object.type = SceneObject::Type::Helper;
            if (const Json* s = Find(v, "size")) object.size = ReadFloat(*s, Member(path, "size"));
        } else if (type == "camera" || type == "light" || type == "shape") {
            ExpectObject(v, path, {"type"});
            object.type = type == "camera"  ? SceneObject::Type::Camera
                          : type == "light" ? SceneObject::Type::Light
                                            : SceneObject::Type::Shape;
        } else {
            Fail(tp, "unknown object type \"" + type +
                         "\" (expected mesh, editable_mesh, editable_poly, sphere, helper, camera, light or shape)");
        }
        return object;
    }

    SceneNode ReadNode(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"name", "matrix", "position", "rotation", "scale", "offset", "hidden", "material",
                               "object", "children"});
        SceneNode node;
        node.origin = path;
        node.name = ReadString(Require(v, path, "name"), Member(path, "name"));
        node.local = ReadTransform(v, path);
        if (const Json* offset = Find(v, "offset")) {
            const std::string op = Member(path, "offset");
            ExpectObject(*offset, op, {"matrix", "position", "rotation", "scale"});
            node.offset = ReadTransform(*offset, op);
        }
        if (const Json* h = Find(v, "hidden")) node.hidden = ReadBool(*h, Member(path, "hidden"));
        if (const Json* m = Find(v, "material"))
            node.material = static_cast<int>(ReadIndex(*m, Member(path, "material"), materialCount_, "material index", "materials"));
        if (const Json* o = Find(v, "object")) node.object = ReadObject(*o, Member(path, "object"));
        if (const Json* children = Find(v, "children")) {
            const std::string cp = Member(path, "children");
            ExpectArray(*children, cp);
            for (std::size_t i = 0; i < children->size(); ++i) node.children.push_back(ReadNode((*children)[i], Index(cp, i)));
        }
        return node;
    }
};

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..." loses
// its library prefix; the byte offset is given separately.
std::string StripLibraryPrefix(const std::string& what) {
    std::string text = what;
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find("] ");
        if (close != std::string::npos) text = text.substr(close + 2);
    }
    return text;
}

}  // namespace

bool ParseJsonScene(const std::string& text, const std::string& sourceName, SceneDescription* scene,
                    JsonSceneError* error) {
    auto fail = [&](JsonSceneError::Kind kind, const std::string& message) {
        error->kind = kind;
        error->message = sourceName + ": " + message;
        return false;
    };
    const PreScan scan = ScanText(text);
    if (scan.tooDeepAt != std::string::npos)
        return fail(JsonSceneError::Kind::Syntax, "byte " + std::to_string(scan.tooDeepAt) + ": nesting deeper than " +
                                                      std::to_string(kMaxJsonDepth) + " levels");
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error& e) {
        // The library counts bytes from 1; offsets here count from 0 like every other offset.
        const std::size_t at = e.byte > 0 ? e.byte - 1 : 0;
        return fail(JsonSceneError::Kind::Syntax, "byte " + std::to_string(at) + ": " + StripLibraryPrefix(e.what()));
    } catch (const Json::exception& e) {
        // A number too large for a double; the library names the token but not its place.
        std::string message = StripLibraryPrefix(e.what());
        const auto open = message.find('\'');
        const auto close = message.rfind('\'');
        if (open != std::string::npos && close > open) {
            const auto at = text.find(message.substr(open + 1, close - open - 1));
            if (at != std::string::npos) message = "byte " + std::to_string(at) + ": " + message;
        }
        return fail(JsonSceneError::Kind::Syntax, message);
    }
    if (scan.duplicateAt != std::string::npos)
        return fail(JsonSceneError::Kind::Schema, "byte " + std::to_string(scan.duplicateAt) + ": key \"" +
                                                      scan.duplicateKey + "\" given twice in one object");
    SceneDescription result;
    try {
        SceneReader().ReadScene(root, &result);
    } catch (const SchemaProblem& p) {
        return fail(JsonSceneError::Kind::Schema, p.path + ": " + p.what);
    }
    *scene = std::move(result);
    return true;
}

bool ReadJsonSceneFile(const std::string& path, SceneDescription* scene, JsonSceneError* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error->kind = JsonSceneError::Kind::Io;
        error->message = path + ": is a directory, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error->kind = JsonSceneError::Kind::Io;
        error->message = path + ": cannot open the file";
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error->kind = JsonSceneError::Kind::Io;
        error->message = path + ": cannot read the file";
        return false;
    }
    return ParseJsonScene(content.str(), path, scene, error);
}

}  // namespace wux
