// The checker run on every WUX file a test writes: a written file must pass it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Success when the file reads and the checker finds no error; otherwise the checker's
// report. Use as EXPECT_TRUE(PassesChecker(path)).
::testing::AssertionResult PassesChecker(const std::string& path);
::testing::AssertionResult PassesChecker(const std::vector<std::uint8_t>& bytes);
