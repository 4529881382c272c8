// Every file one export adds to the disk, from its temporary name to its place. The plug-in
// writes OUTPUT to a temporary file; embedded textures and the report are written to
// temporary files too; nothing is put in place before Commit(), which moves them all or
// none. A failed export removes exactly the files it created and touches nothing else; on
// SIGINT/SIGTERM the interrupt handler does the same (driver/export_interrupt.h).
// Targets follow the writer's rules (writer/output_target.h): plain files are replaced
// keeping their mode, owner and group; links are written through; devices, pipes and files
// with several hard links are written in place; a file the user may not write is refused.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "writer/output_target.h"

namespace wux {

// Refuses an output that is one of the inputs or another output, however either is spelt
// (./IN, an absolute path, a symbolic or hard link; names not yet on the disk by the place
// they would take): an Argument error naming both. Empty outputs (an option not given) are
// passed over. Every command that writes asks this before it writes.
ToolResult<void> CheckOutputsApart(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

class ExportFiles {
public:
    ExportFiles() = default;
    // Removes the temporary files of an export that did not commit, and lets their locks go.
    ~ExportFiles();
    ExportFiles(const ExportFiles&) = delete;
    ExportFiles& operator=(const ExportFiles&) = delete;

    // Checks OUTPUT and creates the temporary file the plug-in writes it to: beside the file
    // OUTPUT names, so that one rename replaces it, or in the system's temporary folder when
    // OUTPUT is written in place. The temporary file's path, or an Io error whose message
    // names OUTPUT and the cause.
    ToolResult<std::string> AddOutput(const std::string& output);

    // Whether a new file may take path: Free when nothing is there, Same when a file with
    // exactly these bytes is (then nothing need be written), Taken otherwise.
    enum class NameUse { Free, Same, Taken };
    static NameUse Use(const std::string& path, const void* data, std::size_t size);

    // A new file (an embedded texture), written now to a temporary name beside path. It
    // takes path at Commit() only if path is still free then; it never replaces a file.
    ToolResult<void> AddNewFile(const std::string& path, const void* data, std::size_t size);

    // A file that replaces an earlier one at path (the report), by the rules for OUTPUT.
    ToolResult<void> AddReplacement(const std::string& path, const void* data, std::size_t size);

    // Moves every file into place: new files, replacements, OUTPUT last. When a step fails
    // the steps before it are undone (a replaced file gets its earlier content back) and
    // the error's message names the file and the cause.
    ToolResult<void> Commit();

private:
    struct Entry {
        enum class Kind { New, Replace, InPlace };
        Kind kind = Kind::New;
        std::string path;  // as the user gave it, for messages
        OutputTarget target;
        std::string temporary;
        int temporaryFolder = -1;  // the temporary's folder as the interrupt sweep holds it open
        int lock = -1;             // the temporary's descriptor, holding its lock until the entry is done
        std::string backup;  // a second name of the replaced file while Commit() runs
        bool placed = false;
    };

    // An entry that replaces what path names, by the writer's target rules.
    static ToolResult<Entry> ReplacementOf(const std::string& path);

    // Beside the target when it is replaced, else (written in place) in the system's
    // temporary folder. The open descriptor.
    static ToolResult<int> CreateTemporary(Entry& entry);
    // Removes entry's temporary file, wherever its folder has gone since, and lets its lock go.
    static void RemoveTemporary(Entry& entry);
    ToolResult<void> Stage(Entry entry, const void* data, std::size_t size);
    static ToolResult<void> Place(Entry& entry);
    void Undo(Entry& entry);

    std::vector<Entry> entries_;  // in the order they are placed
    Entry output_;
    bool haveOutput_ = false;
};

}  // namespace wux
