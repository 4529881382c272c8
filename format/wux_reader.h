// Reads a WUX file from memory in two layers. The framing layer finds the LIBF head, the
// IDFM form word, the GNFO chunk with the chunks it encloses and the GREF chunk after it;
// the content layer turns each chunk's bytes into plain values. The reader rejects only
// what it cannot interpret (a wrong tag, a size or count that runs past its chunk or the
// file); every other deviation is kept in the values, with the byte offsets the checker
// needs to report it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "format/wux_format.h"

namespace wux {

// A view of the whole file held in memory.
struct ByteSpan {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

inline ByteSpan SpanOf(const std::vector<std::uint8_t>& bytes) { return ByteSpan{bytes.data(), bytes.size()}; }

// One chunk as the framing layer found it.
struct ChunkInfo {
    std::string tag;               // the four tag bytes, as they are
    std::size_t offset = 0;        // of the first tag byte
    std::uint32_t blockSize = 0;   // as written
    std::uint32_t magic = 0;       // as written
    std::size_t contentSize = 0;   // bytes the content layer read, head included
    int ordinal = 0;               // position among the chunks of the same tag, from 0
};

// A padded string field: u32 P, then P bytes holding the characters and zero padding.
struct PaddedString {
    std::string text;              // the bytes before the first zero within the P bytes
    std::size_t offset = 0;        // of the P field
    std::uint32_t paddedLength = 0;  // P as written
};

struct Header {
    std::uint32_t fileSizeField = 0;   // the LIBF size as written
    std::size_t fileLength = 0;        // the real length of the bytes read
    ChunkInfo gnfo;
    std::array<std::uint32_t, 6> reserved{};
    float one = 0.0f;                  // written as 1.0
    std::uint32_t meshCount = 0;
    std::uint32_t materialCount = 0;
    std::size_t trailingBytes = 0;     // bytes after the end of the GREF chunk
};

struct MapEntry {
    std::size_t offset = 0;            // of the channel field
    std::uint32_t channel = 0;
    PaddedString fileName;
    float amount = 0.0f;
};

struct Material {
    ChunkInfo chunk;
    PaddedString name;
    std::size_t colourOffset = 0;      // of word 0 of the colour block
    std::array<float, wux_file::kColourWords> colourBlock{};
    std::uint32_t mapCount = 0;
    std::vector<MapEntry> maps;     // all mapCount entries as read

    std::array<float, 3> Diffuse() const { return Colour(wux_file::kDiffuseWord); }
    std::array<float, 3> Ambient() const { return Colour(wux_file::kAmbientWord); }
    float Opacity() const { return colourBlock[wux_file::kOpacityWord]; }
    std::array<float, 3> Specular() const { return Colour(wux_file::kSpecularWord); }
    std::array<float, 3> Filter() const { return Colour(wux_file::kFilterWord); }

private:
    std::array<float, 3> Colour(int word) const {
        return {colourBlock[word], colourBlock[word + 1], colourBlock[word + 2]};
    }
};

struct Vertex {
    float x = 0, y = 0, z = 0, u = 0, v = 0;
};

struct MeshChunk {
    ChunkInfo chunk;
    std::int32_t materialIndex = 0;
    float constant = 0.0f;             // written as 1495.5589599609375
    std::uint32_t vertexCount = 0;
    std::uint32_t faceCount = 0;
    std::vector<Vertex> vertices;
    std::vector<std::array<std::uint16_t, 3>> triangles;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<std::uint32_t, 3>> faceBlocks;

    // Where each array starts in the file.
    std::size_t VerticesOffset() const { return chunk.offset + wux_file::kMeshHeadSize; }
    std::size_t TrianglesOffset() const { return VerticesOffset() + wux_file::kVertexSize * vertexCount; }
    std::size_t NormalsOffset() const { return TrianglesOffset() + wux_file::kTriangleSize * faceCount; }
    std::size_t FaceBlocksOffset() const { return NormalsOffset() + wux_file::kNormalSize * vertexCount; }
};

struct Box {
    std::array<float, 3> min{};
    std::array<float, 3> max{};
};

// The box around a mesh's vertex positions; none for a mesh without vertices.
std::optional<Box> BoundingBox(const MeshChunk& mesh);

struct Sphere {
    std::array<float, 3> centre{};
    float radius = 0.0f;
};

struct Bounds {
    ChunkInfo chunk;
    Sphere mainSphere;
    std::uint32_t sphereCount = 0;
    std::vector<Sphere> spheres;
};

struct Ellipsoid {
    ChunkInfo chunk;
    std::array<float, 3> centre{};
    std::array<float, 3> semiAxes{};
};

struct Reference {
    std::size_t offset = 0;            // of the entry's name field
    PaddedString name;
    std::array<float, 16> transform{};  // 4 rows of 4, row by row
    std::array<float, 3> halfExtents{};
    std::uint32_t endWord = 0;         // written as 0xFFDCAAF0

    // Where the transform starts in the file.
    std::size_t TransformOffset() const { return name.offset + 4 + name.paddedLength; }
};

struct References {
    ChunkInfo chunk;
    std::uint32_t entryCount = 0;
    std::vector<Reference> entries;
};

struct WuxFile {
    Header header;
    std::vector<ChunkInfo> chunks;  // the chunks inside GNFO, in file order
    std::vector<Material> materials;
    std::vector<MeshChunk> meshes;
    std::vector<Bounds> bounds;        // one in a valid file
    std::vector<Ellipsoid> ellipsoids;  // none or one in a valid file
    References references;
};

// A file that cannot be interpreted gives an error of kind Truncated, BadTag, BadSize or
// BadCount, with the offset of the offending field and a message naming the chunk and field,
// e.g. "GVTX #2: vertex count ...".
ToolResult<WuxFile> ReadWux(ByteSpan bytes);

// The same, with every mesh's four arrays left empty (their size is checked all the same), so
// that a file of any size can be read; ReadMeshArrays then fills one mesh's arrays at a time.
ToolResult<WuxFile> ReadWuxWithoutMeshArrays(ByteSpan bytes);
// For a mesh read by ReadWuxWithoutMeshArrays from the same bytes; cannot fail.
void ReadMeshArrays(ByteSpan bytes, MeshChunk* mesh);

// "GVTX #2": the chunk's tag and its place among the chunks of that tag.
std::string ChunkName(const ChunkInfo& chunk);

}  // namespace wux
