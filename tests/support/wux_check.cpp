#include "tests/support/wux_check.h"

#include <algorithm>

#include "format/mapped_file.h"
#include "format/wux_checker.h"
#include "writer/byte_buffer.h"
#include "writer/model_serializer.h"

::testing::AssertionResult PassesChecker(const std::vector<std::uint8_t>& bytes) {
    const wux::CheckReport report = wux::CheckWux(wux::SpanOf(bytes));
    if (!report.Valid())
        return ::testing::AssertionFailure() << "the checker finds " << report.errorCount << " error(s):\n"
                                             << wux::FormatReport(report);
    // What `wux convert IN.wux OUT.wux` does: read into the model and written by the plug-in's
    // writer, a valid file comes back byte for byte.
    const auto read = wux::OpenWux(wux::SpanOf(bytes));
    VectorSink again;
    ByteBuffer out(again);
    if (!read.Ok() || !SerializeModel(*read->model, out, nullptr) || !out.flush())
        return ::testing::AssertionFailure() << "a valid file does not read back into a model that can be written";
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(bytes.begin(), bytes.end(), again.bytes.begin(), again.bytes.end()).first - bytes.begin());
    if (same != bytes.size() || again.bytes.size() != bytes.size())
        return ::testing::AssertionFailure() << "written again by the writer, the file differs from offset " << same;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PassesChecker(const std::string& path) {
    const auto bytes = wux::LoadFileBytes(path);
    if (!bytes.Ok()) return ::testing::AssertionFailure() << bytes.Error().Text();
    ::testing::AssertionResult result = PassesChecker(*bytes);
    if (!result) return ::testing::AssertionFailure() << path << ": " << result.message();
    return result;
}

WrittenFile ReadWritten(const std::string& path) {
    EXPECT_TRUE(PassesChecker(path));
    const auto bytes = wux::LoadFileBytes(path);
    auto read = bytes.Ok() ? wux::OpenWux(wux::SpanOf(*bytes)) : wux::ToolResult<wux::WuxDocument>(bytes.Error());
    EXPECT_TRUE(read.Ok()) << read.Error().Text();
    WrittenFile file;
    if (read.Ok()) file.doc = std::move(*read);
    else file.doc.model = std::make_unique<ExportModel>();
    const ExportModel& model = *file.doc.model;
    file.materials = wux::Records<MaterialChunk>(*model.materials);
    file.meshes = wux::Records<VertexChunk>(*model.meshes);
    file.spheres = wux::Records<BoundSphere>(*model.bounds->spheres);
    file.entries = wux::Records<ReferenceEntry>(*model.references->entries);
    return file;
}
