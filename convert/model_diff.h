// Compares two WUX files as models, not as bytes: header counts, materials matched by name,
// meshes in order corner by corner, the spheres, the ellipsoid and the reference entries.
// Numbers within the tolerance (relative to their size, absolute below 1) count as equal.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/wux_reader.h"

namespace wux {

struct Difference {
    std::string kind;    // what sort of value: "position", "uv", "normal", "colour", "count", "name", ...
    std::string chunk;   // "GVTX #2", "GMAT 'brick'", "GNFO", ...
    std::string record;  // "corner 5", "map 1", "entry 3 'Spawn'"; empty for the chunk itself
    std::string field;   // "x", "colour word 2 (diffuse red)", "file name", ...
    std::string valueA, valueB;           // as text; "(none)" where one side lacks the record
    std::optional<std::size_t> offsetA, offsetB;
    std::optional<double> magnitude;      // |A - B| for numbers
};

struct LargestDifference {
    double magnitude = 0.0;
    std::string where;  // chunk, record and field of the largest one
};

struct DiffReport {
    std::vector<Difference> listed;  // the first maxListed, in the order found
    std::size_t total = 0;           // all differences found
    std::map<std::string, LargestDifference> largest;  // per kind, numbers only

    bool Equal() const { return total == 0; }
};

struct DiffOptions {
    double tolerance = 1e-5;
    std::size_t maxListed = 200;
};

DiffReport DiffModels(const WuxDocument& a, const WuxDocument& b, const DiffOptions& options);

// True when the two numbers are equal within the tolerance: |a - b| <= T * max(1, |a|, |b|).
// Two NaNs are equal; infinities only to themselves.
bool WithinTolerance(double a, double b, double tolerance);

// One line per listed difference, the largest per kind, then the verdict on the last line.
std::string FormatDiffText(const DiffReport& report, const std::string& nameA, const std::string& nameB);
nlohmann::json DiffJson(const DiffReport& report, const std::string& nameA, const std::string& nameB);

}  // namespace wux
