#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/support/wux_bytes.h"
#include "format/mapped_file.h"
#include "format/wux_checker.h"

namespace {

using wux::Problem;
using wuxtest::Build;
using wuxtest::Built;
using wuxtest::RichFile;

std::string Dump(const wux::CheckReport& report) { return wux::FormatReport(report); }

bool Has(const wux::CheckReport& report, Problem::Severity severity, std::size_t offset, const std::string& text) {
    for (const Problem& p : report.problems) {
        if (p.severity == severity && p.offset == offset && wux::FormatProblem(p).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

struct RuleCase {
    const char* rule;
    // Corrupts the bytes and returns the offset the error must name.
    std::function<std::size_t(const Built&, wuxtest::Bytes&)> corrupt;
    const char* text;  // part of the formatted problem
};

// Each case breaks one rule of a file that is otherwise valid.
TEST(WuxChecker, EachBrokenRuleIsAnErrorAtItsOffset) {
    const Built built = Build(RichFile());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const RuleCase cases[] = {
        {"file_size", [](const Built&, wuxtest::Bytes& b) { b.PatchU32(4, 7); return std::size_t{4}; }, "file_size 7 differs"},
        {"GNFO magic", [](const Built&, wuxtest::Bytes& b) { b.PatchU32(20, 101); return std::size_t{20}; }, "(GNFO): magic 101"},
        {"GNFO reserved", [](const Built&, wuxtest::Bytes& b) { b.PatchU32(36, 1); return std::size_t{36}; }, "reserved word 3"},
        {"GNFO 1.0", [](const Built&, wuxtest::Bytes& b) { b.PatchF32(48, 2.0f); return std::size_t{48}; }, "expected 1.0"},
        {"mesh count", [](const Built&, wuxtest::Bytes& b) { b.PatchU32(52, 3); return std::size_t{52}; }, "mesh count 3 differs from the 2 GVTX"},
        {"material count", [](const Built&, wuxtest::Bytes& b) { b.PatchU32(56, 0); return std::size_t{56}; }, "material count 0"},
        {"chunk magic", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.bounds + 8, 0); return s.bounds + 8; }, "(GBND #0): magic 0"},
        {"GMAT block_size too large",
         [](const Built& s, wuxtest::Bytes& b) {
             // Grow GMAT #1 by 4 bytes at its end: the chunk then holds 4 bytes nothing reads.
             const std::size_t at = s.materials[1];
             const std::uint32_t size = b.ReadU32(at + 4);
             b.data.insert(b.data.begin() + static_cast<std::ptrdiff_t>(at + size), 4, 0);
             b.PatchU32(at + 4, size + 4);
             b.PatchU32(16, b.ReadU32(16) + 4);
             b.PatchU32(4, static_cast<std::uint32_t>(b.Size()));
             return at + 4;
         },
         "differs from its content, 108 bytes (12 + name 16 + 76 + 4 + 0 map entries)"},
        {"padding not zero", [](const Built& s, wuxtest::Bytes& b) { b.data[s.materials[0] + 16 + 6] = 'x'; return s.materials[0] + 16 + 6; }, "padding byte is 0x00000078"},
        {"no zero after name",
         [](const Built& s, wuxtest::Bytes& b) { for (int i = 5; i < 8; ++i) b.data[s.materials[0] + 16 + i] = 'y'; return s.materials[0] + 12; },
         "no zero byte follows"},
        {"padded length not multiple of 4",
         [](const Built& s, wuxtest::Bytes& b) {
             // "Dummy" padded to 9: shift its entry by one zero byte and fix the sizes.
             const std::size_t at = s.references + 16 + 92;
             b.PatchU32(at, 9);
             b.data.insert(b.data.begin() + static_cast<std::ptrdiff_t>(at + 4 + 8), 1, 0);
             b.PatchU32(s.references + 4, b.ReadU32(s.references + 4) + 1);
             b.PatchU32(4, static_cast<std::uint32_t>(b.Size()));
             return at;
         },
         "padded length 9 is not a multiple of 4"},
        {"colour word 0", [](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.materials[0] + 24, -0.0f); return s.materials[0] + 24; }, "colour word 0 is -0"},
        {"colour word 18", [](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.materials[0] + 24 + 72, 40.0f); return s.materials[0] + 24 + 72; }, "colour word 18 is 40"},
        {"colour not finite", [nan](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.materials[0] + 24 + 8, nan); return s.materials[0] + 32; }, "colour word is not finite"},
        {"map count over 12", [](const Built& s, wuxtest::Bytes& b) {
             // 13 empty maps appended to GMAT #1 (which has none).
             const std::size_t at = s.materials[1];
             const std::size_t count = at + 12 + 16 + 76;
             std::vector<std::uint8_t> maps;
             for (std::uint8_t i = 0; i < 13; ++i) {
                 const std::uint8_t entry[16] = {i, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
                 maps.insert(maps.end(), entry, entry + 16);
             }
             b.data.insert(b.data.begin() + static_cast<std::ptrdiff_t>(count + 4), maps.begin(), maps.end());
             b.PatchU32(count, 13);
             b.PatchU32(at + 4, b.ReadU32(at + 4) + 208);
             b.PatchU32(16, b.ReadU32(16) + 208);
             b.PatchU32(4, static_cast<std::uint32_t>(b.Size()));
             return count;
         }, "map count 13 exceeds 12"},
        {"channel out of range", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.materials[0] + 104, 12); return s.materials[0] + 104; }, "map 0): channel 12 outside 0..11"},
        {"channels not ascending", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.materials[0] + 104, 9); return s.materials[0] + 104 + 4 + 16 + 4; }, "channel 8 does not follow channel 9"},
        {"mesh constant", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.meshes[0] + 16, 0); return s.meshes[0] + 16; }, "expected 0x44BAF1E3"},
        {"material index too large", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.meshes[1] + 12, 2); return s.meshes[1] + 12; }, "(GVTX #1): material index 2 outside 0..1"},
        {"negative material index", [](const Built& s, wuxtest::Bytes& b) { b.PatchU32(s.meshes[1] + 12, 0xFFFFFFFF); return s.meshes[1] + 12; }, "material index -1"},
        {"triangle index out of range",
         [](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.meshes[1] + 28 + 240 + 6 * 3 + 2; b.PatchU16(at, 70); return at; },
         "(GVTX #1, triangle 3): index 70 out of range (12 vertices)"},
        {"triangle not in order",
         [](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.meshes[1] + 28 + 240 + 6; b.PatchU16(at, 0); return at; },
         "indices (0, 4, 5), expected (3, 4, 5)"},
        {"face block not zero",
         [](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.meshes[0] + 142 - 4; b.PatchU32(at, 1); return at; },
         "(GVTX #0, face block 0): word 2 is 0x00000001"},
        {"vertex not finite", [inf](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.meshes[0] + 28 + 20 + 4, inf); return s.meshes[0] + 52; }, "(GVTX #0, vertex 1): y is not finite (inf)"},
        {"normal not finite", [nan](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.meshes[0] + 28 + 60 + 6 + 8, nan); return s.meshes[0] + 102; }, "(GVTX #0, normal 0): component is not finite"},
        {"sphere not finite", [nan](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.bounds + 32 + 16 + 12, nan); return s.bounds + 60; }, "(GBND #0, sphere 1): radius is not finite"},
        {"ellipsoid not finite", [inf](const Built& s, wuxtest::Bytes& b) { b.PatchF32(s.ellipsoid + 12, -inf); return s.ellipsoid + 12; }, "(GELP #0): centre is not finite (-inf)"},
        {"transform fourth column", [](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.references + 16 + 12 + 60; b.PatchF32(at, 1.0f); return at; }, "transform row 3 ends in 1, expected 0.0"},
        {"half extent not finite", [nan](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.references + 16 + 12 + 64 + 4; b.PatchF32(at, nan); return at; }, "half extent is not finite"},
        {"end word", [](const Built& s, wuxtest::Bytes& b) { const std::size_t at = s.references + 16 + 12 + 76; b.PatchU32(at, 0); return at; }, "end word 0x00000000, expected 0xFFDCAAF0"},
        {"bytes after GREF", [](const Built&, wuxtest::Bytes& b) {
             const std::size_t end = b.Size();
             b.data.insert(b.data.end(), 3, 0);
             b.PatchU32(4, static_cast<std::uint32_t>(b.Size()));
             return end;
         }, "3 bytes follow the GREF chunk"},
    };
    for (const RuleCase& c : cases) {
        wuxtest::Bytes bytes = built.bytes;
        const std::size_t offset = c.corrupt(built, bytes);
        const wux::CheckReport report = wux::CheckWux(bytes.Span());
        EXPECT_FALSE(report.Valid()) << c.rule;
        EXPECT_TRUE(Has(report, Problem::Severity::Error, offset, c.text))
            << c.rule << ": expected at offset " << offset << " \"" << c.text << "\", got\n" << Dump(report);
    }
}

