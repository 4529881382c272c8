#include "driver/export_report.h"

#include <sstream>
#include <vector>

#include "format/tool_text.h"

namespace wux {
ExportSummary SummarizeWux(const ExportModel& model) {
    ExportSummary s;
    s.meshes = static_cast<std::size_t>(model.meshes->count());
    for (const VertexChunk* mesh : Records<VertexChunk>(*model.meshes)) s.triangles += static_cast<std::size_t>(mesh->faceCount);
    s.materials = static_cast<std::size_t>(model.materials->count());
    s.references = static_cast<std::size_t>(model.references->entries->count());
    // The main sphere is all zero until the first bounding sphere fills it.
    const BoundSphere& main = *model.bounds->mainSphere;
    const bool mainSet = main.radius != 0.0f || main.x != 0.0f || main.y != 0.0f || main.z != 0.0f;
    s.spheres = (mainSet ? 1 : 0) + static_cast<std::size_t>(model.bounds->spheres->count());
    s.ellipsoid = model.ellipsoid != nullptr;
    return s;
}

std::string FormatSummaryLine(const std::string& outputPath, const ExportSummary& s) {
    std::ostringstream os;
    os << "wrote " << QuotedPath(outputPath) << ": " << Plural(s.meshes, "mesh", "meshes") << " ("
       << Plural(s.triangles, "triangle", "triangles") << "), " << Plural(s.materials, "material", "materials") << ", "
       << Plural(s.references, "reference entry", "reference entries") << ", "
       << Plural(s.spheres, "sphere", "spheres") << ", " << (s.ellipsoid ? "ellipsoid" : "no ellipsoid");
    return os.str();
}

std::string FormatWarnings(const Warnings& warnings) {
    std::ostringstream os;
    for (const Warnings::Entry& e : warnings.Entries()) {
        os << "warning: " << WarningText(e.kind) << ": " << e.count;
        if (!e.examples.empty()) {
            os << " (";
            for (std::size_t i = 0; i < e.examples.size(); ++i) os << (i ? "; " : "") << e.examples[i];
            if (e.moreExamples) os << "; ...";
            os << ")";
        }
        os << "\n";
    }
    return os.str();
}

std::string FormatImportCounts(const ImportCounts& c) {
    std::vector<std::string> parts;
    if (c.normals.rescaled != 0) parts.push_back(Plural(c.normals.rescaled, "normal", "normals") + " made unit length");
    if (c.normals.recomputed != 0)
        parts.push_back(Plural(c.normals.recomputed, "zero or non-finite normal", "zero or non-finite normals") +
                        " worked out from the faces");
    if (c.normals.computed != 0)
        parts.push_back(Plural(c.normals.computed, "vertex", "vertices") + " given normals worked out from the faces");
    if (c.materialsMerged != 0)
        parts.push_back(Plural(c.materialsMerged, "material", "materials") + " merged with an identical one");
    if (parts.empty()) return std::string();
    std::string line = "imported: ";
    for (std::size_t i = 0; i < parts.size(); ++i) line += (i ? ", " : "") + parts[i];
    return line + "\n";
}

nlohmann::json ImportCountsJson(const ImportCounts& c) {
    return {{"normalsMadeUnit", c.normals.rescaled},
            {"normalsRecomputed", c.normals.recomputed},
            {"verticesWithComputedNormals", c.normals.computed},
            {"materialsMerged", c.materialsMerged}};
}

nlohmann::json ReportJson(const std::string& inputPath, const std::string& outputPath, const ExportSummary& s,
                          const Warnings& warnings) {
    nlohmann::json report;
    report["input"] = inputPath;
    report["output"] = outputPath;
    report["summary"] = {{"meshes", s.meshes},         {"triangles", s.triangles}, {"materials", s.materials},
                         {"references", s.references}, {"spheres", s.spheres},     {"ellipsoid", s.ellipsoid}};
    nlohmann::json list = nlohmann::json::array();
    for (const Warnings::Entry& e : warnings.Entries())
        list.push_back({{"kind", WarningText(e.kind)}, {"count", e.count}, {"examples", e.examples}});
    report["warnings"] = list;
    return report;
}

}  // namespace wux
