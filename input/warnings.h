// Warnings of one tool run, kept apart from errors and deduplicated: the same kind of
// warning is reported once with a count and a few examples, not once per occurrence.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace wux {

enum class WarningKind {
    // What the importer repaired or passed over.
    PrimitivesSkipped,
    TexturesMissing,
    TexturesRenamed,
    FacesDropped,
    EmptyMeshes,
    NormalsRebuilt,
    UvsRepaired,
    ValuesRepaired,
    NodesPassedOver,
    MaterialsRenamed,
    StripTrianglesDegenerate,
    FacesMissing,
    DoubleSidedDropped,
    MaterialFilesMissing,
    // What the plug-in will make of the scene.
    MeshesSplit,
    MapsWithoutBitmap,
    NoStandardMaterial,
    MaterialNameShared,
    TrianglesLost,
    SpheresLost,
    HelpersLost,
    // What a conversion out of WUX changed or left out.
    NotReproducible,
    TrianglesDropped,
    NamesNotUtf8,
    MapFilesMissing,
    NormalsWorkedOut,
    EmptyMeshesLeftOut,
    ValuesNotFinite,
    LeftOutOfObj,
    ObjNamesChanged,
};

// The kind as it is printed and written to the report, e.g. "primitives skipped".
inline const char* WarningText(WarningKind kind) {
    switch (kind) {
        case WarningKind::PrimitivesSkipped: return "primitives skipped";
        case WarningKind::TexturesMissing: return "textures missing";
        case WarningKind::TexturesRenamed: return "embedded textures renamed (another file has the name)";
        case WarningKind::FacesDropped: return "faces dropped";
        case WarningKind::EmptyMeshes: return "empty meshes skipped";
        case WarningKind::NormalsRebuilt: return "normals rebuilt";
        case WarningKind::UvsRepaired: return "texture coordinates repaired";
        case WarningKind::ValuesRepaired: return "values repaired";
        case WarningKind::NodesPassedOver: return "nodes passed over";
        case WarningKind::MaterialsRenamed: return "material names made unique";
        case WarningKind::StripTrianglesDegenerate: return "degenerate triangles of triangle strips left out";
        case WarningKind::FacesMissing: return "faces read not as many as the file declares";
        case WarningKind::MaterialFilesMissing: return "material libraries missing (their materials keep the defaults)";
        case WarningKind::DoubleSidedDropped: return "double-sided materials made one-sided (WUX has no such flag)";
        case WarningKind::MeshesSplit: return "meshes split";
        case WarningKind::MapsWithoutBitmap: return "map slots without a bitmap left out";
        case WarningKind::NoStandardMaterial: return "meshes without a standard material (given material 0)";
        case WarningKind::MaterialNameShared: return "materials sharing a name (the first one is written)";
        case WarningKind::TrianglesLost: return "triangles left out (beyond the float range in world space)";
        case WarningKind::SpheresLost: return "spheres left out (a radius beyond the float range in world space)";
        case WarningKind::HelpersLost: return "helpers left out (a size or position beyond the float range in world space)";
        case WarningKind::NotReproducible: return "records a re-export will not give back as they are";
        case WarningKind::TrianglesDropped: return "triangles with an index out of range left out";
        case WarningKind::NamesNotUtf8: return "names not valid UTF-8 (bytes replaced by U+FFFD)";
        case WarningKind::MapFilesMissing: return "map files not found or not readable (kept by name in the material's extras)";
        case WarningKind::NormalsWorkedOut: return "mesh records whose normals no one transform relates to their triangles (smooth normals worked out)";
        case WarningKind::EmptyMeshesLeftOut: return "mesh records without triangles left out (they would come back as empty nodes)";
        case WarningKind::ValuesNotFinite: return "values not finite written as 0";
        case WarningKind::LeftOutOfObj: return "records OBJ has no place for, left out";
        case WarningKind::ObjNamesChanged: return "names with spaces or control characters changed for OBJ";
    }
    return "warning";
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
