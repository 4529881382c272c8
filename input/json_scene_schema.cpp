#include "input/json_scene_schema.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <set>
#include <sstream>
#include <utility>

#include "input/json_scene.h"
#include "input/scene_polygons.h"
#include "format/tool_text.h"

namespace wux::json_scene {
namespace {

// Numbers at or beyond this round to infinity as a 32-bit float: FLT_MAX plus half its step.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

[[noreturn]] void Fail(const std::string& path, const std::string& what) { throw SchemaProblem{path, what}; }

const char* TypeName(const Json& v) {
    if (v.is_number()) return "a number";
    if (v.is_string()) return "a string";
    if (v.is_boolean()) return "a boolean";
    if (v.is_null()) return "null";
    if (v.is_array()) return "an array";
    return "an object";
}

std::string Found(const char* expected, const Json& v) { return std::string(expected) + ", found " + TypeName(v); }

void ExpectObject(const Json& v, const std::string& path, std::initializer_list<const char*> allowed) {
    if (!v.is_object()) Fail(path.empty() ? "top level" : path, Found("expected an object", v));
    // The object's keys come sorted, so of several unknown keys the first in that order is named.
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

void ExpectArray(const Json& v, const std::string& path) {
    if (!v.is_array()) Fail(path, Found("expected an array", v));
}

const Json* Find(const Json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const Json& Require(const Json& object, const std::string& path, const char* key) {
    const Json* v = Find(object, key);
    if (!v) Fail(path.empty() ? "top level" : path, std::string("missing required key \"") + key + "\"");
    return *v;
}

// Empty when v is a number that rounds to a finite 32-bit float, stored in *out.
std::string FloatProblem(const Json& v, float* out) {
    if (!v.is_number()) return Found("expected a number", v);
    const double d = v.get<double>();
    if (!std::isfinite(d)) return "number is not finite";
    if (std::fabs(d) >= kFloatOverflow) return "number " + v.dump() + " is out of float range";
    *out = static_cast<float>(d);
    return std::string();
}

float ReadFloat(const Json& v, const std::string& path) {
    float out = 0;
    const std::string problem = FloatProblem(v, &out);
    if (!problem.empty()) Fail(path, problem);
    return out;
}

int ReadInt(const Json& v, const std::string& path) {
    if (!v.is_number_integer()) Fail(path, Found("expected an integer", v));
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

bool Negative(const Json& v) { return !v.is_number_unsigned() && v.get<std::int64_t>() < 0; }

[[noreturn]] void FailIndexOutOfRange(const std::string& path, const std::string& valueText, std::size_t count,
                                      const char* what, const char* countWhat) {
    Fail(path, std::string(what) + " " + valueText + " out of range (" + std::to_string(count) + " " + countWhat + ")");
}

// An index into a list of `count` things called `what`.
std::uint32_t ReadIndex(const Json& v, const std::string& path, std::size_t count, const char* what,
                        const char* countWhat) {
    if (!v.is_number_integer()) Fail(path, Found("expected an integer index", v));
    if (Negative(v) || v.get<std::uint64_t>() >= count) FailIndexOutOfRange(path, v.dump(), count, what, countWhat);
    return static_cast<std::uint32_t>(v.get<std::uint64_t>());
}

bool ReadBool(const Json& v, const std::string& path) {
    if (!v.is_boolean()) Fail(path, Found("expected true or false", v));
    return v.get<bool>();
}

std::string ReadString(const Json& v, const std::string& path) {
    if (!v.is_string()) Fail(path, Found("expected a string", v));
    std::string text = v.get<std::string>();
    // The host's strings end at the first NUL; a name cut short there is not what was meant.
    if (text.find('\0') != std::string::npos) Fail(path, "the string contains a NUL character");
    return text;
}

// "name", or the bytes "name_bytes" spells in hex where the writer kept a name that is not
// UTF-8 (the host's code page).
std::string ReadName(const Json& v, const std::string& path) {
    std::string name = ReadString(Require(v, path, "name"), Member(path, "name"));
    if (const Json* hex = Find(v, "name_bytes")) {
        const std::string at = Member(path, "name_bytes");
        if (!BytesFromHex(ReadString(*hex, at), &name)) Fail(at, "expected pairs of hex digits");
        if (name.find('\0') != std::string::npos) Fail(at, "the name contains a NUL byte");
    }
    return name;
}

// path() spells the array's path; called only for a message, since a mesh has millions of these.
// A texture vertex (uvw) may leave out its third number, which is then 0.
template <std::size_t N, class PathFn>
std::array<float, N> ReadFloats(const Items& v, const PathFn& path, bool uvw = false) {
    if (!v.isArray) Fail(path(), Found("expected an array", *v.value));
    if (v.size != N && !(uvw && v.size == 2))
        Fail(path(), (uvw ? std::string("expected 2 or 3") : "expected " + std::to_string(N)) + " numbers, found " +
                         std::to_string(v.size));
    std::array<float, N> out{};
    for (std::size_t i = 0; i < v.size; ++i) {
        const std::string problem = FloatProblem(v.items[i], &out[i]);
        if (!problem.empty()) Fail(Index(path(), i), problem);
    }
    return out;
}

template <std::size_t N>
std::array<float, N> ReadFloats(const Json& v, const std::string& path) {
    return ReadFloats<N>(Items::Of(v), [&] { return path; });
}

// A face's smoothing groups: a 32-bit mask, one bit a group.
template <class PathFn>
std::uint32_t ReadGroupMask(const Items& v, const PathFn& path) {
    const Json& j = v.isArray ? Json::array() : *v.value;
    if (v.isArray || !j.is_number_integer()) Fail(path(), Found("expected an integer group mask", j));
    if (Negative(j) || j.get<std::uint64_t>() > UINT32_MAX)
        Fail(path(), "group mask " + j.dump() + " out of range (0 to 4294967295)");
    return static_cast<std::uint32_t>(j.get<std::uint64_t>());
}

// "matrix", or any of "position", "rotation", "scale"; never both.
SceneMatrix ReadTransform(const Json& object, const std::string& path) {
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
        if (!m->is_object()) Fail(mp, Found("expected an object or null", *m));
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
    ExpectObject(v, path, {"name", "name_bytes", "class", "ambient", "diffuse", "specular", "filter", "opacity", "maps"});
    SceneMaterial mat;
    mat.name = ReadName(v, path);
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

}  // namespace

std::string Index(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }
std::string Member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

Items Items::Of(const Json& v) {
    if (!v.is_array()) return Other(v);
    const auto& array = v.get_ref<const Json::array_t&>();
    return Items{nullptr, array.data(), array.size(), true};
}

void CheckTopLevelKeys(const Json& top) { ExpectObject(top, "", {"time", "materials", "nodes"}); }

int ReadTime(const Json& top) {
    const Json* t = Find(top, "time");
    return t ? ReadInt(*t, "time") : 0;
}

std::vector<SceneMaterial> ReadMaterials(const Json& materials) {
    const std::string path = "materials";
    ExpectArray(materials, path);
    std::vector<SceneMaterial> out;
    for (std::size_t i = 0; i < materials.size(); ++i) out.push_back(ReadMaterial(materials[i], Index(path, i)));
    return out;
}

void CheckNodesKey(const Json& top) { ExpectArray(Require(top, "", "nodes"), "nodes"); }

void ReadNodeOwnKeys(const Json& v, const std::string& path, const std::size_t* materialCount, SceneNode* node,
                     std::optional<PendingMaterial>* pending) {
    ExpectObject(v, path, {"name", "name_bytes", "matrix", "position", "rotation", "scale", "offset", "hidden", "material",
                           "object", "children"});
    node->origin = path;
    node->name = ReadName(v, path);
    node->local = ReadTransform(v, path);
    if (const Json* offset = Find(v, "offset")) {
        const std::string op = Member(path, "offset");
        ExpectObject(*offset, op, {"matrix", "position", "rotation", "scale"});
        node->offset = ReadTransform(*offset, op);
    }
    if (const Json* h = Find(v, "hidden")) node->hidden = ReadBool(*h, Member(path, "hidden"));
    if (const Json* m = Find(v, "material")) {
        const std::string mp = Member(path, "material");
        if (materialCount) {
            node->material = static_cast<int>(ReadIndex(*m, mp, *materialCount, "material index", "materials"));
        } else {
            if (!m->is_number_integer()) Fail(mp, Found("expected an integer index", *m));
            // Good indices fit an int (a scene cannot hold more materials); the rest fail later.
            if (m->is_number_unsigned() && m->get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
                node->material = m->get<int>();
            *pending = PendingMaterial{mp, *m};
        }
    }
}

void CheckPendingMaterial(const PendingMaterial& pending, std::size_t materialCount) {
    ReadIndex(pending.value, pending.path, materialCount, "material index", "materials");
}

SchemaProblem WrongType(const char* expected, const Json& value, const std::string& path) {
    return SchemaProblem{path, Found(expected, value)};
}

std::optional<MeshArrays::Part> MeshArrays::PartOf(std::string_view key) {
    if (key == "verts") return Part::Verts;
    if (key == "faces") return Part::Faces;
    if (key == "tverts") return Part::TVerts;
    if (key == "tvfaces") return Part::TVFaces;
    if (key == "normals") return Part::Normals;
    if (key == "smoothing") return Part::Smoothing;
    return std::nullopt;
}

void MeshArrays::Begin(Part part, const std::string& path) {
    PartState& state = parts_[Slot(part)];
    state.streamed = true;
    state.path = path;
}

void MeshArrays::Add(Part part, std::size_t index, const Items& element) {
    PartState& state = parts_[Slot(part)];
    ++state.count;
    if (part == Part::Faces || part == Part::TVFaces) return AddIndexList(state, index, element);
    if (state.problem) return;  // the first fault of an array is the one reported
    const auto path = [&] { return Index(state.path, index); };
    try {
        switch (part) {
            case Part::Verts: mesh_.verts.push_back(ReadFloats<3>(element, path)); break;
            case Part::Normals: mesh_.normals.push_back(ReadFloats<3>(element, path)); break;
            case Part::TVerts: mesh_.tverts.push_back(ReadFloats<3>(element, path, true)); break;
            case Part::Smoothing: mesh_.smoothing.push_back(ReadGroupMask(element, path)); break;
            case Part::Faces:
            case Part::TVFaces:
            case Part::Count: break;
        }
    } catch (SchemaProblem& problem) {
        state.problem = std::move(problem);
        state.problemIndex = index;
    }
}

// Kept as a list of indices; read as a triangle and as a polygon, each way's first fault kept.
void MeshArrays::AddIndexList(PartState& state, std::size_t index, const Items& element) {
    if (state.problem && state.polygonProblem) return;  // neither reading needs more
    if (!state.polygonProblem) {
        try {
            CheckPolygon(state, index, element);
        } catch (SchemaProblem& problem) {
            state.polygonProblem = std::move(problem);
        }
    }
    if (!state.problem) {
        try {
            CheckTriangleShape(state, index, element);
        } catch (SchemaProblem& problem) {
            state.problem = std::move(problem);
            state.problemIndex = index;
        }
    }
    for (std::size_t i = 0; element.isArray && i < element.size; ++i) {
        const Json& v = element.items[i];
        std::uint32_t stored = kUnrepresentable;
        if (v.is_number_integer()) {
            if (!Negative(v) && v.get<std::uint64_t>() < kUnrepresentable)
                stored = static_cast<std::uint32_t>(v.get<std::uint64_t>());
            else if (!state.firstUnrepresentable)
                state.firstUnrepresentable = v.dump();
        }
        state.indices.push_back(stored);
    }
    state.ends.push_back(state.indices.size());
}

// A triangle's shape now, its indices against the vertex count in Finish; partialFace keeps
// the corners before a fault, which are checked before it.
void MeshArrays::CheckTriangleShape(PartState& state, std::size_t index, const Items& element) {
    const auto path = [&] { return Index(state.path, index); };
    state.partialFace.clear();
    if (!element.isArray) Fail(path(), Found("expected an array", *element.value));
    if (element.size != 3) Fail(path(), "expected 3 indices, found " + std::to_string(element.size));
    for (std::size_t i = 0; i < 3; ++i) {
        const Json& v = element.items[i];
        if (!v.is_number_integer()) Fail(Index(path(), i), Found("expected an integer index", v));
        state.partialFace.push_back(Negative(v) || v.get<std::uint64_t>() >= kUnrepresentable
                                        ? kUnrepresentable
                                        : static_cast<std::uint32_t>(v.get<std::uint64_t>()));
    }
}

// A polygon's indices must be integers of 32 bits; their count and range are checked with
// the whole polygon mesh.
void MeshArrays::CheckPolygon(const PartState& state, std::size_t index, const Items& element) {
    const auto path = [&] { return Index(state.path, index); };
    if (!element.isArray) Fail(path(), Found("expected an array", *element.value));
    for (std::size_t i = 0; i < element.size; ++i) {
        const Json& v = element.items[i];
        if (!v.is_number_integer()) Fail(Index(path(), i), Found("expected an integer index", v));
        if (Negative(v) || v.get<std::uint64_t>() > UINT32_MAX)
            Fail(Index(path(), i), "index " + v.dump() + " out of range");
    }
}

// The elements before the first fault read as triangles: each has three indices.
std::vector<std::array<std::uint32_t, 3>> MeshArrays::Triangles(Part part) const {
    const PartState& state = parts_[Slot(part)];
    const std::size_t count = state.problem ? state.problemIndex : state.ends.size();
    std::vector<std::array<std::uint32_t, 3>> out(count);
    for (std::size_t f = 0; f < count; ++f)
        for (std::size_t k = 0; k < 3; ++k) out[f][k] = state.indices[3 * f + k];
    return out;
}

std::vector<std::vector<std::uint32_t>> MeshArrays::Polygons(Part part) const {
    const PartState& state = parts_[Slot(part)];
    std::vector<std::vector<std::uint32_t>> out(state.ends.size());
    std::size_t begin = 0;
    for (std::size_t p = 0; p < state.ends.size(); ++p) {
        out[p].assign(state.indices.begin() + static_cast<std::ptrdiff_t>(begin),
                      state.indices.begin() + static_cast<std::ptrdiff_t>(state.ends[p]));
        begin = state.ends[p];
    }
    return out;
}

// Faces one by one as the reader of a whole document would: every index of a face before
// the fault met in the text, then that fault.
void MeshArrays::CheckTriangles(Part part, const std::vector<std::array<std::uint32_t, 3>>& triangles,
                                std::size_t count, const char* what, const char* countWhat) const {
    const PartState& state = parts_[Slot(part)];
    const auto check = [&](std::uint32_t index, std::size_t face) {
        if (index < count) return;
        const std::string text = index == kUnrepresentable && state.firstUnrepresentable ? *state.firstUnrepresentable
                                                                                         : std::to_string(index);
        FailIndexOutOfRange(Index(state.path, face), text, count, what, countWhat);
    };
    for (std::size_t f = 0; f < triangles.size(); ++f)
        for (std::uint32_t index : triangles[f]) check(index, f);
    if (state.problem) {
        for (std::uint32_t index : state.partialFace) check(index, state.problemIndex);
        throw *state.problem;
    }
}

void MeshArrays::ThrowProblem(Part part) const {
    if (parts_[Slot(part)].problem) throw *parts_[Slot(part)].problem;
}

namespace {

// Arrays that were streamed stand in the object as empty arrays; anything else there is not an array.
const Json* ArrayAt(const Json& object, const std::string& path, const char* key, bool required = false) {
    const Json* array = required ? &Require(object, path, key) : Find(object, key);
    if (array) ExpectArray(*array, Member(path, key));
    return array;
}

}  // namespace

SceneMesh MeshArrays::FinishMesh(const Json& v, const std::string& path) {
    ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces", "normals", "smoothing"});
    ArrayAt(v, path, "verts", true);
    ThrowProblem(Part::Verts);
    ArrayAt(v, path, "faces", true);
    mesh_.faces = Triangles(Part::Faces);
    CheckTriangles(Part::Faces, mesh_.faces, mesh_.verts.size(), "vertex index", "vertices");

    if (ArrayAt(v, path, "tverts")) ThrowProblem(Part::TVerts);
    const Json* tvfaces = Find(v, "tvfaces");
    const std::string tfp = Member(path, "tvfaces");
    if (!mesh_.tverts.empty() && !tvfaces) Fail(path, "\"tvfaces\" is required when \"tverts\" is not empty");
    if (ArrayAt(v, path, "tvfaces")) {
        const std::size_t given = parts_[Slot(Part::TVFaces)].count;
        if (mesh_.tverts.empty() && given != 0) Fail(tfp, "texture faces given without \"tverts\"");
        if (!mesh_.tverts.empty() && given != mesh_.faces.size())
            Fail(tfp, "expected one texture face per face (" + std::to_string(mesh_.faces.size()) + "), found " +
                          std::to_string(given));
        mesh_.tvfaces = Triangles(Part::TVFaces);
        CheckTriangles(Part::TVFaces, mesh_.tvfaces, mesh_.tverts.size(), "texture vertex index", "texture vertices");
    }
    if (ArrayAt(v, path, "normals")) {
        const std::size_t given = parts_[Slot(Part::Normals)].count;
        if (given != mesh_.verts.size())
            Fail(Member(path, "normals"), "expected one normal per vertex (" + std::to_string(mesh_.verts.size()) +
                                              "), found " + std::to_string(given));
        ThrowProblem(Part::Normals);
    }
    if (ArrayAt(v, path, "smoothing")) {
        ThrowProblem(Part::Smoothing);
        if (mesh_.smoothing.size() != mesh_.faces.size())
            Fail(Member(path, "smoothing"), "expected one group mask per face (" + std::to_string(mesh_.faces.size()) +
                                                "), found " + std::to_string(mesh_.smoothing.size()));
    }
    return std::move(mesh_);
}

ScenePoly MeshArrays::FinishPoly(const Json& v, const std::string& path) {
    ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces"});
    ArrayAt(v, path, "verts", true);
    ThrowProblem(Part::Verts);
    ArrayAt(v, path, "faces", true);
    if (parts_[Slot(Part::Faces)].polygonProblem) throw *parts_[Slot(Part::Faces)].polygonProblem;
    ScenePoly poly;
    poly.faces = Polygons(Part::Faces);
    if (ArrayAt(v, path, "tverts")) ThrowProblem(Part::TVerts);
    if (ArrayAt(v, path, "tvfaces")) {
        if (parts_[Slot(Part::TVFaces)].polygonProblem) throw *parts_[Slot(Part::TVFaces)].polygonProblem;
        poly.tvfaces = Polygons(Part::TVFaces);
    }
    poly.verts = std::move(mesh_.verts);
    poly.tverts = std::move(mesh_.tverts);
    if (const auto problem = FindPolygonProblem(poly)) Fail(Member(path, problem->where), problem->what);
    return poly;
}

SceneObject MeshArrays::Finish(const Json& v, const std::string& path) {
    SceneObject object;
    const std::string tp = Member(path, "type");
    const std::string type = ReadString(Require(v, path, "type"), tp);
    if (type == "mesh" || type == "editable_mesh") {
        object.type = type == "mesh" ? SceneObject::Type::Mesh : SceneObject::Type::EditableMesh;
        object.mesh = FinishMesh(v, path);
    } else if (type == "editable_poly") {
        object.type = SceneObject::Type::EditablePoly;
        object.poly = FinishPoly(v, path);
    } else if (type == "sphere") {
        ExpectObject(v, path, {"type", "radius", "segments", "param_block"});
        object.type = SceneObject::Type::Sphere;
        object.radius = ReadFloat(Require(v, path, "radius"), Member(path, "radius"));
        if (const Json* s = Find(v, "segments")) {
            object.segments = ReadInt(*s, Member(path, "segments"));
            if (object.segments < 4 || object.segments > 200)
                Fail(Member(path, "segments"), "segments " + std::to_string(object.segments) + " out of range (4 to 200)");
        }
        if (const Json* b = Find(v, "param_block")) {
            object.paramBlock = ReadInt(*b, Member(path, "param_block"));
            if (object.paramBlock != 1 && object.paramBlock != 2)
                Fail(Member(path, "param_block"), "param_block " + std::to_string(object.paramBlock) + " is neither 1 nor 2");
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

}  // namespace wux::json_scene
