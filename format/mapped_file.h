// Opening the files the tool reads. Only regular files are read: a FIFO would block the tool
// until a writer comes, a device such as /dev/zero would be read until memory runs out. A file
// is opened without blocking and checked on the descriptor, so the check and the read are
// about the same file.
//
// A file read without copying it is mapped, so its bytes stay in the page cache instead of
// the heap and a file of any size costs the tool the same memory. For a WUX file the first
// bytes are read first, and a file whose head is not a WUX head is judged on those alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "format/wux_format.h"
#include "format/wux_reader.h"

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

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // An Input error naming the file: cannot open, not a regular file, too large for a WUX
    // file, cannot be mapped.
    ToolResult<void> Open(const std::string& path);
    // Any regular file, mapped whole (an empty one gives an empty span): for readers of
    // other formats. An Io error naming the file, as Open's.
    ToolResult<void> OpenWhole(const std::string& path);

    // The whole file; or only its head when that already shows it is not a WUX file, since
    // the reader refuses such a file on its first bytes.
    ByteSpan Span() const { return span_; }

    // Asked after the bytes were read: an Io error naming the file when it was cut short
    // meanwhile. Reading such a file does not fault (SIGBUS): from the first page past its new
    // end the span reads as zeros, so whatever read it finished, and its result is void.
    ToolResult<void> Intact() const;

private:
    ToolResult<void> Map(const InputFile& file, const std::string& path);

    std::array<std::uint8_t, wux_file::kFileHeadSize> head_{};
    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    int slot_ = -1;  // where the bus error handler knows the mapping
    std::string path_;
    ByteSpan span_;
};

// A WUX file read whole through a mapping. A file that is not a readable WUX file fails with
// the reader's kind and offset, named "PATH: not a readable WUX file: offset N: ...".
ToolResult<WuxDocument> OpenWux(const std::string& path);

// A whole regular file read into memory (the file's own size bounds the allocation). An
// error of kind Input names the file and says why it could not be read.
ToolResult<std::vector<std::uint8_t>> LoadFileBytes(const std::string& path);

}  // namespace wux
