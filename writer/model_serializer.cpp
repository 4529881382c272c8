#include "writer/model_serializer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "model/export_model.h"
#include "writer/byte_buffer.h"
#include "format/wux_format.h"

static_assert(MaterialChunk::kMaxMaps == static_cast<int>(wux_file::kMaxMaps), "a GMAT chunk holds the record's map slots");
static_assert(MaterialChunk::kColourWords == static_cast<int>(wux_file::kColourWords),
              "a GMAT colour block holds the record's words");

namespace {

// Visits the records of a list in append order, with their numbers. Walks the
// nodes rather than the list's cursor, so that writing leaves the model exactly
// as it was.
template <typename Record, typename Visit>
bool ForEachRecord(const RecordList& list, Visit visit) {
    const RecordListNode* node = list.head->next;
    for (int32_t i = 0; i < list.count(); ++i) {
        if (node == nullptr || node->record == nullptr) return false;
        if (!visit(static_cast<const Record&>(*node->record), i)) return false;
        node = node->next;
    }
    return true;
}

bool Fail(SaveError* error, SaveError::Kind kind, std::string message, const char* cause = nullptr) {
    if (error == nullptr) return false;
    error->kind = kind;
    error->message = std::move(message);
    if (cause != nullptr) error->cause = cause;
    return false;
}

// Strings longer than this cannot have their padded length stored in a u32.
constexpr uint64_t kMaxStringLength = std::numeric_limits<uint32_t>::max() - 8;

uint64_t PaddedSize(const std::string& text) { return 4 + wux_file::PaddedLength(text.size()); }

uint64_t MaterialChunkSize(const MaterialChunk& material) {
    uint64_t size = wux_file::kChunkHeadSize + PaddedSize(material.name) + wux_file::kColourBlockSize + 4;
    for (int32_t m = 0; m < material.mapCount; ++m) size += 4 + PaddedSize(material.maps[m].fileName) + 4;
    return size;
}

uint64_t VertexChunkSize(const VertexChunk& mesh) {
    return wux_file::kMeshHeadSize + wux_file::kBytesPerVertex * static_cast<uint64_t>(mesh.vertexCount) +
           wux_file::kBytesPerTriangle * static_cast<uint64_t>(mesh.faceCount);
}

uint64_t BoundChunkSize(const BoundChunk& bounds) {
    return wux_file::kBoundHeadSize + wux_file::kSphereSize * static_cast<uint64_t>(bounds.spheres->count());
}

// --- output ---------------------------------------------------------------

void PutChunkHead(ByteBuffer& out, const char* tag, uint64_t size) {
    out.putTag(tag);
    out.putU32(static_cast<uint32_t>(size));
    out.putU32(wux_file::kMagic);
}

// A padded string: a u32 P, the L characters, then P - L zero bytes (always at least one).
void PutString(ByteBuffer& out, const std::string& text) {
    const size_t length = std::strlen(text.c_str());
    const uint32_t padded = static_cast<uint32_t>(wux_file::PaddedLength(length));
    out.putU32(padded);
    out.putBytes(text.c_str(), length);
    out.putZeros(padded - length);
}

// Stores values one after another from p.
void StoreF32s(uint8_t* p, std::initializer_list<float> values) {
    for (float value : values) {
        ByteBuffer::storeF32(p, value);
        p += 4;
    }
}

void PutMaterial(ByteBuffer& out, const MaterialChunk& material) {
    PutChunkHead(out, wux_file::kMaterialTag, MaterialChunkSize(material));
    PutString(out, material.name);
    uint8_t* p = out.room(wux_file::kColourBlockSize);
    for (int w = 0; w < MaterialChunk::kColourWords; ++w) ByteBuffer::storeF32(p + 4 * w, material.colourBlock[w]);
    out.putI32(material.mapCount);
    for (int32_t m = 0; m < material.mapCount; ++m) {
        const MaterialMap& map = material.maps[m];
        out.putI32(map.channel);
        PutString(out, map.fileName);
        out.putF32(map.amount);
    }
}

// On a little-endian machine with IEEE-754 floats the model's mesh arrays
// already hold their file bytes: 4-byte fields (2-byte indices) in file order,
// without padding. They are then handed over whole; other machines store them
// field by field.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kArraysInFileOrder = std::numeric_limits<float>::is_iec559;
#else
constexpr bool kArraysInFileOrder = false;
#endif
static_assert(!kArraysInFileOrder || (sizeof(MeshVertex) == wux_file::kVertexSize && offsetof(MeshVertex, x) == 0 &&
                                      offsetof(MeshVertex, y) == 4 && offsetof(MeshVertex, z) == 8 &&
                                      offsetof(MeshVertex, u) == 12 && offsetof(MeshVertex, v) == 16),
              "a MeshVertex array is written as it lies in memory");
static_assert(!kArraysInFileOrder || (sizeof(MeshNormal) == wux_file::kNormalSize && offsetof(MeshNormal, x) == 0 &&
                                      offsetof(MeshNormal, y) == 4 && offsetof(MeshNormal, z) == 8),
              "a MeshNormal array is written as it lies in memory");

// The arrays of a mesh are the bulk of a large file: each is stored in tight
// loops, a block at a time, straight into the buffer, or handed over whole
// when its memory is its file form.
template <typename Element, size_t kStride, typename Store>
void PutArray(ByteBuffer& out, const Element* items, size_t count, Store store) {
    if constexpr (kArraysInFileOrder) {
        static_assert(sizeof(Element) == kStride, "no padding between elements");
        const size_t size = count * kStride;
        if (size >= out.directSize()) {
            out.putBytes(items, size);
        } else if (size != 0) {
            std::memcpy(out.room(size), items, size);  // small meshes: no call for a few bytes
        }
        return;
    }
    const size_t perBlock = out.blockSize() / kStride;
    while (count != 0) {
        const size_t n = std::min(count, perBlock);
        uint8_t* p = out.room(n * kStride);
        for (size_t i = 0; i < n; ++i, p += kStride) store(p, items[i]);
        items += n;
        count -= n;
    }
}

void PutMesh(ByteBuffer& out, const VertexChunk& mesh) {
    PutChunkHead(out, wux_file::kMeshTag, VertexChunkSize(mesh));
    out.putI32(mesh.materialIndex);
    out.putU32(wux_file::kMeshConstantBits);
    out.putI32(mesh.vertexCount);
    out.putI32(mesh.faceCount);
    const size_t vertexCount = static_cast<size_t>(mesh.vertexCount);
    const size_t cornerCount = 3 * static_cast<size_t>(mesh.faceCount);
    PutArray<MeshVertex, wux_file::kVertexSize>(out, mesh.vertices.get(), vertexCount, [](uint8_t* p, const MeshVertex& v) {
        StoreF32s(p, {v.x, v.y, v.z, v.u, v.v});
    });
    PutArray<uint16_t, 2>(out, mesh.triangles.get(), cornerCount, ByteBuffer::store<uint16_t>);
    PutArray<MeshNormal, wux_file::kNormalSize>(out, mesh.normals.get(), vertexCount,
                                                [](uint8_t* p, const MeshNormal& n) { StoreF32s(p, {n.x, n.y, n.z}); });
    PutArray<uint32_t, 4>(out, mesh.faceBlocks.get(), cornerCount, ByteBuffer::store<uint32_t>);
}

void PutSphere(ByteBuffer& out, const BoundSphere& sphere) {
    StoreF32s(out.room(wux_file::kSphereSize), {sphere.x, sphere.y, sphere.z, sphere.radius});
}

void PutBounds(ByteBuffer& out, const BoundChunk& bounds) {
    PutChunkHead(out, wux_file::kBoundTag, BoundChunkSize(bounds));
    PutSphere(out, *bounds.mainSphere);
    out.putI32(bounds.spheres->count());
    ForEachRecord<BoundSphere>(*bounds.spheres, [&](const BoundSphere& sphere, int32_t) {
        PutSphere(out, sphere);
        return true;
    });
}

void PutEllipsoid(ByteBuffer& out, const EllipsoidChunk& ellipsoid) {
    PutChunkHead(out, wux_file::kEllipsoidTag, wux_file::kEllipsoidChunkSize);
    for (float value : ellipsoid.centre) out.putF32(value);
    for (float value : ellipsoid.semiAxes) out.putF32(value);
}

void PutReferences(ByteBuffer& out, const ReferenceChunk& references, uint64_t size) {
    PutChunkHead(out, wux_file::kReferenceTag, size);
    out.putI32(references.entries->count());
    ForEachRecord<ReferenceEntry>(*references.entries, [&](const ReferenceEntry& entry, int32_t) {
        PutString(out, entry.name);
        uint8_t* p = out.room(wux_file::kReferenceEntryTail);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column, p += 4) ByteBuffer::storeF32(p, entry.transform[row][column]);
        for (int axis = 0; axis < 3; ++axis, p += 4) ByteBuffer::storeF32(p, entry.halfExtents[axis]);
        ByteBuffer::store(p, wux_file::kReferenceEndWord);
        return true;
    });
}

}  // namespace

