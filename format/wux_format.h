// The WUX file layout (docs/wux-format.md): every tag, size, offset and constant word, in
// one place for the writer, the collectors, the reader and the checker. Plain C++ with no
// project includes, so that the plug-in's Windows build uses it as it is.
#pragma once

#include <cstdint>
#include <cstring>

namespace wux_file {

constexpr const char* kFileTag = "LIBF";
constexpr const char* kFormTag = "IDFM";
constexpr const char* kInfoTag = "GNFO";
constexpr const char* kMaterialTag = "GMAT";
constexpr const char* kMeshTag = "GVTX";
constexpr const char* kBoundTag = "GBND";
constexpr const char* kEllipsoidTag = "GELP";
constexpr const char* kReferenceTag = "GREF";

constexpr uint32_t kMagic = 100;                        // third word of every chunk head
constexpr uint32_t kInfoScaleBits = 0x3F800000;         // f32 1.0 in the GNFO chunk
constexpr uint32_t kMeshConstantBits = 0x44BAF1E3;      // f32 1495.5589599609375 in every GVTX chunk
constexpr uint32_t kReferenceEndWord = 0xFFDCAAF0;      // closes every GREF entry
constexpr uint32_t kColourWordEndBits = 0x421C0000;     // f32 39.0, last word of a colour block
constexpr uint32_t kMaxMaps = 12;                       // map slots of a standard material
constexpr uint32_t kDiffuseMapChannel = 1;              // the diffuse map's slot in a map entry

// Triangle corners are u16 indices into the mesh's own vertices, three per triangle,
// so one GVTX chunk holds at most 21,845 triangles (highest index 65,534).
constexpr uint32_t kMaxTrianglesPerMesh = 21845;

// The raw bits of an f32 as the file stores it, and back.
inline uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A padded string: u32 P, then P bytes, the characters and at least one zero, P a
// multiple of 4.
constexpr uint64_t PaddedLength(uint64_t length) { return 4 * (length / 4) + 4; }

// The file head and the GNFO chunk, at fixed offsets.
constexpr uint64_t kFileHeadSize = 12;          // "LIBF", file_size, "IDFM"
constexpr uint64_t kFileSizeOffset = 4;
constexpr uint64_t kFormTagOffset = 8;
constexpr uint64_t kChunkHeadSize = 12;         // block_sign, block_size, magic
constexpr uint64_t kBlockSizeOffset = 4;        // within a chunk head
constexpr uint64_t kMagicOffset = 8;            // within a chunk head
constexpr uint64_t kInfoOffset = kFileHeadSize;
constexpr uint64_t kInfoReservedWords = 6;
constexpr uint64_t kInfoReservedOffset = kInfoOffset + kChunkHeadSize;                   // 24
constexpr uint64_t kInfoScaleOffset = kInfoReservedOffset + 4 * kInfoReservedWords;      // 48
constexpr uint64_t kInfoMeshCountOffset = kInfoScaleOffset + 4;                          // 52
constexpr uint64_t kInfoMaterialCountOffset = kInfoMeshCountOffset + 4;                  // 56
constexpr uint64_t kInfoChunkSize = kInfoMaterialCountOffset + 4 - kInfoOffset;          // 48

// GMAT: head, padded name, colour block, map count, map entries.
constexpr uint64_t kColourWords = 19;
constexpr uint64_t kColourBlockSize = 4 * kColourWords;  // 76
// Word layout of the colour block: three-word colours start at these words.
constexpr int kDiffuseWord = 2;
constexpr int kAmbientWord = 6;
constexpr int kOpacityWord = 9;
constexpr int kSpecularWord = 10;
constexpr int kFilterWord = 14;
// The words of a colour block that always hold the same value.
struct ColourConstant {
    int word;
    uint32_t bits;
};
constexpr uint32_t kZeroBits = 0;
constexpr ColourConstant kColourConstants[] = {{0, kZeroBits},      {1, kZeroBits},      {5, kInfoScaleBits},
                                               {13, kInfoScaleBits}, {17, kInfoScaleBits}, {18, kColourWordEndBits}};
// A map entry: channel, padded file name, amount; at least 12 bytes (an empty padded
// string is its 4-byte length alone).
constexpr uint64_t kMinMapEntrySize = 4 + 4 + 4;

// GVTX: head, material index, constant, vertex count, face count, then the arrays.
constexpr uint64_t kMeshMaterialOffset = 12;    // within the chunk
constexpr uint64_t kMeshConstantOffset = 16;
constexpr uint64_t kMeshVertexCountOffset = 20;
constexpr uint64_t kMeshFaceCountOffset = 24;
constexpr uint64_t kMeshHeadSize = 28;
constexpr uint64_t kVertexSize = 20;            // x, y, z, u, v
constexpr uint64_t kTriangleSize = 6;           // three u16 corners
constexpr uint64_t kNormalSize = 12;            // one per vertex
constexpr uint64_t kFaceBlockSize = 12;         // three zero words per triangle
constexpr uint64_t kBytesPerVertex = kVertexSize + kNormalSize;        // 32
constexpr uint64_t kBytesPerTriangle = kTriangleSize + kFaceBlockSize;  // 18

// GBND: head, main sphere, sphere count, spheres.
constexpr uint64_t kSphereSize = 16;            // centre, radius
constexpr uint64_t kSphereRadiusOffset = 12;    // within a sphere
constexpr uint64_t kBoundHeadSize = kChunkHeadSize + kSphereSize + 4;  // 32

// GELP: head, centre, semi-axes.
constexpr uint64_t kEllipsoidSemiAxesOffset = kChunkHeadSize + 12;  // within the chunk
constexpr uint64_t kEllipsoidChunkSize = kEllipsoidSemiAxesOffset + 12;  // 36

// GREF: head, entry count, entries of padded name, 4x4 transform, half extents, end word.
constexpr uint64_t kReferenceHeadSize = kChunkHeadSize + 4;     // 16
constexpr uint64_t kTransformSize = 64;         // 4 rows of 4 f32, the last of each row 0.0
constexpr uint64_t kTransformRowSize = 16;
constexpr uint64_t kHalfExtentsSize = 12;
constexpr uint64_t kReferenceEntryTail = kTransformSize + kHalfExtentsSize + 4;  // 80
constexpr uint64_t kMinReferenceEntrySize = 4 + kReferenceEntryTail;            // 84

}  // namespace wux_file
