// What one export wrote and what it warned about: the summary line, the warnings as text,
// and the same as JSON for --report.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "format/wux_reader.h"
#include "input/assimp_import.h"
#include "input/warnings.h"

namespace wux {

struct ExportSummary {
    std::size_t meshes = 0;
    std::size_t triangles = 0;
    std::size_t materials = 0;
    std::size_t references = 0;
    std::size_t spheres = 0;
    bool ellipsoid = false;
};

// Counted from the file as written.
ExportSummary SummarizeWux(const ExportModel& model);

// "wrote out.wux: 3 meshes (40 triangles), 2 materials, 1 reference entry, 2 spheres, ellipsoid"
std::string FormatSummaryLine(const std::string& outputPath, const ExportSummary& summary);

// One line per kind of warning, with its count and first examples; empty without warnings.
std::string FormatWarnings(const Warnings& warnings);

// What the import changed without a fault: "imported: 12 normals made unit length, 2 materials
// merged\n"; empty when it changed nothing.
std::string FormatImportCounts(const ImportCounts& counts);
nlohmann::json ImportCountsJson(const ImportCounts& counts);

nlohmann::json ReportJson(const std::string& inputPath, const std::string& outputPath, const ExportSummary& summary,
                          const Warnings& warnings);

}  // namespace wux
