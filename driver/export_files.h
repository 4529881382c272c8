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

#include "writer/output_target.h"

namespace wux {

class ExportFiles {
public:
    ExportFiles() = default;
    // Removes the temporary files of an export that did not commit.
    ~ExportFiles();
    ExportFiles(const ExportFiles&) = delete;
    ExportFiles& operator=(const ExportFiles&) = delete;

    // Checks OUTPUT and creates the temporary file the plug-in writes it to: beside the file
    // OUTPUT names, so that one rename replaces it, or in the system's temporary folder when
    // OUTPUT is written in place. False with a message naming OUTPUT and the cause.
    bool AddOutput(const std::string& output, std::string* temporary, std::string* error);

    // Whether a new file may take path: Free when nothing is there, Same when a file with
    // exactly these bytes is (then nothing need be written), Taken otherwise.
    enum class NameUse { Free, Same, Taken };
    static NameUse Use(const std::string& path, const void* data, std::size_t size);

    // A new file (an embedded texture), written now to a temporary name beside path. It
    // takes path at Commit() only if path is still free then; it never replaces a file.
    bool AddNewFile(const std::string& path, const void* data, std::size_t size, std::string* error);

    // A file that replaces an earlier one at path (the report), by the rules for OUTPUT.
    bool AddReplacement(const std::string& path, const void* data, std::size_t size, std::string* error);

    // Moves every file into place: new files, replacements, OUTPUT last. When a step fails
    // the steps before it are undone (a replaced file gets its earlier content back) and
    // the message names the file and the cause.
    bool Commit(std::string* error);

private:
    struct Entry {
        enum class Kind { New, Replace, InPlace };
        Kind kind = Kind::New;
        std::string path;  // as the user gave it, for messages
        OutputTarget target;
        std::string temporary;
        std::string backup;  // a second name of the replaced file while Commit() runs
        bool placed = false;
    };

    // An entry that replaces what path names, by the writer's target rules.
    static bool ReplacementOf(const std::string& path, Entry* entry, std::string* error);

    // Beside the target when it is replaced, else (written in place) in the system's
    // temporary folder. The descriptor, or -1 with *error.
    int CreateTemporary(Entry& entry, std::string* error);
    bool Stage(Entry entry, const void* data, std::size_t size, std::string* error);
    bool Place(Entry& entry, std::string* error);
    void Undo(Entry& entry);

    std::vector<Entry> entries_;  // in the order they are placed
    Entry output_;
    bool haveOutput_ = false;
    bool committed_ = false;
};

}  // namespace wux