bool MeasureModel(const ExportModel& model, ModelLayout* layout, SaveError* error) {
    using Kind = SaveError::Kind;
    if (!model.materials || !model.meshes || !model.references || !model.references->entries || !model.bounds ||
        !model.bounds->mainSphere || !model.bounds->spheres)
        return Fail(error, Kind::InvalidModel, "the export model is incomplete");
    std::string problem;
    uint64_t size = wux_file::kFileHeadSize + wux_file::kInfoChunkSize;

    bool ok = ForEachRecord<MaterialChunk>(*model.materials, [&](const MaterialChunk& material, int32_t number) {
        if (material.mapCount < 0 || material.mapCount > MaterialChunk::kMaxMaps) {
            problem = "material " + std::to_string(number) + " (\"" + material.name + "\") has " +
                      std::to_string(material.mapCount) + " maps";
            return false;
        }
        bool longName = material.name.size() > kMaxStringLength;
        for (int32_t m = 0; m < material.mapCount; ++m) longName |= material.maps[m].fileName.size() > kMaxStringLength;
        if (longName) {
            problem = "material " + std::to_string(number) + " has a name too long for the file";
            return false;
        }
        size += MaterialChunkSize(material);
        return true;
    });
    if (ok) {
        ok = ForEachRecord<VertexChunk>(*model.meshes, [&](const VertexChunk& mesh, int32_t number) {
            const bool countsOk = mesh.vertexCount >= 0 && mesh.faceCount >= 0;
            const bool arraysOk = (mesh.vertexCount == 0 || (mesh.vertices && mesh.normals)) &&
                                  (mesh.faceCount == 0 || (mesh.triangles && mesh.faceBlocks));
            if (!countsOk || !arraysOk) {
                problem = "mesh " + std::to_string(number) + " has " + std::to_string(mesh.vertexCount) +
                          " vertices and " + std::to_string(mesh.faceCount) + " faces but " +
                          (countsOk ? "not the arrays for them" : "a negative count");
                return false;
            }
            size += VertexChunkSize(mesh);
            return true;
        });
    }
    if (!ok) return Fail(error, Kind::InvalidModel, problem.empty() ? "a list of the export model is broken" : problem);
    size += BoundChunkSize(*model.bounds);
    if (model.ellipsoid) size += wux_file::kEllipsoidChunkSize;

    layout->infoSize = size - wux_file::kFileHeadSize;
    layout->refSize = wux_file::kReferenceHeadSize;
    ok = ForEachRecord<ReferenceEntry>(*model.references->entries, [&](const ReferenceEntry& entry, int32_t) {
        if (entry.name.size() > kMaxStringLength) return false;
        layout->refSize += PaddedSize(entry.name) + wux_file::kReferenceEntryTail;
        return true;
    });
    if (!ok) return Fail(error, Kind::InvalidModel, "a reference entry is missing or has a name too long for the file");
    size += layout->refSize;
    if (size > std::numeric_limits<uint32_t>::max())
        return Fail(error, Kind::TooLarge,
                    "the model needs " + std::to_string(size) + " bytes, more than a WUX file can hold (4 GiB)",
                    kTooLargeCause);
    layout->fileSize = size;
    return true;
}

