#include "writer/staged_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "writer/export_interrupt.h"
#include "writer/file_sink.h"
#include "writer/temporary_name.h"

namespace wux {
namespace {

// Where a file that is written in place waits for the commit.
std::string SystemTemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

// The messages name the file themselves ("cannot create \"PATH\": ..."), so the error's file
// stays empty and its text is the message.
ToolError Failure(std::string message) { return ToolError::Of(ToolError::Kind::Output, "", std::move(message)); }

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

// Copies the finished temporary file into a target written in place.
ToolResult<void> CopyInPlace(const std::string& temporary, const std::string& path) {
    MappedFile written;
    if (ToolResult<void> opened = written.OpenWhole(temporary); !opened.Ok())
        return Failure("cannot read back the file written for " + QuotedPath(path) + ": " + opened.Error().message);
    FileSink sink;
    SaveError failure;
    if (sink.open(path.c_str(), &failure) && sink.write(written.Span().data, written.Span().size) &&
        sink.finish(&failure))
        return {};
    if (failure.kind == SaveError::Kind::None) failure = sink.writeError();
    return Failure(failure.message);
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

NameUse UseOfName(const std::string& path, const void* data, std::size_t size) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? NameUse::Free : NameUse::Taken;
    MappedFile file;
    const bool same = S_ISREG(info.st_mode) && file.OpenWhole(path).Ok() && file.Span().size == size &&
                      (size == 0 || std::memcmp(file.Span().data, data, size) == 0);
    return same ? NameUse::Same : NameUse::Taken;
}

ToolResult<void> SyncFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int code = fd < 0 ? errno : syncfs(fd) != 0 ? errno : 0;
        if (fd >= 0) close(fd);
        if (code != 0) return Failure(DescribeFailure("cannot put on the disk the files written in", folder, code));
    }
    return {};
}

bool StagedFiles::File::write(const uint8_t* data, size_t size) {
    if (writeError_ == 0) writeError_ = WriteAll(fd_, data, size);
    return writeError_ == 0;
}

StagedFiles::~StagedFiles() {
    for (const std::unique_ptr<File>& file : files_) RemoveTemporary(*file);
}

void StagedFiles::RemoveTemporary(File& file) {
    if (file.fd_ >= 0) close(file.fd_);
    file.fd_ = -1;
    if (file.temporary_.empty()) return;
    // The user may have renamed the folder meanwhile: the name inside it still holds.
    const std::string name = file.temporary_.substr(file.temporary_.find_last_of('/') + 1);
    if (file.folder_ < 0 || unlinkat(file.folder_, name.c_str(), 0) != 0) unlink(file.temporary_.c_str());
    file.temporary_.clear();
}

ToolResult<StagedFiles::File*> StagedFiles::Stage(const std::string& path, bool replaces) {
    auto staged = std::make_unique<File>();
    staged->path_ = path;
    if (replaces) {
        staged->kind_ = File::Kind::Replace;
        SaveError failure;
        if (!ExamineOutputTarget(path, &staged->target_, &failure)) return Failure(failure.message);
    } else {
        staged->target_.path = path;
        staged->target_.folder = TargetFolderOf(path);
    }
    File& file = *files_.emplace_back(std::move(staged));  // from here on the destructor removes its temporary
    int code = 0;
    if (file.target_.way == OutputTarget::Way::Replace) {
        // Registered before the first temporary file goes there, so that a signal never misses one.
        file.folder_ = SweepOnInterrupt(file.target_.folder);
        file.fd_ = CreateTemporaryFile(file.target_.folder, &file.temporary_, &code);
        if (file.fd_ >= 0) return &file;
        // A folder that takes no new file may hold a file we may write: written in place then.
        if (!replaces || !file.target_.exists || (code != EACCES && code != EPERM))
            return Failure(DescribeFailure("cannot create", path, code));
    }
    file.kind_ = File::Kind::InPlace;
    const std::string folder = SystemTemporaryFolder();
    file.folder_ = SweepOnInterrupt(folder);
    file.fd_ = CreateTemporaryFile(folder, &file.temporary_, &code);
    if (file.fd_ < 0)
        return Failure(DescribeFailure("cannot create a temporary file for", path, code) + " (in " + folder + ")");
    return &file;
}

