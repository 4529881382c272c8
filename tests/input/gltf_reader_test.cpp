// Our glTF reader: the same model as Assimp gives of every bundled glTF and GLB file (but where
// Assimp is wrong) and of files written here in every accessor encoding; hostile files refused
// with the place named.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "input/assimp_import.h"
#include "input/gltf_reader.h"
#include "tests/input/scene_measure.h"
#include "tests/support/temp_folder.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

const char* const kModels = "/usr/share/assimp/models";

std::size_t WarningCount(const Warnings& w, WarningKind kind) {
    for (const auto& e : w.Entries())
        if (e.kind == kind) return e.count;
    return 0;
}

// Every corner (position, normal, UV) within 1e-5 and the material of its mesh; each
// triangle's corners taken from the one with the least position, so a turn of them counts as equal.
void ExpectSameModel(const SceneDescription& got, const SceneDescription& want) {
    const auto corners = [](const SceneDescription& scene) {
        std::vector<test::Corner> c = test::Corners(scene);
        for (std::size_t t = 0; t + 2 < c.size(); t += 3) {
            const auto first = std::min_element(c.begin() + t, c.begin() + t + 3,
                                                [](const test::Corner& x, const test::Corner& y) { return x.position < y.position; });
            std::rotate(c.begin() + t, first, c.begin() + t + 3);
        }
        return c;
    };
    const std::vector<test::Corner> a = corners(got), b = corners(want);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("corner " + std::to_string(i));
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(a[i].position[k], b[i].position[k], 1e-5);
            ASSERT_NEAR(a[i].normal[k], b[i].normal[k], 1e-5);
        }
        for (int k = 0; k < 2; ++k) ASSERT_NEAR(a[i].uv[k], b[i].uv[k], 1e-5);
        ASSERT_EQ(a[i].material == nullptr, b[i].material == nullptr);
        if (a[i].material == nullptr) continue;
        const SceneMaterial &x = *a[i].material, &y = *b[i].material;
        ASSERT_EQ(x.name, y.name);
        ASSERT_EQ(x.diffuse, y.diffuse);
        ASSERT_EQ(x.specular, y.specular);
        ASSERT_EQ(x.opacity, y.opacity);
        ASSERT_EQ(x.maps.size(), y.maps.size());
        for (std::size_t m = 0; m < x.maps.size(); ++m) {
            EXPECT_EQ(x.maps[m].slot, y.maps[m].slot);
            EXPECT_EQ(x.maps[m].path, y.maps[m].path);
        }
    }
    EXPECT_NEAR(test::MeasureScene(got).area, test::MeasureScene(want).area, 1e-6 * test::MeasureScene(want).area);
}

// Ours against Assimp's reading of the file, which ours must refuse too when Assimp does.
void ExpectAssimpsModel(const std::string& path) {
    SCOPED_TRACE(path);
    Warnings ours, theirs;
    const ToolResult<SceneDescription> got = ReadGltfFile(path, {}, &ours);
    const ToolResult<SceneDescription> want = ImportWithAssimp(path, {}, &theirs);
    ASSERT_EQ(got.Ok(), want.Ok()) << (got.Ok() ? want.Error().Text() : got.Error().Text());
    if (!want.Ok()) return;
    ExpectSameModel(*got, *want);
    EXPECT_EQ(WarningCount(ours, WarningKind::PrimitivesSkipped), WarningCount(theirs, WarningKind::PrimitivesSkipped));
}

