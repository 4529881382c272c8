#include <gtest/gtest.h>

#include <vector>

#include "tests/support/wux_bytes.h"
#include "writer/byte_buffer.h"
#include "writer/padded_string.h"

namespace {

TEST(PaddedString, LengthSweepsEveryPaddingCase) {
    const struct {
        const char* text;
        const char* hex;
    } cases[] = {
        {"", "04000000 00000000"},
        {"a", "04000000 61000000"},
        {"abc", "04000000 61626300"},
        {"abcd", "08000000 61626364 00000000"},
        {"abcdefg", "08000000 61626364 65666700"},
        {"abcdefgh", "0c000000 61626364 65666768 00000000"},
    };
    for (const auto& c : cases) {
        ByteBuffer out;
        const uint32_t written = WritePaddedString(out, c.text);
        wuxtest::Bytes expected;
        expected.Hex(c.hex);
        const std::vector<uint8_t> actual(out.data(), out.data() + out.size());
        EXPECT_EQ(actual, expected.data) << '"' << c.text << '"';
        EXPECT_EQ(written, expected.Size()) << '"' << c.text << '"';
    }
}

}  // namespace