TEST(WuxChecker, ChunkOrderAndMultiplicity) {
    // Swap the two 32-byte-sized chunk kinds: put GELP before GBND by building the bytes by hand.
    wuxtest::File file;
    file.ellipsoid = std::array<float, 6>{0, 0, 0, 1, 1, 1};
    const Built built = Build(file);
    wuxtest::Bytes swapped = built.bytes;
    std::copy(built.bytes.data.begin() + 60, built.bytes.data.begin() + 92, swapped.data.begin() + 96);
    std::copy(built.bytes.data.begin() + 92, built.bytes.data.begin() + 128, swapped.data.begin() + 60);
    wux::CheckReport report = wux::CheckWux(swapped.Span());
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 96, "GBND chunk after a GELP chunk")) << Dump(report);

    // A second GBND inside GNFO, and none at all.
    wuxtest::Bytes twice = built.bytes;
    twice.data.insert(twice.data.begin() + 60, built.bytes.data.begin() + 60, built.bytes.data.begin() + 92);
    twice.PatchU32(16, twice.ReadU32(16) + 32);
    twice.PatchU32(4, static_cast<std::uint32_t>(twice.Size()));
    report = wux::CheckWux(twice.Span());
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 92, "a second GBND chunk")) << Dump(report);

    wuxtest::Bytes none = built.bytes;
    none.data.erase(none.data.begin() + 60, none.data.begin() + 92);
    none.PatchU32(16, none.ReadU32(16) - 32);
    none.PatchU32(4, static_cast<std::uint32_t>(none.Size()));
    report = wux::CheckWux(none.Span());
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 96, "no GBND chunk")) << Dump(report);

    // GMAT after GVTX.
    wuxtest::File rich = RichFile();
    rich.materials.resize(1);
    rich.meshes = {{0, 1}};
    const Built one = Build(rich);
    wuxtest::Bytes moved = one.bytes;
    const std::size_t gmatSize = one.meshes[0] - one.materials[0];
    std::rotate(moved.data.begin() + 60, moved.data.begin() + 60 + static_cast<std::ptrdiff_t>(gmatSize),
                moved.data.begin() + 60 + static_cast<std::ptrdiff_t>(gmatSize) + 142);
    report = wux::CheckWux(moved.Span());
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 60 + 142, "GMAT chunk after a GVTX chunk")) << Dump(report);
}