TEST(GltfReader, GivesAssimpsModelOfEveryBundledFile) {
    if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " missing";
    // Where Assimp is wrong, what our reader does instead: reads the file ("") or refuses it
    // with this error. Assimp refuses a mesh whose faces are all out of range (we drop those
    // faces, warned, and read the rest), a file without a scene, a TEXCOORD_1 without a
    // TEXCOORD_0, and values of the wrong type in parts of the file nobody reads.
    const std::map<std::string, std::string> differs = {
        {"glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf", ""},
        {"glTF2/TestNoRootNode/NoScene.gltf", ""},
        {"glTF2/issue_3269/texcoord_crash.gltf", ""},
        {"glTF2/wrongTypes/badExtension.gltf", ""},
        {"glTF2/wrongTypes/badNumber.gltf", ""},
        {"glTF2/wrongTypes/badObject.gltf", ""},
        {"glTF2/wrongTypes/badString.gltf", ""},
        {"glTF2/wrongTypes/badArray.gltf", "meshes[0].primitives is not a list"},
        {"glTF2/RecursiveNodes/RecursiveNodes.gltf", "nodes[0] is reached twice in the node hierarchy"},
        {"glTF2/MissingBin/BoxTextured.gltf", "buffers[0]: "},
        {"glTF2/SchemaFailures/sceneWrongType.gltf", "buffers[0]: "},
    };
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kModels)) {
        if (!IsGltfPath(entry.path().string())) continue;
        ++files;
        const std::string relative = fs::relative(entry.path(), kModels).string();
        const auto it = differs.find(relative);
        if (it == differs.end()) {
            ExpectAssimpsModel(entry.path().string());
            continue;
        }
        SCOPED_TRACE(relative);
        Warnings warnings;
        EXPECT_FALSE(ImportWithAssimp(entry.path().string(), {}, &warnings).Ok());
        const ToolResult<SceneDescription> got = ReadGltfFile(entry.path().string(), {}, &warnings);
        EXPECT_EQ(got.Ok(), it->second.empty());
        if (!got.Ok()) {
            EXPECT_NE(got.Error().Text().find(it->second), std::string::npos) << got.Error().Text();
        }
    }
    EXPECT_GE(files, 50u);
}

// --- Files written here ---------------------------------------------------------------

void Put(std::string* out, double v, int type) {
    std::uint32_t bits = 0;
    std::size_t size = 4;
    if (type == 5126) {
        const float f = static_cast<float>(v);
        std::memcpy(&bits, &f, 4);
    } else {
        bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(v));
        size = type == 5120 || type == 5121 ? 1 : type == 5122 || type == 5123 ? 2 : 4;
    }
    for (std::size_t k = 0; k < size; ++k) out->push_back(static_cast<char>(bits >> (8 * k) & 0xFF));
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0);
        for (std::size_t k = 0; k < 4; ++k) out += k <= bytes.size() - i ? digits[v >> (18 - 6 * k) & 63] : '=';
    }
    return out;
}

// A quad of two triangles under a node turned and moved by TRS, its positions, UVs and
// indices in the encoding given: accessor JSON with "@P", "@U" and "@I" for the bufferViews'
// byte offsets of the data appended by the encoding.
struct Encoding {
    const char* name;
    int mode;               // 4 triangles, 5 strip, 6 fan
    int indexType;          // 0: not indexed
    int uvType;             // 5126, or 5121/5123 normalized
    bool interleaved;       // positions and UVs in one view with byteStride 20
    bool sparse;            // positions as a sparse accessor over zeros
    const char* container;  // "data", "glb" or "file"
};

