// Every file one command adds to the disk (OUTPUT with its textures and report, a conversion's
// files, a picture): each written to one temporary file beside its target, by the writer's
// target rules (writer/output_target.h), and put in place by Commit(), all or none. A command
// that does not commit removes exactly the files it created, as SIGINT/SIGTERM do
// (writer/export_interrupt.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "writer/byte_sink.h"
#include "writer/output_target.h"

namespace wux {

// Refuses an output that is one of the inputs or another output, however either is spelt
// (./IN, an absolute path, a symbolic or hard link; names not yet on the disk by the place
// they would take): an Argument error naming both. Empty outputs (an option not given) are
// passed over.
ToolResult<void> CheckOutputsApart(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

// Whether a new file may take path: Free when nothing is there, Same when a file with
// exactly these bytes is (then nothing need be written), Taken otherwise.
enum class NameUse { Free, Same, Taken };
NameUse UseOfName(const std::string& path, const void* data, std::size_t size);

// Puts on the disk what earlier commits without a sync left in the cache, one syncfs per
// folder; an Output error names the folder whose file system reports a failed write.
ToolResult<void> SyncFolders(const std::vector<std::string>& folders);

class StagedFiles {
public:
    // Later: Commit() syncs nothing, for a batch that calls SyncFolders() once at its end.
    enum class Sync { EachFile, Later };
    explicit StagedFiles(Sync sync = Sync::EachFile) : sync_(sync) {}
    // Removes the temporary files of a command that did not commit, and lets their locks go.
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // One file, staged: written by write(), or by the plug-in's save to temporary(), which it
    // writes in place. A failed write shows at Commit().
    class File : public ByteSink {
    public:
        bool write(const uint8_t* data, size_t size) override;
        const std::string& temporary() const { return temporary_; }

    private:
        friend class StagedFiles;
        enum class Kind { New, Replace, InPlace };
        Kind kind_ = Kind::New;
        std::string path_;  // as the user gave it, for messages
        OutputTarget target_;
        std::string temporary_;
        int folder_ = -1;  // the temporary's folder as the interrupt sweep holds it open
        int fd_ = -1;      // the temporary's descriptor, holding its lock until it is placed
        int writeError_ = 0;
        std::string backup_;  // a second name of the replaced file while Commit() runs
    };

    // A file that replaces what path names; with replaces false, a new file (an embedded
    // texture) that takes path at Commit() only if path is still free then. An Output error
    // names path and the cause.
    ToolResult<File*> Stage(const std::string& path, bool replaces = true);
    ToolResult<void> Add(const std::string& path, const void* data, std::size_t size, bool replaces = true);

    // Refuses a replaced file that is one of inputs or another staged file; then moves every
    // file into place, the first staged last (OUTPUT, the file a caller waits for), and those
    // written in place after all others. When a step fails the steps before it are undone (a
    // replaced file gets its earlier content back) and the error names the file and the cause.
    ToolResult<void> Commit(const std::vector<std::string>& inputs = {});

private:
    ToolResult<void> Finish(File& file);
    static ToolResult<void> Place(File& file);
    // Takes back a file Place() put in place.
    static void Undo(File& file);
    static void RemoveTemporary(File& file);

    Sync sync_;
    std::vector<std::unique_ptr<File>> files_;
};

}  // namespace wux
