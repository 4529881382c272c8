#include "driver/export_report.h"

#include <sstream>
#include <vector>

#include "format/tool_text.h"

namespace wux {
nlohmann::json SummarizeWux(const ExportModel& model) {
    std::size_t triangles = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*model.meshes)) triangles += static_cast<std::size_t>(mesh->faceCount);
    // The main sphere is all zero until the first bounding sphere fills it.
    const BoundSphere& main = *model.bounds->mainSphere;
    const bool mainSet = main.radius != 0.0f || main.x != 0.0f || main.y != 0.0f || main.z != 0.0f;
    return {{"meshes", static_cast<std::size_t>(model.meshes->count())},
            {"triangles", triangles},
            {"materials", static_cast<std::size_t>(model.materials->count())},
            {"references", static_cast<std::size_t>(model.references->entries->count())},
            {"spheres", (mainSet ? 1 : 0) + static_cast<std::size_t>(model.bounds->spheres->count())},
            {"ellipsoid", model.ellipsoid != nullptr}};
}

std::string FormatSummaryLine(const std::string& outputPath, const nlohmann::json& summary) {
    const auto count = [&summary](const char* key) { return summary[key].get<std::size_t>(); };
    std::ostringstream os;
    os << "wrote " << QuotedPath(outputPath) << ": " << Plural(count("meshes"), "mesh", "meshes") << " ("
       << Plural(count("triangles"), "triangle", "triangles") << "), "
       << Plural(count("materials"), "material", "materials") << ", "
       << Plural(count("references"), "reference entry", "reference entries") << ", "
       << Plural(count("spheres"), "sphere", "spheres") << ", "
       << (summary["ellipsoid"].get<bool>() ? "ellipsoid" : "no ellipsoid");
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

nlohmann::json ReportJson(const std::string& inputPath, const std::string& outputPath, const nlohmann::json& summary,
                          const Warnings& warnings) {
    nlohmann::json report;
    report["input"] = inputPath;
    report["output"] = outputPath;
    report["summary"] = summary;
    nlohmann::json list = nlohmann::json::array();
    for (const Warnings::Entry& e : warnings.Entries())
        list.push_back({{"kind", WarningText(e.kind)}, {"count", e.count}, {"examples", e.examples}});
    report["warnings"] = list;
    return report;
}

}  // namespace wux