std::string WriteQuad(const Encoding& e, const fs::path& dir) {
    const double pos[4][3] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0.5}, {0, 1, 0}};
    const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0.2, 1}};  // 0.2 is whole in 8 and 16 bits
    std::vector<int> corners = e.mode == 5 ? std::vector<int>{1, 2, 0, 3} : e.mode == 6 ? std::vector<int>{0, 1, 2, 3}
                                                                                          : std::vector<int>{0, 1, 2, 0, 2, 3};
    std::vector<int> vertices = {0, 1, 2, 3};
    if (e.indexType == 0) vertices.swap(corners);
    const auto align = [](std::string* b) { b->resize((b->size() + 3) / 4 * 4, '\0'); };
    std::string bin, views, accessors;
    const auto view = [&](std::size_t start, int stride) {
        views += std::string(views.empty() ? "" : ",") + R"({"buffer":0,"byteOffset":)" + std::to_string(start) +
                 R"(,"byteLength":)" + std::to_string(bin.size() - start) +
                 (stride > 0 ? R"(,"byteStride":)" + std::to_string(stride) : "") + "}";
        return std::count(views.begin(), views.end(), '{') - 1;
    };
    const double scaleUv = e.uvType == 5121 ? 255 : e.uvType == 5123 ? 65535 : 1;
    const std::string n = std::to_string(vertices.size());
    const std::string uvAccessor = R"(,{"componentType":)" + std::to_string(e.uvType) + R"(,"count":)" + n +
                                   R"(,"type":"VEC2","normalized":)" + (e.uvType == 5126 ? "false" : "true");
    if (e.interleaved) {
        for (int v : vertices) {
            for (double c : pos[v]) Put(&bin, c, 5126);
            for (double c : uv[v]) Put(&bin, c, 5126);
        }
        const long shared = view(0, 20);
        accessors = R"({"bufferView":)" + std::to_string(shared) + R"(,"componentType":5126,"count":)" + n +
                    R"(,"type":"VEC3"},{"bufferView":)" + std::to_string(shared) + R"(,"byteOffset":12,"componentType":5126,"count":)" + n + R"(,"type":"VEC2"})";
    } else {
        std::size_t start = bin.size();
        if (e.sparse) {
            for (std::size_t v = 0; v < vertices.size(); ++v) Put(&bin, static_cast<double>(v), 5123);
            align(&bin);
            const long indices = view(start, 0);
            start = bin.size();
            for (int v : vertices)
                for (double c : pos[v]) Put(&bin, c, 5126);
            const long values = view(start, 0);
            accessors = R"({"componentType":5126,"count":)" + n + R"(,"type":"VEC3","sparse":{"count":)" + n +
                        R"(,"indices":{"bufferView":)" + std::to_string(indices) + R"(,"componentType":5123},"values":{"bufferView":)" +
                        std::to_string(values) + "}}}";
        } else {
            for (int v : vertices)
                for (double c : pos[v]) Put(&bin, c, 5126);
            accessors = R"({"bufferView":)" + std::to_string(view(start, 0)) + R"(,"componentType":5126,"count":)" + n + R"(,"type":"VEC3"})";
        }
        start = bin.size();
        for (int v : vertices) {
            for (double c : uv[v]) Put(&bin, c * scaleUv, e.uvType);
            align(&bin);  // each item on its own 4 bytes
        }
        accessors += uvAccessor.substr(0, 1) + R"({"bufferView":)" + std::to_string(view(start, e.uvType == 5126 ? 0 : 4)) + "," +
                     uvAccessor.substr(2) + "}";
    }
    std::string primitive = R"({"attributes":{"POSITION":0,"TEXCOORD_0":1},"material":0,"mode":)" + std::to_string(e.mode);
    if (e.indexType != 0) {
        const std::size_t start = bin.size();
        for (int c : corners) Put(&bin, c, e.indexType);
        align(&bin);
        accessors += R"(,{"bufferView":)" + std::to_string(view(start, 0)) + R"(,"componentType":)" + std::to_string(e.indexType) +
                     R"(,"count":)" + std::to_string(corners.size()) + R"(,"type":"SCALAR"})";
        primitive += R"(,"indices":2)";
    }
    const std::string container = e.container;
    const std::string uri = container == "glb" ? "" : container == "file" ? R"(,"uri":"quad%20data.bin")"
                                                                           : R"(,"uri":"data:application/octet-stream;base64,)" + Base64(bin) + "\"";
    std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)"
                       R"("nodes":[{"name":"quad","mesh":0,"translation":[1,2,3],"rotation":[0,0.6,0,0.8],"scale":[1,2,-1]}],)"
                       R"("materials":[{"name":"paint","pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,1]}}],)"
                       R"("meshes":[{"primitives":[)" + primitive + R"(}]}],"buffers":[{"byteLength":)" +
                       std::to_string(bin.size()) + uri + R"(}],"bufferViews":[)" + views + R"(],"accessors":[)" + accessors + "]}";
    const fs::path path = dir / (std::string(e.name) + (container == "glb" ? ".glb" : ".gltf"));
    if (container == "file") WriteFileBytes((dir / "quad data.bin").string(), bin);
    if (container != "glb") {
        WriteFileBytes(path.string(), json);
        return path.string();
    }
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::string glb = "glTF";
    for (std::size_t v : {std::size_t{2}, 28 + json.size() + bin.size(), json.size()}) Put(&glb, static_cast<double>(v), 5125);
    glb += "JSON" + json;
    Put(&glb, static_cast<double>(bin.size()), 5125);
    glb += std::string("BIN\0", 4) + bin;
    WriteFileBytes(path.string(), glb);
    return path.string();
}

