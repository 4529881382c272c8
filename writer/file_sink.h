#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "writer/byte_sink.h"
#include "writer/save_result.h"

// The file layer of the writer. A regular file is written to a new temporary
// file in the target's folder and moved over the target only by finish(), so
// that a failed write never leaves a partial file and never harms an existing
// one. A path that names an existing device or pipe is written to directly
// (replacing a device node would be wrong). Every write, the flush and the
// close are checked.
class FileSink : public ByteSink {
public:
    FileSink() = default;
    // Removes the temporary file unless finish() succeeded.
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool open(const char* path, SaveError* error);
    bool write(const uint8_t* data, size_t size) override;
    // Flushes, closes and moves the finished file into place.
    bool finish(SaveError* error);

    // The first failure of write(), for the caller's report.
    const SaveError& writeError() const { return writeError_; }

private:
    void abandon();
    bool fail(SaveError* error, SaveError::Kind kind, const std::string& what, unsigned long osError);

    std::string target_;
    std::string temporary_;  // empty when writing the target directly
    SaveError writeError_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};
