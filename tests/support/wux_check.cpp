#include "tests/support/wux_check.h"

#include "format/file_bytes.h"
#include "format/wux_checker.h"

::testing::AssertionResult PassesChecker(const std::vector<std::uint8_t>& bytes) {
    const wux::CheckReport report = wux::CheckWux(wux::SpanOf(bytes));
    if (report.Valid()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the checker finds " << report.errorCount << " error(s):\n"
                                         << wux::FormatReport(report);
}

::testing::AssertionResult PassesChecker(const std::string& path) {
    const auto bytes = wux::LoadFileBytes(path);
    if (!bytes.Ok()) return ::testing::AssertionFailure() << bytes.Error().Text();
    ::testing::AssertionResult result = PassesChecker(*bytes);
    if (!result) return ::testing::AssertionFailure() << path << ": " << result.message();
    return result;
}
