#include "format/check_json.h"

namespace wux {

nlohmann::ordered_json CheckJson(const std::string& file, const CheckReport& report) {
    nlohmann::ordered_json errors = nlohmann::ordered_json::array(), warnings = nlohmann::ordered_json::array();
    for (const Problem& p : report.problems) {
        nlohmann::ordered_json entry = {{"offset", p.offset}, {"where", p.where}, {"message", p.message}};
        (p.severity == Problem::Severity::Error ? errors : warnings).push_back(std::move(entry));
    }
    return {{"file", file},
            {"valid", report.Valid()},
            {"errors", std::move(errors)},
            {"warnings", std::move(warnings)},
            {"error_count", report.errorCount},
            {"warning_count", report.warningCount},
            {"omitted", report.omitted}};
}

nlohmann::ordered_json UnreadableCheckJson(const std::string& file, const std::string& error) {
    return {{"file", file},
            {"valid", false},
            {"errors", nlohmann::ordered_json::array({{{"offset", nullptr}, {"where", ""}, {"message", error}}})},
            {"warnings", nlohmann::ordered_json::array()},
            {"error_count", 1},
            {"warning_count", 0},
            {"omitted", 0}};
}

}  // namespace wux
