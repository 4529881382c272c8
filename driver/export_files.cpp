#include "driver/export_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "driver/export_interrupt.h"
#include "format/tool_text.h"
#include "writer/file_sink.h"
#include "writer/temporary_name.h"

namespace wux {
namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 20;

// Where a file that is written in place waits for the end of the export.
std::string SystemTemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

// The messages name the file themselves ("cannot create \"PATH\": ..."), so the error's file
// stays empty and its text is the message.
ToolError Failure(std::string message) {
    return ToolError::Of(ToolError::Kind::Output, "", std::move(message));
}

// 0, or the errno of the first failing write or sync.
int WriteAll(int fd, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    int code = 0;
    while (size != 0 && code == 0) {
        const ssize_t written = write(fd, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            code = written < 0 ? errno : ENOSPC;
            break;
        }
        at += written;
        size -= static_cast<std::size_t>(written);
    }
    if (code == 0 && fsync(fd) != 0) code = errno;
    return code;
}

// Renames from to to unless to exists; a file system without that flag gets a hard link.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
}

// Two names of one file: the same file on the disk, or the same place for one not there yet.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const std::filesystem::path placeA = std::filesystem::weakly_canonical(std::filesystem::absolute(a), ec);
    if (ec) return false;
    const std::filesystem::path placeB = std::filesystem::weakly_canonical(std::filesystem::absolute(b), ec);
    return !ec && placeA.lexically_normal() == placeB.lexically_normal();
}

}  // namespace

ToolResult<void> CheckOutputsApart(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].empty()) continue;
        for (const std::string& input : inputs)
            if (SameFile(input, outputs[i]))
                return ToolError::Of(ToolError::Kind::Argument, outputs[i],
                                     "is the input " + QuotedPath(input) + "; choose another output");
        for (std::size_t j = 0; j < i; ++j)
            if (!outputs[j].empty() && SameFile(outputs[j], outputs[i]))
                return ToolError::Of(ToolError::Kind::Argument, outputs[i],
                                     "is also the output " + QuotedPath(outputs[j]) + "; choose another name");
    }
    return {};
}

ExportFiles::~ExportFiles() {
    for (Entry& entry : entries_) RemoveTemporary(entry);
    if (haveOutput_) RemoveTemporary(output_);
}

void ExportFiles::RemoveTemporary(Entry& entry) {
    if (entry.lock >= 0) close(entry.lock);
    entry.lock = -1;
    if (entry.temporary.empty()) return;
    // The user may have renamed the folder during the export: the name inside it still holds.
    const std::string name = entry.temporary.substr(entry.temporary.find_last_of('/') + 1);
    if (entry.temporaryFolder >= 0 && unlinkat(entry.temporaryFolder, name.c_str(), 0) == 0) return;
    unlink(entry.temporary.c_str());
}

ToolResult<ExportFiles::Entry> ExportFiles::ReplacementOf(const std::string& path) {
    Entry entry;
    entry.kind = Entry::Kind::Replace;
    entry.path = path;
    SaveError failure;
    if (!ExamineOutputTarget(path, &entry.target, &failure)) return Failure(failure.message);
    return entry;
}

ToolResult<std::string> ExportFiles::AddOutput(const std::string& output) {
    ToolResult<Entry> entry = ReplacementOf(output);
    if (!entry.Ok()) return entry.Error();
    const ToolResult<int> fd = CreateTemporary(*entry);
    if (!fd.Ok()) return fd.Error();
    entry->lock = *fd;
    output_ = std::move(*entry);
    haveOutput_ = true;
    return output_.temporary;
}

ExportFiles::NameUse ExportFiles::Use(const std::string& path, const void* data, std::size_t size) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? NameUse::Free : NameUse::Taken;
    if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) != size) return NameUse::Taken;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return NameUse::Taken;
    std::vector<char> block(size < kCopyBlock ? size : kCopyBlock);
    const char* expected = static_cast<const char*>(data);
    std::size_t compared = 0;
    bool same = true;
    while (same && compared < size) {
        const ssize_t got = read(fd, block.data(), std::min(block.size(), size - compared));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || std::memcmp(block.data(), expected + compared, static_cast<std::size_t>(got)) != 0) same = false;
        else compared += static_cast<std::size_t>(got);
    }
    close(fd);
    return same ? NameUse::Same : NameUse::Taken;
}

ToolResult<void> ExportFiles::AddNewFile(const std::string& path, const void* data, std::size_t size) {
    Entry entry;
    entry.kind = Entry::Kind::New;
    entry.path = path;
    entry.target.path = path;
    entry.target.folder = TargetFolderOf(path);
    return Stage(std::move(entry), data, size);
}

ToolResult<void> ExportFiles::AddReplacement(const std::string& path, const void* data, std::size_t size) {
    ToolResult<Entry> entry = ReplacementOf(path);
    if (!entry.Ok()) return entry.Error();
    return Stage(std::move(*entry), data, size);
}

