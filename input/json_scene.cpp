// The JSON scene reader. The text is read as a stream and each part of the scene is checked
// as it is complete: the small values of one node, object or material are held as a small
// tree until their object ends, and the elements of a mesh's large arrays are taken one by
// one, so no tree of the whole document is ever built. Each check names the JSON path of the
// value it refuses; several faults in one object are reported in a fixed order (unknown keys
// first, then the keys in the order checked below), whatever the order of the keys in the text.
#include "input/json_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/mapped_file.h"
#include "format/tool_text.h"

namespace wux {
namespace {

using Json = nlohmann::json;

// The bytes of a JSON text as the parser reads them, a chunk at a time from a string or a
// regular file, so a scene is never held whole. It notes where the last string began and
// where a NUL byte came, so that messages can name the byte.
class TextSource {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;

    // The text is not copied and must outlive the source.
    explicit TextSource(const std::string& text) : cur_(text.data()), end_(text.data() + text.size()) {}
    // An open file; progress is told the share of it parsed as each chunk is read.
    TextSource(InputFile* file, ReadProgress progress) : file_(file), progress_(std::move(progress)) {}

    // The input iterator the parser takes; all copies share the source's position.
    struct Iterator {
        using iterator_category = std::input_iterator_tag;
        using value_type = char;
        using difference_type = std::ptrdiff_t;
        using pointer = const char*;
        using reference = const char&;

        reference operator*() const { return *source->cur_; }
        Iterator& operator++() {
            source->Advance();
            return *this;
        }
        bool AtEnd() const { return source == nullptr || source->AtEnd(); }
        friend bool operator!=(const Iterator& a, const Iterator& b) { return a.AtEnd() != b.AtEnd(); }

        TextSource* source;
    };

    Iterator begin() { return Iterator{this}; }
    Iterator end() { return Iterator{nullptr}; }

    std::size_t Offset() const { return offset_; }  // of the next byte
    std::size_t LastStringStart() const { return lastStringStart_; }
    std::size_t FirstNul() const { return firstNul_; }  // outside strings; the parser stops there
    const std::optional<ToolError>& ReadError() const { return readError_; }

private:
    bool AtEnd() { return cur_ == end_ && !Refill(); }
    void Advance() {
        const char c = *cur_++;
        if (inString_) {
            if (escaped_) escaped_ = false;
            else if (c == '\\') escaped_ = true;
            else if (c == '"') inString_ = false;
        } else if (c == '"') {
            inString_ = true;
            lastStringStart_ = offset_;
        } else if (c == '\0' && firstNul_ == kNone) {
            firstNul_ = offset_;
        }
        ++offset_;
    }
    bool Refill() {
        if (file_ == nullptr || readError_) return false;
        if (buffer_.empty()) buffer_.resize(kChunkSize);
        if (progress_ && file_->Size() > 0) progress_(static_cast<double>(offset_) / static_cast<double>(file_->Size()));
        const ToolResult<std::size_t> n = file_->Read(buffer_.data(), buffer_.size());
        if (!n.Ok()) readError_ = n.Error();
        if (!n.Ok() || *n == 0) return false;
        cur_ = buffer_.data();
        end_ = cur_ + *n;
        return true;
    }

