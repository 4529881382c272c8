// Our PLY reader: triangle strips (which Assimp reads as one triangle) in every encoding;
// hostile files refused with the byte or header line named.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "input/assimp_import.h"
#include "input/mesh_reader.h"
#include "tests/input/scene_measure.h"
#include "tests/support/temp_folder.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

using test::WarningCount;

// --- Files written here, in every encoding --------------------------------------------

enum class Encoding { Ascii, Little, Big };

// One property: "float x", or a list "uchar int vertex_indices" (count type first).
struct Column {
    std::string type;
    std::string name;
    std::string countType;  // empty for a scalar
};

struct ElementData {
    std::string name;
    std::vector<Column> columns;
    std::vector<std::vector<std::vector<double>>> rows;  // per row, per column: one value, or the list
};

void Append(std::string* out, Encoding enc, const std::string& type, double v) {
    if (enc == Encoding::Ascii) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.9g ", v);
        *out += buffer;
        return;
    }
    std::uint64_t bits = 0;
    std::size_t size = 4;
    if (type == "float") {
        const float f = static_cast<float>(v);
        std::uint32_t b;
        std::memcpy(&b, &f, 4);
        bits = b;
    } else if (type == "double") {
        std::memcpy(&bits, &v, 8);
        size = 8;
    } else {
        size = type == "uchar" || type == "char" ? 1 : type == "short" || type == "ushort" ? 2 : 4;
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(v));
    }
    for (std::size_t k = 0; k < size; ++k) {
        const std::size_t shift = 8 * (enc == Encoding::Little ? k : size - 1 - k);
        out->push_back(static_cast<char>((bits >> shift) & 0xFF));
    }
}

std::string Ply(Encoding enc, const std::vector<ElementData>& elements) {
    std::string out = std::string("ply\nformat ") +
                      (enc == Encoding::Ascii ? "ascii" : enc == Encoding::Little ? "binary_little_endian" : "binary_big_endian") +
                      " 1.0\ncomment written by a test\n";
    for (const ElementData& e : elements) {
        out += "element " + e.name + " " + std::to_string(e.rows.size()) + "\n";
        for (const Column& c : e.columns)
            out += "property " + (c.countType.empty() ? "" : "list " + c.countType + " ") + c.type + " " + c.name + "\n";
    }
    out += "end_header\n";
    for (const ElementData& e : elements) {
        for (const auto& row : e.rows) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (!e.columns[c].countType.empty()) Append(&out, enc, e.columns[c].countType, static_cast<double>(row[c].size()));
                for (double v : row[c]) Append(&out, enc, e.columns[c].type, v);
            }
            if (enc == Encoding::Ascii) out += "\n";
        }
    }
    return out;
}

ToolResult<SceneDescription> Parse(const std::string& bytes, Warnings* warnings, AssimpImportOptions options = {}) {
    return ParsePly(ByteSpan{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, "scan.ply", options,
                    warnings);
}

// A 4 by 3 grid of unit squares in the XY plane written as strips, one per row of squares:
// the first two rows joined by four degenerate triangles (the last corner of one and the
// first of the next twice), the third after a restart. Properties in an unusual order and
// of mixed types, with normals and UVs under other names.
std::vector<ElementData> StripGrid(const std::string& indexType) {
    ElementData vertex{"vertex",
                       {{"uchar", "red", ""}, {"double", "y", ""}, {"float", "texture_v", ""}, {"float", "x", ""},
                        {"float", "nz", ""}, {"short", "z", ""}, {"float", "nx", ""}, {"float", "ny", ""},
                        {"float", "texture_u", ""}},
                       {}};
    for (int y = 0; y <= 3; ++y)
        for (int x = 0; x <= 4; ++x)
            vertex.rows.push_back({{200}, {double(y)}, {y / 3.0}, {double(x)}, {1}, {0}, {0}, {0}, {x / 4.0}});
    const auto at = [](int x, int y) { return double(y * 5 + x); };
    std::vector<double> strip;
    for (int row = 0; row < 3; ++row) {
        if (row == 1) strip.insert(strip.end(), {at(4, 0), at(0, 2)});
        if (row == 2) strip.push_back(-1);
        for (int x = 0; x <= 4; ++x) strip.insert(strip.end(), {at(x, row + 1), at(x, row)});
    }
    ElementData strips{"tristrips", {{indexType, "vertex_indices", "int"}}, {{strip}}};
    ElementData other{"material", {{"float", "ambient", ""}}, {{{0.5}}}};
    return {vertex, other, strips};
}

TEST(PlyReader, TriangleStripsGiveEveryTriangleFacingOneWay) {
    for (Encoding enc : {Encoding::Ascii, Encoding::Little, Encoding::Big}) {
        for (const char* indexType : {"int", "uint"}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(enc)) + " " + indexType);
            Warnings warnings;
            AssimpImportOptions zUp;
            zUp.up = AssimpImportOptions::Up::Z;
            const ToolResult<SceneDescription> read = Parse(Ply(enc, StripGrid(indexType)), &warnings, zUp);
            ASSERT_TRUE(read.Ok()) << read.Error().Text();
            ASSERT_EQ(read->nodes.size(), 1u);
            const SceneMesh& m = read->nodes[0].object.mesh;
            ASSERT_EQ(m.faces.size(), 24u);
            EXPECT_NEAR(test::MeasureScene(*read).area, 12.0, 1e-9);
            EXPECT_EQ(WarningCount(warnings, WarningKind::StripTrianglesDegenerate), 4u);
            for (std::size_t f = 0; f < m.faces.size(); ++f) {
                const auto& a = m.verts[m.faces[f][0]];
                const auto& b = m.verts[m.faces[f][1]];
                const auto& c = m.verts[m.faces[f][2]];
                const double z = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
                EXPECT_NEAR(z, 1.0, 1e-9) << "triangle " << f << " faces -Z or is not half a square";
                for (int k = 0; k < 3; ++k) {
                    const auto& p = m.verts[m.faces[f][k]];
                    const auto& uv = m.tverts[m.tvfaces[f][k]];
                    EXPECT_FLOAT_EQ(uv[0], p[0] / 4.0f);
                    EXPECT_FLOAT_EQ(uv[1], p[1] / 3.0f);
                    EXPECT_EQ(m.normals[m.faces[f][k]], (std::array<float, 3>{0, 0, 1}));
                }
            }
        }
    }
}

