#pragma once

#include <cstdint>

// Constants of the WUX file format (see docs/wux-format.md).
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

// Triangle corners are u16 indices into the mesh's own vertices, three per triangle,
// so one GVTX chunk holds at most 21,845 triangles (highest index 65,534).
constexpr uint32_t kMaxTrianglesPerMesh = 21845;

constexpr uint64_t kFileHeadSize = 12;          // "LIBF", file_size, "IDFM"
constexpr uint64_t kChunkHeadSize = 12;         // block_sign, block_size, magic
constexpr uint64_t kInfoReservedWords = 6;
constexpr uint64_t kInfoChunkSize = 48;
constexpr uint64_t kColourBlockSize = 76;       // 19 f32
constexpr uint64_t kMeshHeadSize = 28;          // head, material index, constant, two counts
constexpr uint64_t kBoundHeadSize = 32;         // head, main sphere, sphere count
constexpr uint64_t kEllipsoidChunkSize = 36;
constexpr uint64_t kReferenceHeadSize = 16;     // head, entry count
constexpr uint64_t kReferenceEntryTail = 80;    // matrix, half extents, end word

}  // namespace wux_file
