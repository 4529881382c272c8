#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "writer/byte_sink.h"
#include "writer/save_result.h"

// The file layer of the writer. A plain file is written to a new temporary
// file in the target's folder and moved over the target only by finish(), so
// that a failed write never leaves a partial file and never harms an existing
// one. Targets whose identity matters are written in place (the rules are in
// writer/output_target.h). Every write, the flush and the close are checked.
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

#ifdef _WIN32
    using Handle = void*;  // a HANDLE
    static constexpr Handle kClosed = nullptr;
#else
    using Handle = int;
    static constexpr Handle kClosed = -1;
#endif
    std::string target_;     // as given, for messages
    std::string written_;    // the file replaced: a symbolic link's target
    std::string temporary_;  // empty when writing the target directly
    bool sync_ = true;       // false for devices, pipes and a temporary file of the tool's, which syncs it itself
    SaveError writeError_;
    Handle file_ = kClosed;
};