bool SerializeModel(const ExportModel& model, ByteBuffer& out, SaveError* error) {
    ModelLayout layout;
    if (!MeasureModel(model, &layout, error)) return false;
    const uint64_t start = out.totalBytes();

    out.putTag(wux_file::kFileTag);
    out.putU32(static_cast<uint32_t>(layout.fileSize));
    out.putTag(wux_file::kFormTag);
    PutChunkHead(out, wux_file::kInfoTag, layout.infoSize);
    out.putZeros(wux_file::kInfoReservedWords * 4);
    out.putU32(wux_file::kInfoScaleBits);
    out.putI32(model.meshCount);
    out.putI32(model.materialCount);

    ForEachRecord<MaterialChunk>(*model.materials, [&](const MaterialChunk& material, int32_t) {
        PutMaterial(out, material);
        return true;
    });
    ForEachRecord<VertexChunk>(*model.meshes, [&](const VertexChunk& mesh, int32_t) {
        PutMesh(out, mesh);
        return !out.failed();  // a full disk need not be fed the rest of a large model
    });
    if (!out.failed()) {
        PutBounds(out, *model.bounds);
        if (model.ellipsoid) PutEllipsoid(out, *model.ellipsoid);
        PutReferences(out, *model.references, layout.refSize);
    }
    if (out.failed()) return Fail(error, SaveError::Kind::WriteFailed, "");
    if (out.totalBytes() - start != layout.fileSize)  // the size fields would lie
        return Fail(error, SaveError::Kind::InvalidModel, "the export model changed while it was written");
    return true;
}
