#include "format/wux_reader.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "format/tool_text.h"
#include "format/wux_format.h"

namespace wux {
namespace {

using namespace wux_file;

// Thrown inside the reader only, and returned as the result's error by OpenWux.
[[noreturn]] void Fail(ToolError::Kind kind, std::size_t offset, std::string message) {
    throw ToolError{kind, "", "", offset, std::move(message)};
}

std::uint32_t LoadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::string TagAt(ByteSpan bytes, std::size_t pos) { return std::string(reinterpret_cast<const char*>(bytes.data + pos), 4); }

// Reads little-endian fields from [pos, end) of the file; a read past end fails with the
// place named. Every comparison is of the form n > end - pos, which cannot overflow.
struct Cursor {
    ByteSpan bytes;
    std::size_t pos;
    std::size_t end;
    std::string where;
    const char* limit;

    void Need(std::size_t n, const char* field) {
        if (n > end - pos) {
            Fail(ToolError::Kind::Truncated, pos,
                 where + ": " + field + " (" + std::to_string(n) + " bytes) runs past the end of " +
                     limit + " (" + std::to_string(end - pos) + " bytes left)");
        }
    }

    // What a count or length at offset `at` claims must fit in what is left: claim names it
    // and the bytes it needs ("map count 3 needs at least 36").
    void Holds(std::uint64_t needed, std::size_t at, const std::string& claim) {
        if (needed > end - pos) {
            Fail(ToolError::Kind::BadCount, at,
                 where + ": " + claim + " bytes, but " + limit + " holds only " + std::to_string(end - pos) + " more");
        }
    }

    // A u32 count of entries of at least minEntrySize bytes each, which must fit in what is left.
    std::uint32_t Count(std::uint64_t minEntrySize, const char* what) {
        const std::size_t countOffset = pos;
        const std::uint32_t count = U32(what);
        const std::uint64_t needed = count * minEntrySize;  // both below 2^32: no overflow
        Holds(needed, countOffset, std::string(what) + " " + std::to_string(count) + " needs at least " + std::to_string(needed));
        return count;
    }

    void Skip(std::size_t n, const char* field) {
        Need(n, field);
        pos += n;
    }

    std::uint32_t U32(const char* field) {
        Need(4, field);
        pos += 4;
        return LoadU32(bytes.data + pos - 4);
    }
    std::uint16_t U16(const char* field) {
        Need(2, field);
        pos += 2;
        return static_cast<std::uint16_t>(bytes.data[pos - 2] | bytes.data[pos - 1] << 8);
    }
    float F32(const char* field) { return FloatFromBits(U32(field)); }

    void Floats(float* out, std::size_t n, const char* field) {
        Need(4 * n, field);
        for (std::size_t i = 0; i < n; ++i) out[i] = F32(field);
    }

    // A padded string's text; its field goes to *fields.
    std::string Padded(const char* field, std::vector<StringField>* fields) {
        StringField s;
        s.offset = pos;
        s.paddedLength = U32(field);
        Holds(s.paddedLength, s.offset, std::string(field) + " claims " + std::to_string(s.paddedLength));
        const auto* first = bytes.data + pos;
        const auto* last = first + s.paddedLength;
        const auto* zero = std::find(first, last, std::uint8_t{0});
        s.padding.assign(zero, last);
        pos += s.paddedLength;
        fields->push_back(std::move(s));
        return std::string(first, zero);
    }
};

// The chunk head at pos, which the caller has found within end; the chunk must fit in [pos, end).
ChunkInfo ReadChunkHead(ByteSpan bytes, std::size_t pos, std::size_t end, const char* limit) {
    const ChunkInfo chunk{TagAt(bytes, pos), pos, LoadU32(bytes.data + pos + kBlockSizeOffset),
                          LoadU32(bytes.data + pos + kMagicOffset)};
    const std::string tag = PrintableText(chunk.tag);
    if (chunk.blockSize < kChunkHeadSize) {
        Fail(ToolError::Kind::BadSize, pos + kBlockSizeOffset,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) +
                 " is smaller than its " + std::to_string(kChunkHeadSize) + "-byte head");
    }
    if (chunk.blockSize > end - pos) {
        Fail(ToolError::Kind::Truncated, pos + kBlockSizeOffset,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) + " runs past the end of " +
                 limit + " (" + std::to_string(end - pos) + " bytes left)");
    }
    return chunk;
}

