// The batch progress line: bar, counts, failures and a time left that only appears once a
// file has been timed.
#include "cli/command.h"

#include <gtest/gtest.h>

namespace wux {
namespace {

TEST(ProgressBar, LineShowsDoneFailedAndTimeLeft) {
    const struct {
        std::size_t done, failed, total;
        double elapsed;
        const char* line;
    } cases[] = {
        {0, 0, 4, 0.0, "[........] 0/4 files"},
        {1, 1, 4, 30.0, "[##......] 1/4 files, 1 failed, about 1:30 left"},
        {3, 0, 4, 7200.0 * 3, "[######..] 3/4 files, about 2:00:00 left"},
        {4, 2, 4, 9.0, "[########] 4/4 files, 2 failed"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressBar::Format(c.done, c.failed, c.total, c.elapsed, 8), c.line);
}

}  // namespace
}  // namespace wux