ToolResult<void> StagedFiles::Add(const std::string& path, const void* data, std::size_t size, bool replaces) {
    const ToolResult<File*> file = Stage(path, replaces);
    if (!file.Ok()) return file.Error();
    if (!(*file)->write(static_cast<const uint8_t*>(data), size))
        return Failure(DescribeFailure("cannot write", path, (*file)->writeError_));
    return {};
}

ToolResult<void> StagedFiles::Finish(File& file) {
    // A file that replaces another takes its mode, owner and group first.
    if (file.kind_ == File::Kind::Replace) KeepAttributes(file.fd_, file.target_);
    // No descriptor stays open on a file that takes its name. A file written in place is
    // synced when it is copied there.
    const int closed =
        SyncAndClose(file.fd_, file.writeError_ == 0 && sync_ == Sync::EachFile && file.kind_ != File::Kind::InPlace);
    const int code = file.writeError_ != 0 ? file.writeError_ : closed;
    file.fd_ = -1;
    if (code != 0) return Failure(DescribeFailure("cannot write", file.path_, code));
    return {};
}

ToolResult<void> StagedFiles::Place(File& file) {
    const std::string& temporary = file.temporary_;
    if (file.kind_ == File::Kind::New) {
        const int code = RenameNoReplace(temporary, file.path_);
        if (code == EEXIST)
            return Failure("\"" + file.path_ + "\": another file took this name meanwhile; it was left as it was");
        if (code != 0) return Failure(DescribeFailure("cannot create", file.path_, code));
    } else if (file.kind_ == File::Kind::Replace) {
        const OutputTarget& target = file.target_;
        // A second name for the earlier file, so that a later failure can put it back.
        const std::string backup = target.folder + TemporaryFileName(0);
        if (target.exists && link(target.path.c_str(), backup.c_str()) == 0) file.backup_ = backup;
        if (rename(temporary.c_str(), target.path.c_str()) != 0) {
            const int code = errno;
            if (!file.backup_.empty()) unlink(file.backup_.c_str());
            file.backup_.clear();
            return Failure(DescribeFailure("cannot replace", file.path_, code));
        }
    } else {
        if (ToolResult<void> copied = CopyInPlace(temporary, file.path_); !copied.Ok()) return copied;
        unlink(temporary.c_str());
    }
    file.temporary_.clear();
    return {};
}

void StagedFiles::Undo(File& file) {
    if (file.kind_ == File::Kind::New) {
        unlink(file.path_.c_str());
    } else if (file.kind_ == File::Kind::Replace) {
        if (!file.backup_.empty()) rename(file.backup_.c_str(), file.target_.path.c_str());
        else if (!file.target_.exists) unlink(file.target_.path.c_str());
        file.backup_.clear();
    }
}

ToolResult<void> StagedFiles::Commit(const std::vector<std::string>& inputs) {
    std::vector<std::string> replaced;
    for (const std::unique_ptr<File>& file : files_)
        if (file->kind_ != File::Kind::New) replaced.push_back(file->path_);
    if (ToolResult<void> apart = CheckOutputsApart(inputs, replaced); !apart.Ok()) return apart;
    // What can be undone first; what is written in place cannot, so it comes last.
    std::vector<File*> order;
    for (const std::unique_ptr<File>& file : files_) order.push_back(file.get());
    const File* first = order.empty() ? nullptr : order.front();
    auto rank = [first](const File* file) { return (file->kind_ == File::Kind::InPlace) * 2 + (file == first); };
    std::stable_sort(order.begin(), order.end(), [&](const File* a, const File* b) { return rank(a) < rank(b); });
    for (File* file : order)
        if (ToolResult<void> finished = Finish(*file); !finished.Ok()) return finished;

    InterruptHold hold;  // the moves are not cut in half
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (ToolResult<void> placed = Place(*order[i]); !placed.Ok()) {
            for (std::size_t j = i; j-- > 0;) Undo(*order[j]);
            return placed;
        }
    }
    for (File* file : order)
        if (!file->backup_.empty()) unlink(file->backup_.c_str());
    return {};
}

}  // namespace wux