// The GNFO or GREF chunk, which must stand at pos; place follows the offset in the message
// of a wrong tag, missing is the message when the file ends first.
ChunkInfo ExpectChunk(ByteSpan bytes, std::size_t pos, const char* tag, const char* place, const std::string& missing) {
    if (kChunkHeadSize > bytes.size - pos) Fail(ToolError::Kind::Truncated, pos, missing);
    if (TagAt(bytes, pos) != tag) {
        Fail(ToolError::Kind::BadTag, pos,
             "expected the " + std::string(tag) + " chunk at offset " + std::to_string(pos) + place + ", found \"" +
                 PrintableText(TagAt(bytes, pos)) + "\"");
    }
    return ReadChunkHead(bytes, pos, bytes.size, "the file");
}

// The chunks inside GNFO, which follow each other directly up to its end.
std::vector<ChunkInfo> ReadInnerChunks(ByteSpan bytes, const ChunkInfo& gnfo) {
    std::vector<ChunkInfo> inner;
    const std::size_t gnfoEnd = gnfo.offset + gnfo.blockSize;
    int ordinals[4] = {0, 0, 0, 0};
    static const std::string kInnerTags[4] = {kMaterialTag, kMeshTag, kBoundTag, kEllipsoidTag};
    std::size_t pos = gnfo.offset + kInfoChunkSize;
    while (pos < gnfoEnd) {  // every step advances by at least 12 bytes
        if (kChunkHeadSize > gnfoEnd - pos) {
            Fail(ToolError::Kind::Truncated, pos,
                 "chunk at offset " + std::to_string(pos) + ": its head runs past the end of GNFO at offset " +
                     std::to_string(gnfoEnd) + " (GNFO block_size " + std::to_string(gnfo.blockSize) + ")");
        }
        const auto known = std::find(std::begin(kInnerTags), std::end(kInnerTags), TagAt(bytes, pos));
        if (known == std::end(kInnerTags)) {
            Fail(ToolError::Kind::BadTag, pos,
                 "chunk at offset " + std::to_string(pos) + " inside GNFO: unknown tag \"" +
                     PrintableText(TagAt(bytes, pos)) + "\" (GMAT, GVTX, GBND or GELP expected)");
        }
        ChunkInfo chunk = ReadChunkHead(bytes, pos, gnfoEnd, "the GNFO chunk");
        chunk.ordinal = ordinals[known - std::begin(kInnerTags)]++;
        inner.push_back(chunk);
        pos += chunk.blockSize;
    }
    return inner;
}

// Where every chunk is, and the file head's words; nothing of the chunks' content.
void ReadFraming(ByteSpan bytes, WuxDocument& doc) {
    doc.fileLength = bytes.size;
    Cursor{bytes, 0, bytes.size, "file head", "the file"}.Need(kFileHeadSize, "LIBF head and IDFM form word");
    for (const auto& [offset, tag, what] :
         {std::tuple{std::size_t{0}, kFileTag, ""}, {kFormTagOffset, kFormTag, "the form word "}}) {
        if (TagAt(bytes, offset) != tag) {
            Fail(ToolError::Kind::BadTag, offset,
                 "file head: expected " + std::string(what) + "\"" + tag + "\", found \"" +
                     PrintableText(TagAt(bytes, offset)) + "\"");
        }
    }
    doc.fileSizeField = LoadU32(bytes.data + kFileSizeOffset);
    doc.gnfo = ExpectChunk(bytes, kInfoOffset, kInfoTag, "", "GNFO chunk: missing, the file ends after the form word");
    if (doc.gnfo.blockSize < kInfoChunkSize) {
        Fail(ToolError::Kind::BadSize, kInfoOffset + kBlockSizeOffset,
             "GNFO chunk: block_size " + std::to_string(doc.gnfo.blockSize) + " is smaller than its " +
                 std::to_string(kInfoChunkSize) + "-byte body");
    }
    doc.gnfo.contentSize = kInfoChunkSize;
    doc.chunks = ReadInnerChunks(bytes, doc.gnfo);

    // GREF follows GNFO and ends the file.
    const std::size_t gnfoEnd = kInfoOffset + doc.gnfo.blockSize;
    doc.gref = ExpectChunk(bytes, gnfoEnd, kReferenceTag, " (after GNFO)",
                           "GREF chunk: expected at offset " + std::to_string(gnfoEnd) +
                               " (after GNFO), but the file ends there or its head is cut short");
    doc.trailingBytes = bytes.size - gnfoEnd - doc.gref.blockSize;
}

