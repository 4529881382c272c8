#include "convert/output_files.h"

#include "driver/export_files.h"

namespace wux {

void OutputFiles::Add(const std::string& path, std::vector<std::uint8_t> bytes) {
    files_.push_back(File{path, std::move(bytes), true});
}

void OutputFiles::Add(const std::string& path, const std::string& text) {
    Add(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void OutputFiles::AddNew(const std::string& path, std::vector<std::uint8_t> bytes) {
    files_.push_back(File{path, std::move(bytes), false});
}

ToolResult<void> OutputFiles::Commit(const std::string& input) {
    std::vector<std::string> replaced;
    for (const File& f : files_)
        if (f.replaces) replaced.push_back(f.path);
    if (ToolResult<void> apart = CheckOutputsApart({input}, replaced); !apart.Ok()) return apart;
    // The export's file layer: temporary files beside the targets, the same target rules,
    // all moved into place or none, swept on SIGINT/SIGTERM.
    ExportFiles files;
    for (const File& f : files_) {
        ToolResult<void> added = f.replaces ? files.AddReplacement(f.path, f.bytes.data(), f.bytes.size())
                                            : files.AddNewFile(f.path, f.bytes.data(), f.bytes.size());
        if (!added.Ok()) return added;
    }
    return files.Commit();
}

}  // namespace wux