ToolResult<int> ExportFiles::CreateTemporary(Entry& entry) {
    int code = 0;
    int fd = -1;
    if (entry.target.way == OutputTarget::Way::Replace) {
        // Registered before the first temporary file goes there, so that a signal never misses one.
        entry.temporaryFolder = SweepOnInterrupt(entry.target.folder);
        fd = CreateTemporaryFile(entry.target.folder, &entry.temporary, &code);
        if (fd >= 0) return fd;
        // A folder that takes no new file may hold a file we may write: written in place then.
        const bool inPlaceInstead =
            entry.kind == Entry::Kind::Replace && entry.target.exists && (code == EACCES || code == EPERM);
        if (!inPlaceInstead) return Failure(DescribeFailure("cannot create", entry.path, code));
    }
    entry.kind = Entry::Kind::InPlace;
    const std::string folder = SystemTemporaryFolder();
    entry.temporaryFolder = SweepOnInterrupt(folder);
    fd = CreateTemporaryFile(folder, &entry.temporary, &code);
    if (fd < 0)
        return Failure(DescribeFailure("cannot create a temporary file for", entry.path, code) + " (in " + folder + ")");
    return fd;
}

ToolResult<void> ExportFiles::Stage(Entry entry, const void* data, std::size_t size) {
    const ToolResult<int> fd = CreateTemporary(entry);
    if (!fd.Ok()) return fd.Error();
    entries_.push_back(std::move(entry));  // from here on the destructor removes it
    Entry& staged = entries_.back();
    int code = WriteAll(*fd, data, size);
    // The descriptor that wrote is closed now, its failure the write's; a read-only one holds
    // the file's lock until the file takes its name.
    const int holder = open(staged.temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (close(*fd) != 0 && code == 0 && errno != EINTR) code = errno;
    if (holder >= 0 && flock(holder, LOCK_EX) == 0) staged.lock = holder;
    else if (holder >= 0) close(holder);
    if (code != 0) return Failure(DescribeFailure("cannot write", staged.path, code));
    return {};
}

ToolResult<void> ExportFiles::Place(Entry& entry) {
    // No descriptor stays open on a file that takes its name.
    if (entry.lock >= 0) close(entry.lock);
    entry.lock = -1;
    const std::string& temporary = entry.temporary;
    switch (entry.kind) {
    case Entry::Kind::New: {
        const int code = RenameNoReplace(temporary, entry.path);
        if (code == EEXIST)
            return Failure("\"" + entry.path + "\": another file took this name during the export; it was left as it was");
        if (code != 0) return Failure(DescribeFailure("cannot create", entry.path, code));
        break;
    }
    case Entry::Kind::Replace: {
        const OutputTarget& target = entry.target;
        if (target.exists) {
            // Mode, owner and group of the replaced file; owner and group best effort.
            (void)chown(temporary.c_str(), target.owner, target.group);
            (void)chmod(temporary.c_str(), target.mode);
            // A second name for the earlier file, so that a later failure can put it back.
            const std::string backup = target.folder + TemporaryFileName(0);
            if (link(target.path.c_str(), backup.c_str()) == 0) entry.backup = backup;
        }
        if (rename(temporary.c_str(), target.path.c_str()) != 0) {
            const int code = errno;
            if (!entry.backup.empty()) unlink(entry.backup.c_str());
            entry.backup.clear();
            return Failure(DescribeFailure("cannot replace", entry.path, code));
        }
        break;
    }
    case Entry::Kind::InPlace: {
        FileSink sink;
        SaveError failure;
        const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Failure(DescribeFailure("cannot read back the file written for", entry.path, errno));
        bool ok = sink.open(entry.path.c_str(), &failure);
        std::vector<uint8_t> block(kCopyBlock);
        while (ok) {
            const ssize_t got = read(fd, block.data(), block.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                failure.message = DescribeFailure("cannot read back the file written for", entry.path, errno);
                ok = false;
            } else if (got == 0) {
                break;
            } else if (!sink.write(block.data(), static_cast<std::size_t>(got))) {
                failure = sink.writeError();
                ok = false;
            }
        }
        close(fd);
        if (ok) ok = sink.finish(&failure);
        if (!ok) return Failure(failure.message);
        unlink(temporary.c_str());
        break;
    }
    }
    entry.temporary.clear();
    entry.placed = true;
    return {};
}

void ExportFiles::Undo(Entry& entry) {
    if (!entry.placed) return;
    if (entry.kind == Entry::Kind::New) {
        unlink(entry.path.c_str());
    } else if (entry.kind == Entry::Kind::Replace) {
        if (!entry.backup.empty()) rename(entry.backup.c_str(), entry.target.path.c_str());
        else if (!entry.target.exists) unlink(entry.target.path.c_str());
        entry.backup.clear();
    }
    entry.placed = false;
}

ToolResult<void> ExportFiles::Commit() {
    InterruptHold hold;
    // What can be undone first; what is written in place cannot, so it comes last.
    std::vector<Entry*> order;
    for (Entry& entry : entries_)
        if (entry.kind != Entry::Kind::InPlace) order.push_back(&entry);
    if (haveOutput_ && output_.kind != Entry::Kind::InPlace) order.push_back(&output_);
    for (Entry& entry : entries_)
        if (entry.kind == Entry::Kind::InPlace) order.push_back(&entry);
    if (haveOutput_ && output_.kind == Entry::Kind::InPlace) order.push_back(&output_);

    for (std::size_t i = 0; i < order.size(); ++i) {
        if (ToolResult<void> placed = Place(*order[i]); !placed.Ok()) {
            for (std::size_t j = i; j-- > 0;) Undo(*order[j]);
            return placed;
        }
    }
    for (Entry* entry : order)
        if (!entry->backup.empty()) unlink(entry->backup.c_str());
    return {};
}

}  // namespace wux