    const char* cur_ = nullptr;
    const char* end_ = nullptr;
    InputFile* file_ = nullptr;
    ReadProgress progress_;
    std::vector<char> buffer_;
    std::optional<ToolError> readError_;
    std::size_t offset_ = 0;
    std::size_t lastStringStart_ = kNone;
    std::size_t firstNul_ = kNone;
    bool inString_ = false;
    bool escaped_ = false;
};

// A value the scene does not allow, at a JSON path. Thrown by the checks; the reader keeps the
// first one of each place and turns the winner into a ToolError.
struct SchemaProblem {
    std::string path;
    std::string what;
};

// Numbers at or beyond this round to infinity as a 32-bit float: FLT_MAX plus half its step.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

[[noreturn]] void Fail(const std::string& path, const std::string& what) { throw SchemaProblem{path, what}; }

void ThrowIf(const std::optional<SchemaProblem>& problem) {
    if (problem) throw *problem;
}

// Runs check unless *problem holds a fault already and keeps the fault it throws; true then.
template <class F>
bool KeepFirst(std::optional<SchemaProblem>* problem, F&& check) {
    if (*problem) return false;
    try {
        check();
        return false;
    } catch (SchemaProblem& p) {
        *problem = std::move(p);
        return true;
    }
}

std::string Byte(std::size_t at) { return "byte " + std::to_string(at); }
std::string Index(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }
std::string Member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

// "expected ..., found a number", "found an array", "found null".
std::string Found(const char* expected, const Json& v) {
    const char* article = v.is_null() ? "" : v.is_array() || v.is_object() ? "an " : "a ";
    return std::string(expected) + ", found " + article + v.type_name();
}

void ExpectObject(const Json& v, const std::string& path, std::initializer_list<const char*> allowed) {
    if (!v.is_object()) Fail(path, Found("expected an object", v));
    // The object's keys come sorted, so of several unknown keys the first in that order is named.
    for (const auto& item : v.items()) {
        if (std::find(allowed.begin(), allowed.end(), item.key()) != allowed.end()) continue;
        std::string list;
        for (const char* k : allowed) list += std::string(list.empty() ? "" : ", ") + k;
        Fail(Member(path, item.key()), "unknown key (expected one of: " + list + ")");
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

// One past the largest int.
constexpr std::uint64_t kIntEnd = std::uint64_t{std::numeric_limits<int>::max()} + 1;

// Whether an integer value lies in [low, end).
bool InRange(const Json& v, std::int64_t low, std::uint64_t end) {
    if (v.is_number_unsigned()) return v.get<std::uint64_t>() < end;
    const std::int64_t i = v.get<std::int64_t>();
    return i >= low && (i < 0 || static_cast<std::uint64_t>(i) < end);
}

// A number that rounds to a finite 32-bit float. path() spells the value's path; called only
// for a message, since a mesh has millions of these.
template <class PathFn>
float ReadFloat(const Json& v, const PathFn& path) {
    if (!v.is_number()) Fail(path(), Found("expected a number", v));
    const double d = v.get<double>();
    if (!std::isfinite(d)) Fail(path(), "number is not finite");
    if (std::fabs(d) >= kFloatOverflow) Fail(path(), "number " + v.dump() + " is out of float range");
    return static_cast<float>(d);
}

float ReadFloat(const Json& v, const std::string& path) { return ReadFloat(v, [&] { return path; }); }

int ReadInt(const Json& v, const std::string& path) {
    if (!v.is_number_integer()) Fail(path, Found("expected an integer", v));
    if (!InRange(v, std::numeric_limits<int>::min(), kIntEnd)) Fail(path, "integer " + v.dump() + " is out of range");
    return v.get<int>();
}

std::string OutOfRange(const std::string& valueText, std::size_t count, const char* what, const char* countWhat) {
    return std::string(what) + " " + valueText + " out of range (" + std::to_string(count) + " " + countWhat + ")";
}

int ReadMaterialIndex(const Json& v, const std::string& path, std::size_t count) {
    if (!v.is_number_integer()) Fail(path, Found("expected an integer index", v));
    if (!InRange(v, 0, count)) Fail(path, OutOfRange(v.dump(), count, "material index", "materials"));
    return static_cast<int>(v.get<std::uint64_t>());
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

// A texture vertex (uvw) may leave out its third number, which is then 0.
template <std::size_t N, class PathFn>
std::array<float, N> ReadFloats(const Json& v, const PathFn& path, bool uvw = false) {
    if (!v.is_array()) Fail(path(), Found("expected an array", v));
    if (v.size() != N && !(uvw && v.size() == 2))
        Fail(path(), (uvw ? std::string("expected 2 or 3") : "expected " + std::to_string(N)) + " numbers, found " +
                         std::to_string(v.size()));
    std::array<float, N> out{};
    for (std::size_t i = 0; i < v.size(); ++i) out[i] = ReadFloat(v[i], [&] { return Index(path(), i); });
    return out;
}

template <std::size_t N>
std::array<float, N> ReadFloats(const Json& v, const std::string& path) { return ReadFloats<N>(v, [&] { return path; }); }

// A face's smoothing groups: a 32-bit mask, one bit a group.
template <class PathFn>
std::uint32_t ReadGroupMask(const Json& v, const PathFn& path) {
    if (!v.is_number_integer()) Fail(path(), Found("expected an integer group mask", v));
    if (!InRange(v, 0, std::uint64_t{1} << 32)) Fail(path(), "group mask " + v.dump() + " out of range (0 to 4294967295)");
    return static_cast<std::uint32_t>(v.get<std::uint64_t>());
}

// "matrix", or any of "position", "rotation", "scale"; never both.
SceneMatrix ReadTransform(const Json& object, const std::string& path) {
    const Json* matrix = Find(object, "matrix");
    const Json* position = Find(object, "position");
    const Json* rotation = Find(object, "rotation");
    const Json* scale = Find(object, "scale");
    SceneMatrix m;
    if (matrix) {
        const std::string mp = Member(path, "matrix");
        if (position || rotation || scale) Fail(mp, "\"matrix\" cannot be combined with \"position\", \"rotation\" or \"scale\"");
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
    for (const auto& [key, colour] : {std::pair{"ambient", &mat.ambient}, {"diffuse", &mat.diffuse},
                                      {"specular", &mat.specular}, {"filter", &mat.filter}})
        if (const Json* c = Find(v, key)) *colour = ReadFloats<3>(*c, Member(path, key));
    if (const Json* o = Find(v, "opacity")) mat.opacity = ReadFloat(*o, Member(path, "opacity"));
    if (const Json* maps = Find(v, "maps")) {
        const std::string mp = Member(path, "maps");
        ExpectArray(*maps, mp);
        std::set<int> slots;
        for (std::size_t i = 0; i < maps->size(); ++i) mat.maps.push_back(ReadMap((*maps)[i], Index(mp, i), &slots));
    }
    return mat;
}

std::vector<SceneMaterial> ReadMaterials(const Json& materials) {
    ExpectArray(materials, "materials");
    std::vector<SceneMaterial> out;
    for (std::size_t i = 0; i < materials.size(); ++i) out.push_back(ReadMaterial(materials[i], Index("materials", i)));
    return out;
}

// A face index that cannot be a vertex index (negative or beyond 32 bits) is kept as this,
// with its text for the message.
constexpr std::uint32_t kUnrepresentable = 0xFFFFFFFFu;

// One element of "faces" or "tvfaces" read as a triangle when corners is given: three
// indices, counted in *corners up to a fault, since their range is checked only when the
// object ends; otherwise read as a polygon: integers of 32 bits, whose count and range are
// checked with the whole polygon mesh.
void CheckFace(const std::string& arrayPath, std::size_t index, const Json& element, std::size_t* corners) {
    const auto path = [&] { return Index(arrayPath, index); };
    if (!element.is_array()) Fail(path(), Found("expected an array", element));
    if (corners && element.size() != 3) Fail(path(), "expected 3 indices, found " + std::to_string(element.size()));
    for (std::size_t i = 0; i < element.size(); ++i) {
        const Json& v = element[i];
        if (!v.is_number_integer()) Fail(Index(path(), i), Found("expected an integer index", v));
        if (corners) ++*corners;
        else if (!InRange(v, 0, std::uint64_t{1} << 32)) Fail(Index(path(), i), "index " + v.dump() + " out of range");
    }
}

// "expected one normal per vertex (8), found 7".
void ExpectOnePer(const std::string& path, const char* what, std::size_t count, std::size_t given) {
    if (given != count)
        Fail(path, "expected one " + std::string(what) + " (" + std::to_string(count) + "), found " + std::to_string(given));
}

// Arrays that were streamed stand in the object as empty arrays; anything else there is not an array.
const Json* ArrayAt(const Json& object, const std::string& path, const char* key, bool required = false) {
    const Json* array = required ? &Require(object, path, key) : Find(object, key);
    if (array) ExpectArray(*array, Member(path, key));
    return array;
}

// One large array of a mesh or polygon object as it is read, with its first fault.
struct MeshPart {
    std::string path;
    std::optional<SchemaProblem> problem;  // read as triangles for faces and tvfaces
    std::size_t problemIndex = 0;          // faces and tvfaces: the element with the problem
    std::size_t problemCorners = 0;        // corners of that element read before it
    std::size_t count = 0;                 // elements read
    // faces and tvfaces: every element's indices one after the other, where each ends,
    // the first fault of the elements read as polygons, the first index that cannot be one.
    std::vector<std::uint32_t> indices;
    std::vector<std::size_t> ends;
    std::optional<SchemaProblem> polygonProblem;
    std::optional<std::string> firstUnrepresentable;
};

// An element of faces or tvfaces, kept as a list of indices; read as a triangle and as a
// polygon, each way's first fault kept.
void AddIndexList(MeshPart& state, std::size_t index, const Json& element) {
    if (state.problem && state.polygonProblem) return;  // neither reading needs more
    KeepFirst(&state.polygonProblem, [&] { CheckFace(state.path, index, element, nullptr); });
    const bool failed = KeepFirst(&state.problem, [&] {
        state.problemCorners = 0;
        CheckFace(state.path, index, element, &state.problemCorners);
    });
    if (failed) state.problemIndex = index;
    for (std::size_t i = 0; element.is_array() && i < element.size(); ++i) {
        const Json& v = element[i];
        const bool fits = v.is_number_integer() && InRange(v, 0, kUnrepresentable);
        if (!fits && v.is_number_integer() && !state.firstUnrepresentable) state.firstUnrepresentable = v.dump();
        state.indices.push_back(fits ? static_cast<std::uint32_t>(v.get<std::uint64_t>()) : kUnrepresentable);
    }
    state.ends.push_back(state.indices.size());
}

// The elements before the first fault read as triangles, each of three indices into a list
// of `count`, checked one by one as the reader of a whole document would: every index of a
// face before the fault met in the text, then that fault.
std::vector<std::array<std::uint32_t, 3>> Triangles(const MeshPart& state, std::size_t count, const char* what,
                                                    const char* countWhat) {
    const auto check = [&](std::size_t at, std::size_t face) {
        const std::uint32_t index = state.indices[at];
        if (index < count) return index;
        const std::string text = index == kUnrepresentable && state.firstUnrepresentable ? *state.firstUnrepresentable
                                                                                         : std::to_string(index);
        Fail(Index(state.path, face), OutOfRange(text, count, what, countWhat));
    };
    const std::size_t faces = state.problem ? state.problemIndex : state.ends.size();
    std::vector<std::array<std::uint32_t, 3>> out(faces);
    for (std::size_t f = 0; f < faces; ++f)
        for (std::size_t k = 0; k < 3; ++k) out[f][k] = check(3 * f + k, f);
    if (!state.problem) return out;
    // The indices of the faulty element follow those of the good triangles before it.
    for (std::size_t k = 0; k < state.problemCorners; ++k) check(3 * faces + k, faces);
    throw *state.problem;
}

std::vector<std::vector<std::uint32_t>> Polygons(const MeshPart& state) {
    ThrowIf(state.polygonProblem);
    std::vector<std::vector<std::uint32_t>> out;
    std::size_t begin = 0;
    for (std::size_t end : state.ends) {
        out.emplace_back(state.indices.data() + begin, state.indices.data() + end);
        begin = end;
    }
    return out;
}

// Like a triangle's, the message names the polygon, which is what a user looks for.
void CheckPolygonIndices(const std::vector<std::vector<std::uint32_t>>& polygons, std::size_t count,
                         const std::string& path, const char* what, const char* countWhat) {
    for (std::size_t p = 0; p < polygons.size(); ++p)
        for (std::uint32_t index : polygons[p])
            if (index >= count) Fail(Index(path, p), OutOfRange(std::to_string(index), count, what, countWhat));
}

// A polygon of fewer than three corners, an index out of range or texture polygons that do not
// match their polygons would make the host's editable poly inconsistent.
void CheckPolygons(const ScenePoly& poly, const std::string& path) {
    const std::string fp = Member(path, "faces"), tfp = Member(path, "tvfaces");
    for (std::size_t p = 0; p < poly.faces.size(); ++p)
        if (poly.faces[p].size() < 3)
            Fail(Index(fp, p), "a polygon needs 3 or more vertex indices, found " + std::to_string(poly.faces[p].size()));
    CheckPolygonIndices(poly.faces, poly.verts.size(), fp, "vertex index", "vertices");
    if (poly.tverts.empty() && !poly.tvfaces.empty()) Fail(tfp, "texture polygons given without \"tverts\"");
    if (poly.tverts.empty()) return;
    ExpectOnePer(tfp, "texture polygon per polygon", poly.faces.size(), poly.tvfaces.size());
    for (std::size_t p = 0; p < poly.faces.size(); ++p)
        if (poly.tvfaces[p].size() != poly.faces[p].size())
            Fail(Index(tfp, p), "expected " + std::to_string(poly.faces[p].size()) + " indices, as many as its polygon, found " +
                                    std::to_string(poly.tvfaces[p].size()));
    CheckPolygonIndices(poly.tvfaces, poly.tverts.size(), tfp, "texture vertex index", "texture vertices");
}

// The large arrays of a mesh or polygon object, filled element by element as the text is
// read; each keeps its first fault. Face indices are checked against the vertex count only
// when the object ends, since "faces" may come before "verts"; and faces are kept as lists
// of indices, since "type" (triangles or polygons) may come last.
class MeshArrays {
public:
    enum class Part { Verts, Faces, TVerts, TVFaces, Normals, Smoothing, Count };

    // Which part a key of an object names, if any.
    static std::optional<Part> PartOf(std::string_view key) {
        static constexpr std::string_view kKeys[] = {"verts", "faces", "tverts", "tvfaces", "normals", "smoothing"};
        const auto it = std::find(std::begin(kKeys), std::end(kKeys), key);
        if (it == std::end(kKeys)) return std::nullopt;
        return static_cast<Part>(it - std::begin(kKeys));
    }

    void Begin(Part part, const std::string& path) { State(part).path = path; }
    // The next element of an array begun with Begin.
    void Add(Part part, const Json& element) {
        MeshPart& state = State(part);
        const std::size_t index = state.count++;
        if (part == Part::Faces || part == Part::TVFaces) return AddIndexList(state, index, element);
        const auto path = [&] { return Index(state.path, index); };
        // The first fault of an array is the one reported.
        KeepFirst(&state.problem, [&] {
            if (part == Part::Verts) mesh_.verts.push_back(ReadFloats<3>(element, path));
            else if (part == Part::Normals) mesh_.normals.push_back(ReadFloats<3>(element, path));
            else if (part == Part::TVerts) mesh_.tverts.push_back(ReadFloats<3>(element, path, true));
            else mesh_.smoothing.push_back(ReadGroupMask(element, path));
        });
    }

    // The whole object: its keys (the arrays above stand in as empty arrays) and the parts.
    SceneObject Finish(const Json& v, const std::string& path) {
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

private:
    MeshPart& State(Part part) { return parts_[static_cast<std::size_t>(part)]; }

    SceneMesh FinishMesh(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces", "normals", "smoothing"});
        ArrayAt(v, path, "verts", true);
        ThrowIf(State(Part::Verts).problem);
        ArrayAt(v, path, "faces", true);
        mesh_.faces = Triangles(State(Part::Faces), mesh_.verts.size(), "vertex index", "vertices");

        if (ArrayAt(v, path, "tverts")) ThrowIf(State(Part::TVerts).problem);
        const std::string tfp = Member(path, "tvfaces");
        if (!mesh_.tverts.empty() && !Find(v, "tvfaces")) Fail(path, "\"tvfaces\" is required when \"tverts\" is not empty");
        if (ArrayAt(v, path, "tvfaces")) {
            const std::size_t given = State(Part::TVFaces).count;
            if (mesh_.tverts.empty() && given != 0) Fail(tfp, "texture faces given without \"tverts\"");
            if (!mesh_.tverts.empty()) ExpectOnePer(tfp, "texture face per face", mesh_.faces.size(), given);
            mesh_.tvfaces = Triangles(State(Part::TVFaces), mesh_.tverts.size(), "texture vertex index", "texture vertices");
        }
        if (ArrayAt(v, path, "normals")) {
            ExpectOnePer(Member(path, "normals"), "normal per vertex", mesh_.verts.size(), State(Part::Normals).count);
            ThrowIf(State(Part::Normals).problem);
        }
        if (ArrayAt(v, path, "smoothing")) {
            ThrowIf(State(Part::Smoothing).problem);
            ExpectOnePer(Member(path, "smoothing"), "group mask per face", mesh_.faces.size(), mesh_.smoothing.size());
        }
        return std::move(mesh_);
    }

    ScenePoly FinishPoly(const Json& v, const std::string& path) {
        ExpectObject(v, path, {"type", "verts", "faces", "tverts", "tvfaces"});
        ArrayAt(v, path, "verts", true);
        ThrowIf(State(Part::Verts).problem);
        ArrayAt(v, path, "faces", true);
        ScenePoly poly;
        poly.faces = Polygons(State(Part::Faces));
        if (ArrayAt(v, path, "tverts")) ThrowIf(State(Part::TVerts).problem);
        if (ArrayAt(v, path, "tvfaces")) poly.tvfaces = Polygons(State(Part::TVFaces));
        poly.verts = std::move(mesh_.verts);
        poly.tverts = std::move(mesh_.tverts);
        CheckPolygons(poly, path);
        return poly;
    }

    std::array<MeshPart, static_cast<std::size_t>(Part::Count)> parts_;
    SceneMesh mesh_;
};

// Builds the scene from the parser's events. Each open bracket of the text is one frame with
// a role: the scene's nodes, objects and the large arrays of meshes are read into the scene
// description as they come; the few small values of one node, object or material are held as
// a small tree until their object ends and are checked then, in a fixed order. The text is
// read to its end even after a schema fault, since a syntax fault anywhere, then a key given
// twice, outrank it; of schema faults the one a reader of the whole tree meets first wins.
class SceneBuilder {
public:
    explicit SceneBuilder(TextSource* source) : source_(source) { frames_.reserve(kMaxJsonDepth); }

    // The parser's events; each returns false to stop the parse.
    bool null() { return Scalar(Json(nullptr)); }
    bool boolean(bool v) { return Scalar(Json(v)); }
    bool number_integer(Json::number_integer_t v) { return Scalar(Json(v)); }
    bool number_unsigned(Json::number_unsigned_t v) { return Scalar(Json(v)); }
    bool number_float(Json::number_float_t v, const std::string&) { return Scalar(Json(v)); }
    bool string(std::string& v) { return Scalar(Json(std::move(v))); }
    bool binary(Json::binary_t&) { return true; }  // not in JSON text
    bool start_object(std::size_t) { return Open(true); }
    bool start_array(std::size_t) { return Open(false); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(std::string& k) {
        Frame& f = frames_.back();
        f.skipValue = f.skippedKeys ? !f.skippedKeys->insert(k).second : f.target->contains(k);
        if (f.skipValue && !duplicate_)
            duplicate_ = SchemaProblem{Byte(source_->LastStringStart()), "key \"" + k + "\" given twice in one object"};
        f.key = std::move(k);
        return true;
    }
    bool parse_error(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception& e) {
        syntax_ = SyntaxProblem(position, lastToken, e);
        return false;
    }

    // The scene, or the fault that outranks the others.
    ToolResult<SceneDescription> Parse(const std::string& sourceName) {
        const auto fail = [&](ToolError::Kind kind, const SchemaProblem& p) {
            return ToolError{kind, sourceName, p.path, std::nullopt, p.what};
        };
        const bool parsed = Json::sax_parse(source_->begin(), source_->end(), this);
        if (source_->ReadError()) return *source_->ReadError();
        if (syntax_) return fail(ToolError::Kind::Syntax, *syntax_);
        if (parsed && source_->FirstNul() != TextSource::kNone)
            return fail(ToolError::Kind::Syntax,
                        SchemaProblem{Byte(source_->FirstNul()), "unexpected NUL character after the top-level value"});
        if (duplicate_) return fail(ToolError::Kind::Schema, *duplicate_);
        if (problem_) return fail(ToolError::Kind::Schema, *problem_);
        return std::move(scene_);
    }

private:
    enum class Role {
        Top,        // the top-level object
        NodeList,   // "nodes", or a node's "children": each element a node
        Node,
        Object,     // a node's "object"
        MeshArray,  // "verts", "faces", ... of an object: each element kept as it comes
        Element,    // one element of a MeshArray
        Tree,       // any other value: built as a small tree
        Skip,       // content that cannot matter (its type is all that counts): parsed, not kept
    };

    // A fault inside the nodes, with the place in document order of the node it is about.
    struct NodeProblem {
        SchemaProblem problem;
        std::size_t order = 0;
    };

    // What a node frame (or the top level, for its "nodes") gathers besides its own small values.
    struct NodeParts {
        std::size_t order = 0;  // the node's place in document order
        std::vector<SceneNode> children;
        std::optional<NodeProblem> childrenProblem;
        SceneObject object;
        std::optional<SchemaProblem> objectProblem;
    };

    // A node's material index when the materials are not all read yet: checked at the end.
    struct PendingMaterial {
        std::string path;
        Json value;
        std::size_t order = 0;  // the node's place in document order
    };

    // Cheap to make: a mesh has one frame for each of its vertices and faces.
    struct Frame {
        Role role = Role::Skip;
        bool isObject = false;
        bool skipValue = false;  // the key whose value comes next was given before
        MeshArrays::Part part = MeshArrays::Part::Verts;  // MeshArray
        std::size_t count = 0;   // NodeList: elements met
        Json* target = nullptr;  // Top, Node, Object, Tree, Element: the container being filled
        std::string path;        // Top, NodeList, Node, Object
        std::string key;         // an object's key whose value comes next
        Json own;                // Top, Node, Object: the frame's small values by key
        std::unique_ptr<std::set<std::string>> skippedKeys;  // Skip objects: for keys given twice
        std::unique_ptr<NodeParts> node;                     // Top, Node
        std::unique_ptr<MeshArrays> mesh;                    // Object
    };

    bool Open(bool isObject) {
        if (frames_.size() >= kMaxJsonDepth) {
            // The parser has read nothing past the bracket yet.
            syntax_ = SchemaProblem{Byte(source_->Offset() - 1),
                                    "nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels"};
            return false;
        }
        Container(isObject);
        return true;
    }

    Frame& Push(Role role, bool isObject) {
        frames_.emplace_back();
        Frame& f = frames_.back();
        f.role = role;
        f.isObject = isObject;
        return f;
    }

    // The top level, a node or an object: its small values are kept by key.
    Frame& PushOwn(Role role, std::string path) {
        Frame& f = Push(role, true);
        f.path = std::move(path);
        f.own = Json::object();
        f.target = &f.own;
        if (role != Role::Object) f.node = std::make_unique<NodeParts>();
        return f;
    }

    void PushSkip(bool isObject) {
        Frame& f = Push(Role::Skip, isObject);
        if (isObject) f.skippedKeys = std::make_unique<std::set<std::string>>();
    }

    // The mesh of the object whose array is the innermost open frame.
    MeshArrays& MeshOfArray() { return *frames_[frames_.size() - 2].mesh; }
    // Where the nodes of the innermost open list go: the scene's or a node's children.
    NodeParts& ListOwner() { return *frames_[frames_.size() - 2].node; }

    static Json Empty(bool isObject) { return isObject ? Json::object() : Json::array(); }

    // A scalar value: where it belongs depends on the innermost open frame.
    bool Scalar(Json value) {
        if (frames_.empty()) {
            NotAnObjectAtTop(value);
            return true;
        }
        Frame& f = frames_.back();
        if (f.role == Role::NodeList) NodeNotAnObject(f, value);
        else if (f.role == Role::MeshArray) MeshOfArray().Add(f.part, value);
        else if (f.role == Role::Skip) return true;
        else if (!f.isObject) f.target->push_back(std::move(value));
        else if (!f.skipValue) (*f.target)[f.key] = std::move(value);
        ValueDone(f);
        return true;
    }

    void Container(bool isObject) {
        if (frames_.empty() && isObject) {
            PushOwn(Role::Top, "");
            return;
        }
        if (frames_.empty()) {
            NotAnObjectAtTop(Json::array());
            return PushSkip(false);
        }
        Frame& f = frames_.back();
        switch (f.role) {
            case Role::NodeList:
                if (!isObject) {
                    NodeNotAnObject(f, Json::array());
                    return PushSkip(false);
                }
                PushOwn(Role::Node, Index(f.path, f.count++)).node->order = nodeCount_++;
                return;
            case Role::MeshArray:
                if (isObject) {
                    MeshOfArray().Add(f.part, Json::object());
                    return PushSkip(true);
                }
                Push(Role::Element, false).target = &elementItems_;
                elementItems_.clear();
                return;
            case Role::Skip: return PushSkip(isObject);
            default: {
                if (f.isObject && f.skipValue) return PushSkip(isObject);
                // The container stands in for what is read into the scene.
                if (!f.isObject) f.target->push_back(Empty(isObject));
                Json& child = f.isObject ? ((*f.target)[f.key] = Empty(isObject)) : f.target->back();
                if (f.role == Role::Element) return PushSkip(isObject);
                if (!StartStreamed(f, isObject)) Push(Role::Tree, isObject).target = &child;
                return;
            }
        }
    }

    // Values read into the scene as they come: "nodes", a node's "children" and "object", an
    // object's large arrays. False for any other value.
    bool StartStreamed(Frame& f, bool isObject) {
        const bool list = !isObject && ((f.role == Role::Top && f.key == "nodes") ||
                                        (f.role == Role::Node && f.key == "children"));
        const bool object = isObject && f.role == Role::Node && f.key == "object";
        const auto part = !isObject && f.role == Role::Object ? MeshArrays::PartOf(f.key) : std::nullopt;
        if (!list && !object && !part) return false;
        const std::string path = Member(f.path, f.key);
        if (list) {
            Push(Role::NodeList, false).path = path;
        } else if (object) {
            PushOwn(Role::Object, path).mesh = std::make_unique<MeshArrays>();
        } else {
            f.mesh->Begin(*part, path);
            Push(Role::MeshArray, false).part = *part;
        }
        return true;
    }

    bool Close() {
        if (frames_.back().role == Role::Element) {
            frames_.pop_back();
            MeshOfArray().Add(frames_.back().part, elementItems_);
            return true;
        }
        Frame done = std::move(frames_.back());
        frames_.pop_back();
        if (done.role == Role::Top) FinishScene(done);
        else if (done.role == Role::Node) FinishNode(done);
        else if (done.role == Role::Object) FinishObject(done);
        else if (!frames_.empty()) ValueDone(frames_.back());
        return true;
    }

    // A key's value has ended: the materials are read at once, nodes need their count.
    void ValueDone(Frame& f) {
        if (f.role != Role::Top || f.key != "materials" || f.skipValue) return;
        KeepFirst(&materialsProblem_, [&] {
            scene_.materials = ReadMaterials(f.own["materials"]);
            materialsRead_ = true;
        });
    }

    void NotAnObjectAtTop(const Json& value) { problem_ = SchemaProblem{"top level", Found("expected an object", value)}; }

    void NodeNotAnObject(Frame& list, const Json& value) {
        const std::string path = Index(list.path, list.count++);
        NodeParts& owner = ListOwner();
        if (!owner.childrenProblem) owner.childrenProblem = NodeProblem{{path, Found("expected an object", value)}, nodeCount_};
        ++nodeCount_;
    }

    // A node's own keys, in order up to "material" (its object and children come from the
    // stream). An index given before the materials are read is checked at the end.
    void ReadNodeOwnKeys(const Frame& done, SceneNode* node) {
        const Json& v = done.own;
        const std::string& path = done.path;
        ExpectObject(v, path, {"name", "name_bytes", "matrix", "position", "rotation", "scale", "offset", "hidden",
                               "material", "object", "children"});
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
            if (materialsRead_) {
                node->material = ReadMaterialIndex(*m, mp, scene_.materials.size());
                return;
            }
            if (!m->is_number_integer()) Fail(mp, Found("expected an integer index", *m));
            // Good indices fit an int (a scene cannot hold more materials); the rest fail later.
            if (InRange(*m, 0, kIntEnd)) node->material = m->get<int>();
            pendingMaterials_.push_back({mp, *m, done.node->order});
        }
    }

    void FinishNode(Frame& done) {
        NodeParts& parts = *done.node;
        NodeParts& owner = ListOwner();
        SceneNode node;
        std::size_t origin = parts.order;
        try {
            ReadNodeOwnKeys(done, &node);
            // A node's "object" that is an object was streamed.
            if (const auto it = done.own.find("object"); it != done.own.end()) {
                if (!it->is_object()) Fail(Member(done.path, "object"), Found("expected an object", *it));
                ThrowIf(parts.objectProblem);
                node.object = std::move(parts.object);
            }
            if (const auto it = done.own.find("children"); it != done.own.end()) {
                ExpectArray(*it, Member(done.path, "children"));
                if (parts.childrenProblem) {
                    origin = parts.childrenProblem->order;
                    throw parts.childrenProblem->problem;
                }
                node.children = std::move(parts.children);
            }
        } catch (SchemaProblem& p) {
            if (!owner.childrenProblem) owner.childrenProblem = NodeProblem{std::move(p), origin};
            return;
        }
        if (!owner.childrenProblem) owner.children.push_back(std::move(node));
    }

    void FinishObject(Frame& done) {
        NodeParts& node = *frames_.back().node;
        KeepFirst(&node.objectProblem, [&] { node.object = done.mesh->Finish(done.own, done.path); });
    }

    // The same order as a reader of the whole tree: top-level keys, "time", "materials", "nodes".
    void FinishScene(Frame& top) {
        KeepFirst(&problem_, [&] {
            ExpectObject(top.own, "", {"time", "materials", "nodes"});
            if (const Json* t = Find(top.own, "time")) scene_.time = ReadInt(*t, "time");
            ThrowIf(materialsProblem_);
            ExpectArray(Require(top.own, "", "nodes"), "nodes");
            // Indices given before the materials were read, in document order; one fails
            // first when its node comes no later than the node of any other fault.
            const std::optional<NodeProblem>& nodesProblem = top.node->childrenProblem;
            std::stable_sort(pendingMaterials_.begin(), pendingMaterials_.end(),
                             [](const PendingMaterial& a, const PendingMaterial& b) { return a.order < b.order; });
            for (const PendingMaterial& pending : pendingMaterials_) {
                if (nodesProblem && pending.order > nodesProblem->order) break;
                ReadMaterialIndex(pending.value, pending.path, scene_.materials.size());
            }
            if (nodesProblem) throw nodesProblem->problem;
            scene_.nodes = std::move(top.node->children);
        });
    }

    // The library's message without its "[json.exception...] " prefix; byte offsets count from 0.
    SchemaProblem SyntaxProblem(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception& e) {
        std::string text = e.what();
        if (!text.empty() && text[0] == '[') {
            const auto close = text.find("] ");
            if (close != std::string::npos) text = text.substr(close + 2);
        }
        // A number too large for a double: the position is the end of its token.
        const bool overflow = dynamic_cast<const nlohmann::detail::parse_error*>(&e) == nullptr;
        const std::size_t at = overflow ? position - std::min(position, lastToken.size()) : (position > 0 ? position - 1 : 0);
        // The parser takes a NUL byte for the end of the text.
        if (at == source_->FirstNul()) {
            const auto end = text.find("unexpected end of input");
            if (end != std::string::npos) text.replace(end, 23, "unexpected NUL character");
        }
        return SchemaProblem{Byte(at), text};
    }

    TextSource* source_;
    // Reserved to the depth limit: frames hold pointers into themselves and the frames below.
    std::vector<Frame> frames_;
    Json elementItems_ = Json::array();  // the open Element's items
    SceneDescription scene_;
    bool materialsRead_ = false;
    std::optional<SchemaProblem> materialsProblem_;
    std::vector<PendingMaterial> pendingMaterials_;
    std::size_t nodeCount_ = 0;
    std::optional<SchemaProblem> syntax_;
    std::optional<SchemaProblem> duplicate_;
    std::optional<SchemaProblem> problem_;
};

}  // namespace

ToolResult<SceneDescription> ParseJsonScene(const std::string& text, const std::string& sourceName) {
    TextSource source(text);
    return SceneBuilder(&source).Parse(sourceName);
}

ToolResult<SceneDescription> ReadJsonSceneFile(const std::string& path, const ReadProgress& progress) {
    InputFile file;
    if (ToolResult<void> opened = file.Open(path); !opened.Ok()) return opened.Error();
    TextSource source(&file, progress);
    return SceneBuilder(&source).Parse(path);
}

void ReportMissingTextures(const SceneDescription& scene, const std::string& folder, Warnings* warnings) {
    std::vector<bool> used(scene.materials.size());
    ForEachNode(scene.nodes, [&used](const SceneNode& node) {
        if (node.material >= 0 && static_cast<std::size_t>(node.material) < used.size()) used[node.material] = true;
    });
    for (std::size_t i = 0; i < used.size(); ++i) {
        const SceneMaterial& material = scene.materials[i];
        if (!used[i] || !material.IsStandard()) continue;
        for (const SceneMap& map : material.maps) {
            if (!map.enabled || map.kind != SceneMap::Kind::Bitmap) continue;
            std::string path = map.path;
            std::replace(path.begin(), path.end(), '\\', '/');
            std::error_code ec;
            const std::filesystem::path file(path);
            if (!path.empty() && std::filesystem::is_regular_file(file.is_absolute() ? file : folder / file, ec)) continue;
            warnings->Add(WarningKind::TexturesMissing,
                          QuotedName(material.name) + " slot " + std::to_string(map.slot) + ": " + map.path);
        }
    }
}

}  // namespace wux
