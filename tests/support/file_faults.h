// A link seam in the system calls of the file layer, for the test programs that link
// wux_file_faults: every call of fsync, fdatasync, close, write, rename and renameat2 in the
// code linked into the program (the writer and the export's files among it) comes here first
// (-Wl,--wrap). Outside a FileFaults scope, and on files outside its folder, they are the
// system's own calls. It works the same under the sanitizers, which a preloaded library
// would not.
#pragma once

#include <cerrno>
#include <string>
#include <vector>

namespace wuxtest {

enum class FileCall { Sync, Close };  // Sync: fsync or fdatasync

class FileFaults {
public:
    // Watches the files under folder until the scope ends; one scope at a time.
    explicit FileFaults(const std::string& folder);
    ~FileFaults();
    FileFaults(const FileFaults&) = delete;
    FileFaults& operator=(const FileFaults&) = delete;

    // From now on every such call on a watched file fails with error, as a disk that
    // meets the fault only when the data goes out. A failing close still closes the
    // descriptor, as Linux's does.
    void Fail(FileCall call, int error = EIO);
    int Failed() const;   // the calls failed so far
    int Renamed() const;  // the watched files renamed so far
    // Each rename of a watched file made while the file was still open here, or before it
    // was synced after its last write: "FROM -> TO: why". A file so renamed may reach its
    // name with its data still in the cache, or without it after a crash.
    std::vector<std::string> UnsafeRenames() const;
};

}  // namespace wuxtest