TEST(WuxChecker, MaterialIndexZeroIsAllowedWithoutMaterials) {
    wuxtest::File file;
    file.meshes = {{0, 2}};
    EXPECT_TRUE(wux::CheckWux(Build(file).bytes.Span()).Valid());
    file.meshes = {{1, 2}};
    const wux::CheckReport report = wux::CheckWux(Build(file).bytes.Span());
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 60 + 12, "with no materials in the file")) << Dump(report);
}

TEST(WuxChecker, WarningsLeaveTheFileValid) {
    wuxtest::File file = RichFile();
    file.references[0].halfExtents = {0, 0, 0};
    file.meshes.push_back({0, 0});
    file.materials[1].name = "brick";
    file.spheres[0].radius = 11;  // larger than the main sphere
    const Built built = Build(file);
    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.Valid()) << Dump(report);
    EXPECT_EQ(report.warningCount, 4u) << Dump(report);
    EXPECT_TRUE(Has(report, Problem::Severity::Warning, built.references + 16 + 12 + 64, "helper has zero size"));
    EXPECT_TRUE(Has(report, Problem::Severity::Warning, built.meshes[2] + 24, "mesh has no triangles"));
    EXPECT_TRUE(Has(report, Problem::Severity::Warning, built.materials[1], "appears more than once"));
    EXPECT_TRUE(Has(report, Problem::Severity::Warning, built.bounds + 32 + 12, "exceeds the main sphere"));
}

