#include "bench/write_limit.h"

#include <algorithm>

#include "bench/measure.h"
#include "writer/file_sink.h"

namespace {
constexpr size_t kWriteSize = size_t(8) << 20;
}

WriteLimit::WriteLimit(uint64_t fileBytes) : bytes_(size_t(fileBytes)) {
    // Non-zero bytes, so no layer below can take a shortcut for zero pages.
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = uint8_t(i * 131 + 7);
}

wux::ToolResult<double> WriteLimit::Write(const std::string& path) const {
    Stopwatch clock;
    FileSink file;
    SaveError failure;
    bool ok = file.open(path.c_str(), &failure);
    for (size_t at = 0; ok && at < bytes_.size(); at += kWriteSize)
        ok = file.write(bytes_.data() + at, std::min(kWriteSize, bytes_.size() - at));
    if (!ok && failure.kind == SaveError::Kind::None) failure = file.writeError();
    if (ok) ok = file.finish(&failure);
    double seconds = clock.seconds();
    if (!ok) return wux::ToolError::Of(wux::ToolError::Kind::Output, "", "write limit: " + failure.message);
    return seconds;
}
