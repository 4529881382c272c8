#pragma once

// How a target path is written (POSIX). A plain file, or a new one, is
// replaced through a temporary file beside it and a rename, so that a failed
// write leaves it as it was; the new file keeps the old one's mode, owner and
// group. A target whose identity matters is written in place, as
// fopen(path, "wb") would: a device or a pipe, and a file with more than one
// hard link (a rename would split it from its other names). A symbolic link is
// followed to the file it names, existing or not, and that file's rule applies,
// so the link itself stays. A target the user may not write is refused.
#ifndef _WIN32

#include <string>
#include <sys/stat.h>

#include "writer/save_result.h"

struct OutputTarget {
    enum class Way { Replace, InPlace };
    Way way = Way::Replace;
    std::string path;    // the file written: a symbolic link's final target
    std::string folder;  // path's folder with its trailing slash, "" for the current folder
    bool exists = false;
    bool special = false;  // a device, pipe or socket
    struct stat existing {};  // the existing file's mode, owner and group, for the file that replaces it
};

// Decides how path is written. Fails with InvalidPath for an empty path or a
// folder, and with CannotCreate, naming path and the system's reason (name too
// long, permission denied, read-only file system, ...), for a target that
// cannot be written.
bool ExamineOutputTarget(const std::string& path, OutputTarget* target, SaveError* error);

// Creates a new empty temporary file (0666 less the umask) in folder ("" for
// the current one) and returns its descriptor, or -1 with the errno in *osError.
// The descriptor holds an exclusive flock() on the file: while it is open, the
// file is in use, whatever process ids say (writer/temporary_name.h).
int CreateTemporaryFile(const std::string& folder, std::string* path, int* osError);

// Gives a file that is to replace target the target's mode, owner and group.
// Owner and group are best effort: only a privileged user may give a file away.
void KeepAttributes(int fd, const OutputTarget& target);

// Writes all size bytes to fd: 0, or the errno of the write that failed.
int WriteAll(int fd, const void* data, size_t size);

// Syncs fd when asked, which reports write errors the kernel meets only when the data goes to
// the disk (delayed allocation, network file systems), and closes it: 0, or the first errno.
int SyncAndClose(int fd, bool sync);

// Opens target for writing in place, truncating a regular file. A pipe without
// a reader fails at once instead of blocking. -1 with the errno in *osError.
int OpenInPlace(const OutputTarget& target, int* osError);

// "path": reason, the shape of every failure message of the file layer.
std::string DescribeFailure(const std::string& what, const std::string& path, int osError);

#endif
