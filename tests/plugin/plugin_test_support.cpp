#include "tests/plugin/plugin_test_support.h"

#include "tests/support/wux_bytes.h"

namespace {

std::string HexText(const char* hex) {
    const std::vector<std::uint8_t> bytes = wuxtest::Bytes().Hex(hex).data;
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string ExpectedCannotCreateMessage(const std::string& fileName) {
    // iconv -f UTF-8 -t CP1251 of the two halves around the file name.
    return HexText("cd e5 20 ec ee e3 f3 20 f1 ee e7 e4 e0 f2 fc 20 f4 e0 e9 eb 20") + fileName +
           HexText("2e 20 dd ea f1 ef ee f0 f2 20 ed e5 20 ef f0 ee e8 e7 e2 e5 e4 e5 ed 2e");
}

std::string ExpectedCannotCreateCaption() { return HexText("57 55 58 20 fd ea f1 ef ee f0 f2"); }
