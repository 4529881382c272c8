// Checks a WUX file against every rule of its layout and reports each deviation with the
// byte offset where it lies. Errors break the format; warnings mark files that are well
// formed but unlikely to come from a correct export.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/wux_reader.h"

namespace wux {

struct Problem {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::size_t offset = 0;
    std::string where;    // e.g. "GVTX #2, triangle 7"; empty for the file as a whole
    std::string message;
};

struct CheckReport {
    std::vector<Problem> problems;  // the first maxProblems found, in file order
    std::size_t errorCount = 0;     // all errors found, kept or not
    std::size_t warningCount = 0;
    std::size_t omitted = 0;        // problems found beyond the cap

    bool Valid() const { return errorCount == 0; }
};

constexpr std::size_t kDefaultMaxProblems = 100;

CheckReport CheckWux(ByteSpan bytes, std::size_t maxProblems = kDefaultMaxProblems);

// "offset 1234 (GVTX #2, triangle 7): index 70000 out of range (63 vertices)", prefixed
// with "error: " or "warning: ".
std::string FormatProblem(const Problem& problem);

// Every kept problem on its own line, then "... and N more" when the cap was reached.
std::string FormatReport(const CheckReport& report);

// The report as JSON, for `wux check --json`:
// {"file", "valid", "errors": [{"offset", "where", "message"}...], "warnings": [...],
//  "error_count", "warning_count", "omitted"}.
nlohmann::ordered_json CheckJson(const std::string& file, const CheckReport& report);

// A file that could not be read at all: one error without an offset.
nlohmann::ordered_json UnreadableCheckJson(const std::string& file, const std::string& error);

}  // namespace wux