TEST(GltfReader, ReadsEveryAccessorEncodingAlike) {
    const Encoding encodings[] = {
        {"plain", 4, 0, 5126, false, false, "data"},
        {"interleaved", 4, 5121, 5126, true, false, "glb"},
        {"ushort_uv8", 4, 5123, 5121, false, false, "file"},
        {"uint_uv16_sparse", 4, 5125, 5123, false, true, "data"},
        {"strip", 5, 5121, 5126, false, false, "data"},
        {"fan", 6, 5123, 5126, false, false, "glb"},
    };
    const fs::path dir = TestFolder();
    Warnings warnings;
    const std::string plain = WriteQuad(encodings[0], dir);
    ExpectAssimpsModel(plain);
    const ToolResult<SceneDescription> want = ReadGltfFile(plain, {}, &warnings);
    ASSERT_TRUE(want.Ok()) << want.Error().Text();
    ASSERT_EQ(test::MeasureScene(*want).triangles, 2u);
    // Assimp reads normalized texture coordinates as floats and does not decode a URI's %20,
    // so the others are held to the plain file.
    for (const Encoding& e : encodings) {
        SCOPED_TRACE(e.name);
        const ToolResult<SceneDescription> got = ReadGltfFile(WriteQuad(e, dir), {}, &warnings);
        ASSERT_TRUE(got.Ok()) << got.Error().Text();
        ExpectSameModel(*got, *want);
    }
}

TEST(GltfReader, RefusesHostileFilesNamingThePlace) {
    const fs::path dir = TestFolder();
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string glb = read(WriteQuad({"good", 4, 5123, 5126, false, false, "glb"}, dir));
    const std::string gltf = read(WriteQuad({"good", 4, 5123, 5126, false, false, "data"}, dir));
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string out = gltf;
        const std::size_t at = out.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? out : out.replace(at, from.size(), to);
    };
    struct Case {
        std::string name, bytes, error;
    };
    std::string sparse = read(WriteQuad({"sparse", 4, 0, 5126, false, true, "data"}, dir));
    std::string cut = glb;
    cut[15] = '\x7F';  // the JSON chunk's length past the end
    const Case cases[] = {
        {"cut.glb", cut, "byte 12: a chunk of "},
        {"syntax.gltf", replaced(R"("scene":0)", R"("scene":])"), "the JSON cannot be read: parse error at line 1, column"},
        {"view.gltf", replaced(R"("byteOffset":0,"byteLength":48)", R"("byteOffset":90,"byteLength":48)"),
         "bufferViews[0]: 48 bytes from byte 90, past the end of buffers[0] of 92"},
        {"count.gltf", replaced(R"("count":4,"type":"VEC3")", R"("count":5,"type":"VEC3")"), "accessors[0]: 5 items of 12 bytes"},
        {"cycle.gltf", replaced(R"("name":"quad",)", R"("name":"quad","children":[0],)"), "nodes[0] is reached twice"},
        {"mode.gltf", replaced(R"("mode":4)", R"("mode":9)"), "meshes[0].primitives[0].mode is not one of glTF's"},
        {"huge.gltf", replaced(R"("translation":[1,2,3])", R"("translation":[1,2,3e39])"),
         "node 'quad': its transform holds a value that is not finite"},
        {"sparse.gltf", sparse.replace(sparse.find(R"("count":6)"), 9, R"("count":5)"), "accessors[0].sparse: index 5 out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / c.name).string();
        WriteFileBytes(path, c.bytes);
        Warnings warnings;
        const ToolResult<SceneDescription> read = ReadGltfFile(path, {}, &warnings);
        ASSERT_FALSE(read.Ok());
        EXPECT_NE(read.Error().Text().find(path + ": " + c.error), std::string::npos) << read.Error().Text();
    }
}

}  // namespace
}  // namespace wux