void ReadGnfoBody(ByteSpan bytes, WuxDocument& doc) {
    Cursor c{bytes, kInfoOffset + kChunkHeadSize, kInfoOffset + kInfoChunkSize, kInfoTag, "the GNFO chunk"};
    for (auto& word : doc.reserved) word = c.U32("reserved word");
    doc.scaleBits = c.U32("1.0 word");
    doc.model->meshCount = static_cast<std::int32_t>(c.U32("mesh count"));
    doc.model->materialCount = static_cast<std::int32_t>(c.U32("material count"));
}

void ReadMaterial(Cursor& c, WuxDocument& doc) {
    auto m = std::make_unique<MaterialChunk>(c.Padded("name", &doc.strings).c_str());
    c.Floats(m->colourBlock, kColourWords, "colour block");
    const std::size_t countOffset = c.pos;
    const std::uint32_t count = c.Count(kMinMapEntrySize, "map count");
    if (count > kMaxMaps) {
        Fail(ToolError::Kind::BadCount, countOffset,
             c.where + ": map count " + std::to_string(count) + " exceeds " + std::to_string(kMaxMaps));
    }
    m->mapCount = static_cast<std::int32_t>(count);
    for (std::int32_t i = 0; i < m->mapCount; ++i) {
        MaterialMap& map = m->maps[i];
        map.channel = static_cast<std::int32_t>(c.U32("map channel"));
        map.fileName = c.Padded("map file name", &doc.strings);
        map.amount = c.F32("map amount");
    }
    doc.model->materials->append(std::move(m));
}

// Reads the four arrays that follow a mesh's counts, which the size check of ReadMesh has
// found to fit the chunk.
void FillMeshArrays(Cursor& c, VertexChunk& m) {
    for (std::int32_t i = 0; i < m.vertexCount; ++i) {
        float f[5];
        c.Floats(f, 5, "vertex");
        m.vertices[i] = MeshVertex{f[0], f[1], f[2], f[3], f[4]};
    }
    for (std::size_t i = 0; i < 3 * std::size_t(m.faceCount); ++i) m.triangles[i] = c.U16("triangle");
    for (std::int32_t i = 0; i < m.vertexCount; ++i) {
        float f[3];
        c.Floats(f, 3, "normal");
        m.normals[i] = MeshNormal{f[0], f[1], f[2]};
    }
    for (std::size_t i = 0; i < 3 * std::size_t(m.faceCount); ++i) m.faceBlocks[i] = c.U32("face block");
}

// The arrays are read only withArrays; their bytes are taken either way.
void ReadMesh(Cursor& c, WuxDocument& doc, bool withArrays) {
    const auto materialIndex = static_cast<std::int32_t>(c.U32("material index"));
    doc.meshConstants.push_back(c.U32("constant"));
    const std::size_t countOffset = c.pos;
    const std::uint32_t vertexCount = c.U32("vertex count");
    const std::uint32_t faceCount = c.U32("face count");
    // Check the whole body against the chunk before anything is allocated; what fits is
    // below 2^27 vertices and 2^28 faces, so the counts fit the record's.
    const std::uint64_t needed = kBytesPerVertex * vertexCount + kBytesPerTriangle * faceCount;
    c.Holds(needed, countOffset,
            "vertex count " + std::to_string(vertexCount) + " and face count " + std::to_string(faceCount) + " need " +
                std::to_string(needed));
    const auto vertices = static_cast<std::int32_t>(vertexCount), faces = static_cast<std::int32_t>(faceCount);
    auto m = std::make_unique<VertexChunk>(withArrays ? vertices : 0, withArrays ? faces : 0, materialIndex);
    if (withArrays) {
        FillMeshArrays(c, *m);
    } else {
        m->vertexCount = vertices;
        m->faceCount = faces;
        m->vertices.reset();  // null until ReadMeshArrays: a read past them cannot go unnoticed
        m->triangles.reset();
        m->normals.reset();
        m->faceBlocks.reset();
        c.Skip(static_cast<std::size_t>(needed), "mesh arrays");
    }
    doc.model->meshes->append(std::move(m));
}