TEST(WuxChecker, ProblemsAreCappedAndCounted) {
    wuxtest::File file;
    file.meshes = {{0, 200}};
    Built built = Build(file);
    const std::size_t faceBlocks = built.meshes[0] + 28 + 32 * 600 + 6 * 200;
    for (std::size_t i = 0; i < 200; ++i) built.bytes.PatchU32(faceBlocks + 12 * i, 1);

    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_EQ(report.problems.size(), wux::kDefaultMaxProblems);
    EXPECT_EQ(report.errorCount, 200u);
    EXPECT_EQ(report.omitted, 100u);
    const std::string text = Dump(report);
    EXPECT_NE(text.find("\n... and 100 more\n"), std::string::npos);
    EXPECT_EQ(report.problems.front().offset, faceBlocks);

    const wux::CheckReport three = wux::CheckWux(built.bytes.Span(), 3);
    EXPECT_EQ(three.problems.size(), 3u);
    EXPECT_EQ(three.omitted, 197u);
}

TEST(WuxChecker, AMeshBeyondSixteenBitIndicesIsOneError) {
    wuxtest::File file;
    file.meshes = {{0, 21846}};
    const Built built = Build(file);  // the builder's u16 indices wrap beyond 65535
    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_EQ(report.errorCount, 1u) << Dump(report);
    EXPECT_TRUE(Has(report, Problem::Severity::Error, 60 + 24, "21846 triangles: u16 indices address at most 21845"));

    file.meshes = {{0, 21845}};
    EXPECT_TRUE(wux::CheckWux(Build(file).bytes.Span()).problems.empty());
}

TEST(WuxChecker, UnreadableFileIsOneErrorWithTheReaderOffset) {
    const Built built = Build(RichFile());
    wuxtest::Bytes bytes = built.bytes;
    bytes.PatchU32(built.meshes[1] + 20, 0x7FFFFFFF);
    const wux::CheckReport report = wux::CheckWux(bytes.Span());
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].offset, built.meshes[1] + 20);
    // The reader's place is the problem's where, as for every other problem (check --json's "where").
    EXPECT_EQ(report.problems[0].where, "GVTX #1");
    EXPECT_EQ(report.problems[0].message.find("vertex count 2147483647"), 0u) << report.problems[0].message;
}

TEST(WuxChecker, FormatsProblemsWithOffsetAndPlace) {
    EXPECT_EQ(wux::FormatProblem({Problem::Severity::Error, 1234, "GVTX #2, triangle 7", "index 70000 out of range"}),
              "error: offset 1234 (GVTX #2, triangle 7): index 70000 out of range");
    EXPECT_EQ(wux::FormatProblem({Problem::Severity::Warning, 4, "", "x"}), "warning: offset 4: x");
}

// A file cut short while it is mapped (another program rewrites it): reading its lost pages
// gives zeros instead of SIGBUS, and the file is reported as cut short.
TEST(MappedFile, AFileCutShortWhileReadIsReportedNotAFault) {
    char path[] = "/tmp/wux_cut_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const auto bytes = Build(RichFile()).bytes.data;
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    wux::MappedFile file;
    ASSERT_TRUE(file.Open(path).Ok());
    EXPECT_TRUE(file.Intact().Ok());
    ASSERT_EQ(truncate(path, 0), 0);
    EXPECT_FALSE(wux::CheckWux(file.Span()).Valid());
    ASSERT_FALSE(file.Intact().Ok());
    EXPECT_EQ(file.Intact().Error().Text(), std::string(path) + ": the file was cut short while it was read");
    unlink(path);
}

}  // namespace
