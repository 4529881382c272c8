// Opens a file the tool reads. Only regular files are read: a FIFO would block the tool until
// a writer comes, a device such as /dev/zero would be read until memory runs out. The file
// is opened without blocking and checked on the descriptor, so the check and the read are
// about the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/tool_error.h"

namespace wux {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // An Io error naming the file and the reason: "is a directory, not a file", "not a
    // regular file (a FIFO)", "cannot open the file: <the system's reason>".
    ToolResult<void> Open(const std::string& path);
    int Descriptor() const { return fd_; }
    std::uint64_t Size() const { return size_; }
    // Reads size bytes, fewer only at the end of the file: the count; or an Io error naming the file.
    ToolResult<std::size_t> Read(void* buffer, std::size_t size);

private:
    std::string path_;  // for the read error
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// For readers that open the file by name themselves (the import library): the same refusal
// as Open's, without opening the file.
ToolResult<void> CheckRegularInput(const std::string& path);

}  // namespace wux
