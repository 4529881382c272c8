#include "convert/output_files.h"

#include "driver/export_files.h"

namespace wux {

void OutputFiles::Add(const std::string& path, std::vector<std::uint8_t> bytes) {
    paths_.push_back(path);
    contents_.push_back(std::move(bytes));
}

void OutputFiles::Add(const std::string& path, const std::string& text) {
    Add(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

ToolResult<void> OutputFiles::Commit() {
    // The export's file layer: temporary files beside the targets, the same target rules,
    // all moved into place or none, swept on SIGINT/SIGTERM.
    ExportFiles files;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        ToolResult<void> added = files.AddReplacement(paths_[i], contents_[i].data(), contents_[i].size());
        if (!added.Ok()) return added;
    }
    return files.Commit();
}

}  // namespace wux