std::unique_ptr<BoundSphere> ReadSphere(Cursor& c, const char* field) {
    float f[4];
    c.Floats(f, 4, field);
    return std::make_unique<BoundSphere>(f[0], f[1], f[2], f[3]);
}

void ReadBounds(Cursor& c, WuxDocument& doc, bool first) {
    BoundChunk& b = *doc.model->bounds;
    if (first) b.mainSphere = ReadSphere(c, "main sphere");
    else b.spheres->append(ReadSphere(c, "main sphere"));
    for (std::uint32_t i = c.Count(kSphereSize, "sphere count"); i > 0; --i) b.spheres->append(ReadSphere(c, "sphere"));
}

void ReadEllipsoid(Cursor& c, WuxDocument& doc) {
    float f[6];
    c.Floats(f, 6, "centre and semi-axes");
    doc.model->ellipsoid = std::make_unique<EllipsoidChunk>(f[0], f[1], f[2], f[3], f[4], f[5]);
}

void ReadReferences(Cursor& c, WuxDocument& doc) {
    for (std::uint32_t i = c.Count(kMinReferenceEntrySize, "entry count"); i > 0; --i) {
        auto e = std::make_unique<ReferenceEntry>(c.Padded("entry name", &doc.strings).c_str());
        for (auto& row : e->transform) c.Floats(row, 4, "entry transform");
        c.Floats(e->halfExtents, kHalfExtentsSize / 4, "entry half extents");
        doc.endWords.push_back(c.U32("entry end word"));
        doc.model->references->entries->append(std::move(e));
    }
}

Cursor ChunkCursor(ByteSpan bytes, const ChunkInfo& chunk, std::size_t from = kChunkHeadSize) {
    return Cursor{bytes, chunk.offset + from, chunk.offset + chunk.blockSize, ChunkName(chunk), "the chunk"};
}

WuxDocument ReadDocument(ByteSpan bytes, bool meshArrays) {
    WuxDocument doc;
    doc.model = std::make_unique<ExportModel>();
    ReadFraming(bytes, doc);
    ReadGnfoBody(bytes, doc);
    for (ChunkInfo& chunk : doc.chunks) {
        Cursor c = ChunkCursor(bytes, chunk);
        if (chunk.tag == kMaterialTag) ReadMaterial(c, doc);
        else if (chunk.tag == kMeshTag) ReadMesh(c, doc, meshArrays);
        else if (chunk.tag == kBoundTag) ReadBounds(c, doc, chunk.ordinal == 0);
        else ReadEllipsoid(c, doc);
        chunk.contentSize = c.pos - chunk.offset;
    }
    Cursor c = ChunkCursor(bytes, doc.gref);
    ReadReferences(c, doc);
    doc.gref.contentSize = c.pos - doc.gref.offset;
    return doc;
}

}  // namespace

std::size_t WuxDocument::ChunkCount(const char* tag) const {
    return static_cast<std::size_t>(
        std::count_if(chunks.begin(), chunks.end(), [&](const ChunkInfo& c) { return c.tag == tag; }));
}

ToolResult<WuxDocument> OpenWux(ByteSpan bytes, bool meshArrays) {
    try {
        return ReadDocument(bytes, meshArrays);
    } catch (ToolError& error) {
        return std::move(error);
    }
}

std::unique_ptr<VertexChunk> ReadMeshArrays(ByteSpan bytes, const ChunkInfo& chunk, const VertexChunk& counts) {
    auto mesh = std::make_unique<VertexChunk>(counts.vertexCount, counts.faceCount, counts.materialIndex);
    Cursor c = ChunkCursor(bytes, chunk, kMeshHeadSize);
    FillMeshArrays(c, *mesh);
    return mesh;
}

std::string ChunkName(const ChunkInfo& chunk) { return chunk.tag + " #" + std::to_string(chunk.ordinal); }

std::optional<Box> BoundingBox(const VertexChunk& mesh) {
    if (mesh.vertexCount == 0) return std::nullopt;
    Box box;
    box.min = box.max = {mesh.vertices[0].x, mesh.vertices[0].y, mesh.vertices[0].z};
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        const float p[3] = {mesh.vertices[i].x, mesh.vertices[i].y, mesh.vertices[i].z};
        for (int k = 0; k < 3; ++k) {
            box.min[k] = std::min(box.min[k], p[k]);
            box.max[k] = std::max(box.max[k], p[k]);
        }
    }
    return box;
}

}  // namespace wux
