// Warnings of one tool run, kept apart from errors and deduplicated: the same kind of
// warning is reported once with a count and a few examples, not once per occurrence.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace wux {

// Each kind of warning with its text as it is printed and written to the report, e.g.
// "primitives skipped".
#define WUX_WARNING_KINDS(X)                                                                                     \
    /* What the importer repaired or passed over. */                                                            \
    X(PrimitivesSkipped, "primitives skipped")                                                                   \
    X(TexturesMissing, "textures missing")                                                                       \
    X(TexturesRenamed, "embedded textures renamed (another file has the name)")                                  \
    X(FacesDropped, "faces dropped")                                                                             \
    X(EmptyMeshes, "empty meshes skipped")                                                                       \
    X(NormalsRebuilt, "normals rebuilt")                                                                         \
    X(UvsRepaired, "texture coordinates repaired")                                                               \
    X(ValuesRepaired, "values repaired")                                                                         \
    X(NodesPassedOver, "nodes passed over")                                                                      \
    X(MaterialsRenamed, "material names made unique")                                                            \
    X(StripTrianglesDegenerate, "degenerate triangles of triangle strips left out")                              \
    X(FacesMissing, "faces read not as many as the file declares")                                               \
    X(DoubleSidedDropped, "double-sided materials made one-sided (WUX has no such flag)")                        \
    X(MaterialFilesMissing, "material libraries missing (their materials keep the defaults)")                    \
    /* What the plug-in will make of the scene. */                                                              \
    X(MeshesSplit, "meshes split")                                                                               \
    X(MapsWithoutBitmap, "map slots without a bitmap left out")                                                  \
    X(NoStandardMaterial, "meshes without a standard material (given material 0)")                               \
    X(MaterialNameShared, "materials sharing a name (the first one is written)")                                  \
    X(TrianglesLost, "triangles left out (beyond the float range in world space)")                               \
    X(SpheresLost, "spheres left out (a radius beyond the float range in world space)")                          \
    X(HelpersLost, "helpers left out (a size or position beyond the float range in world space)")                \
    /* What a conversion out of WUX changed or left out. */                                                     \
    X(NotReproducible, "records a re-export will not give back as they are")                                     \
    X(TrianglesDropped, "triangles with an index out of range left out")                                         \
    X(NamesNotUtf8, "names not valid UTF-8 (bytes replaced by U+FFFD)")                                          \
    X(MapFilesMissing, "map files not found or not readable (kept by name in the material's extras)")            \
    X(NormalsWorkedOut,                                                                                          \
      "mesh records whose normals no one transform relates to their triangles (smooth normals worked out)")      \
    X(EmptyMeshesLeftOut, "mesh records without triangles left out (they would come back as empty nodes)")      \
    X(ValuesNotFinite, "values not finite written as 0")                                                         \
    X(LeftOutOfObj, "records OBJ has no place for, left out")                                                    \
    X(ObjNamesChanged, "names with spaces or control characters changed for OBJ")

#define WUX_WARNING_KIND(name, text) name,
enum class WarningKind { WUX_WARNING_KINDS(WUX_WARNING_KIND) };
#undef WUX_WARNING_KIND

inline const char* WarningText(WarningKind kind) {
#define WUX_WARNING_KIND(name, text) text,
    static const char* const kTexts[] = {WUX_WARNING_KINDS(WUX_WARNING_KIND)};
#undef WUX_WARNING_KIND
    return kTexts[static_cast<int>(kind)];
}

// How every example names its node, material or file: in double quotes, as the name stands
// (names are UTF-8 and are shown as such).
inline std::string QuotedName(const std::string& name) { return "\"" + name + "\""; }

class Warnings {
public:
    struct Entry {
        WarningKind kind;
        std::size_t count = 0;
        std::vector<std::string> examples;  // the first few distinct details, e.g. node names
        bool moreExamples = false;          // details beyond those kept
    };

    static constexpr std::size_t kMaxExamples = 3;

    // `count` cases of one kind that `detail` describes together, e.g. 12 line segments of one
    // mesh: "\"Rail\": 12 lines".
    void Add(WarningKind kind, const std::string& detail = std::string(), std::size_t count = 1) {
        auto it = std::find_if(entries_.begin(), entries_.end(), [kind](const Entry& e) { return e.kind == kind; });
        if (it == entries_.end()) it = entries_.insert(it, Entry{kind, 0, {}, false});
        Entry& e = *it;
        e.count += count;
        if (detail.empty() || std::find(e.examples.begin(), e.examples.end(), detail) != e.examples.end()) return;
        if (e.examples.size() < kMaxExamples) e.examples.push_back(detail);
        else e.moreExamples = true;
    }

    // In the order each kind was first met.
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

}  // namespace wux