// Polygons are fanned; points and lines are counted, faces with an index out of range or a
// corner not finite dropped and counted, as the Assimp importer does.
TEST(PlyReader, FacesArePolygonsAndBadOnesAreCounted) {
    ElementData vertex{"vertex", {{"double", "x", ""}, {"float", "y", ""}, {"float", "z", ""}}, {}};
    for (const auto& p : std::vector<std::array<double, 3>>{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {1e300, 0, 0}})
        vertex.rows.push_back({{p[0]}, {p[1]}, {p[2]}});
    ElementData face{"face", {{"int", "vertex_indices", "uchar"}},
                     {{{0, 1, 2, 3}}, {{0, 1}}, {{2}}, {{0, 1, 9}}, {{0, 1, 4}}, {{3, 2, 1}}}};
    for (Encoding enc : {Encoding::Ascii, Encoding::Little, Encoding::Big}) {
        Warnings warnings;
        const ToolResult<SceneDescription> read = Parse(Ply(enc, {face, vertex}), &warnings);
        ASSERT_TRUE(read.Ok()) << read.Error().Text();
        EXPECT_EQ(test::MeasureScene(*read).triangles, 3u);
        EXPECT_NEAR(test::MeasureScene(*read).area, 6.0, 1e-9);
        EXPECT_EQ(WarningCount(warnings, WarningKind::PrimitivesSkipped), 2u);
        EXPECT_EQ(WarningCount(warnings, WarningKind::FacesDropped), 2u);
    }
    // Too small for a double is 0, not infinity: the face stays.
    Warnings warnings;
    const ToolResult<SceneDescription> tiny = Parse(
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 1e-400\n0 1 0\n3 0 1 2\n", &warnings);
    ASSERT_TRUE(tiny.Ok()) << tiny.Error().Text();
    EXPECT_EQ(test::MeasureScene(*tiny).triangles, 1u);
}

// A file cut short of what its header declares, or whose header is not PLY, is refused with
// the place named: never a model read in part.
TEST(PlyReader, BrokenFilesAreRefusedWithThePlaceNamed) {
    const std::string grid = Ply(Encoding::Little, StripGrid("int"));
    const std::string ascii = Ply(Encoding::Ascii, StripGrid("int"));
    const std::string head = "ply\nformat binary_little_endian 1.0\n";
    struct Case {
        std::string bytes;
        std::string error;
    };
    const Case cases[] = {
        {"", "scan.ply: not a PLY file"},
        {"ply\nformat ascii 1.0\n", "scan.ply: the header has no \"end_header\" line"},
        {"ply\nend_header\n", "scan.ply: header line 2: the header has no \"format\" line"},
        {head + "element vertex 1\nproperty list uchar float x\nproperty float y\nproperty float z\nend_header\n",
         "the vertex element has no x, y and z properties"},
        {head + "property float x\nend_header\n", "header line 3: a property before any element"},
        {head + "element vertex 3\nproperty half x\nend_header\n", "header line 4: not a property line of a known type"},
        {head + "element vertex 3\nproperty\nend_header\n", "header line 4: not a property line of a known type"},
        {head + "element vertex -3\nend_header\n", "header line 3: not an element line with a count"},
        {head + "element vertex 99999999999999999999\nend_header\n", "header line 3: not an element line with a count"},
        {grid.substr(0, grid.size() - 3), "the file ends in tristrips 0 of 1 (property vertex_indices)"},
        {grid.substr(0, grid.find("end_header") + 11 + 40), "the file ends in vertex 1 of 20 (property y)"},
        // A row of floats cut short: the place is the value's, not the row's.
        {head + "element vertex 2\nproperty float x\nproperty float y\nproperty float z\nend_header\n" + std::string(16, '\0'),
         "byte 131: the file ends in vertex 1 of 2 (property y)"},
        {head + "element vertex 4000000000\nproperty float x\nproperty float y\nproperty float z\nend_header\n",
         "byte 124: the file ends in vertex 0 of 4000000000"},
        {head + "element vertex 0\nproperty float x\nproperty float y\nproperty float z\nelement face 1\n"
                "property list uint int vertex_indices\nend_header\n\xFF\xFF\xFF\xFF",
         "the file ends in face 0 of 1"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
         "end_header\n0 1 zero\n",
         "byte 104: not a number in vertex 0 of 1 (property z)"},
        // Beyond a double's range, but with more after the number: not a number either.
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
         "end_header\n0 1 1e999x\n",
         "byte 104: not a number in vertex 0 of 1 (property z)"},
        {ascii.substr(0, ascii.rfind('\n', ascii.size() - 2)), "the file ends in tristrips 0 of 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        Warnings warnings;
        const ToolResult<SceneDescription> read = Parse(c.bytes, &warnings);
        ASSERT_FALSE(read.Ok());
        EXPECT_EQ(read.Error().kind, ToolError::Kind::Import);
        EXPECT_NE(read.Error().Text().find(c.error), std::string::npos) << read.Error().Text();
    }
}

}  // namespace
}  // namespace wux
