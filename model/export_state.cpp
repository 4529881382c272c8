#include "model/export_state.h"

#include <algorithm>

ExportModel* currentModel = nullptr;
Interface* hostInterface = nullptr;
bool collectionFailed = false;
std::vector<OutcomeEntry> exportOutcome;
std::vector<const void*> materialSources;

void RecordOutcome(OutcomeKind kind, const char* name, const std::string& detail) noexcept {
    try {
        auto entry = std::find_if(exportOutcome.begin(), exportOutcome.end(),
                                  [kind](const OutcomeEntry& e) { return e.kind == kind; });
        if (entry == exportOutcome.end()) entry = exportOutcome.insert(entry, OutcomeEntry{kind, 0, {}});
        ++entry->count;
        std::string example = std::string(name) + '\0' + detail + '\0';
        if (entry->examples.size() < 4 &&
            std::find(entry->examples.begin(), entry->examples.end(), example) == entry->examples.end())
            entry->examples.push_back(std::move(example));
    } catch (...) {
    }
}
