#include "format/wux_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "format/tool_text.h"
#include "format/wux_format.h"

namespace wux {
namespace {

using namespace wux_file;
constexpr std::size_t kHeadSize = kChunkHeadSize;
constexpr std::size_t kGnfoOffset = kInfoOffset;
constexpr std::size_t kGnfoSize = kInfoChunkSize;

// Thrown inside the reader only, and returned as the result's error by ReadWux.
[[noreturn]] void Fail(ToolError::Kind kind, std::size_t offset, std::string message) {
    ToolError error;
    error.kind = kind;
    error.offset = offset;
    error.message = std::move(message);
    throw error;
}

std::uint32_t LoadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Reads little-endian fields from [pos, end) of the file; a read past end fails with the
// place named. Every comparison is of the form n > end - pos, which cannot overflow.
class Cursor {
public:
    Cursor(ByteSpan bytes, std::size_t begin, std::size_t end, std::string where, const char* limit)
        : bytes_(bytes), pos_(begin), end_(end), where_(std::move(where)), limit_(limit) {}

    std::size_t Pos() const { return pos_; }
    std::size_t Left() const { return end_ - pos_; }

    void Need(std::size_t n, const char* field) {
        if (n > end_ - pos_) {
            Fail(ToolError::Kind::Truncated, pos_,
                 where_ + ": " + field + " (" + std::to_string(n) + " bytes) runs past the end of " +
                     limit_ + " (" + std::to_string(end_ - pos_) + " bytes left)");
        }
    }

    // A u32 count into *count, then that many entries read by readEntry. The entries, of at
    // least minEntrySize bytes each, must fit in what is left before any is read.
    template <typename ReadEntry>
    auto Counted(std::uint32_t* count, std::uint64_t minEntrySize, const char* what, ReadEntry readEntry)
        -> std::vector<decltype(readEntry(*this))> {
        const std::size_t countOffset = pos_;
        *count = U32(what);
        const std::uint64_t needed = *count * minEntrySize;  // both below 2^32: no overflow
        if (needed > end_ - pos_) {
            Fail(ToolError::Kind::BadCount, countOffset,
                 where_ + ": " + what + " " + std::to_string(*count) + " needs at least " +
                     std::to_string(needed) + " bytes, but " + limit_ + " holds only " +
                     std::to_string(end_ - pos_) + " more");
        }
        std::vector<decltype(readEntry(*this))> entries;
        for (std::uint32_t i = 0; i < *count; ++i) entries.push_back(readEntry(*this));
        return entries;
    }

    void Skip(std::size_t n, const char* field) {
        Need(n, field);
        pos_ += n;
    }

    std::uint32_t U32(const char* field) {
        Need(4, field);
        const std::uint32_t v = LoadU32(bytes_.data + pos_);
        pos_ += 4;
        return v;
    }
    std::uint16_t U16(const char* field) {
        Need(2, field);
        const std::uint16_t v = static_cast<std::uint16_t>(bytes_.data[pos_] | bytes_.data[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    float F32(const char* field) { return FloatFromBits(U32(field)); }

    template <std::size_t N>
    std::array<float, N> Floats(const char* field) {
        Need(4 * N, field);
        std::array<float, N> out{};
        for (float& f : out) f = F32(field);
        return out;
    }

    std::string Tag(const char* field) {
        Need(4, field);
        std::string tag(reinterpret_cast<const char*>(bytes_.data + pos_), 4);
        pos_ += 4;
        return tag;
    }

    PaddedString Padded(const char* field) {
        PaddedString s;
        s.offset = pos_;
        s.paddedLength = U32(field);
        if (s.paddedLength > end_ - pos_) {
            Fail(ToolError::Kind::BadCount, s.offset,
                 where_ + ": " + field + " claims " + std::to_string(s.paddedLength) +
                     " bytes, but " + limit_ + " holds only " + std::to_string(end_ - pos_) + " more");
        }
        const auto* begin = bytes_.data + pos_;
        const auto* end = begin + s.paddedLength;
        s.text.assign(begin, std::find(begin, end, std::uint8_t{0}));
        pos_ += s.paddedLength;
        return s;
    }

private:
    ByteSpan bytes_;
    std::size_t pos_;
    std::size_t end_;
    std::string where_;
    const char* limit_;
};

// Reads a chunk head at pos, bounded by end; the chunk must fit in [pos, end).
ChunkInfo ReadChunkHead(ByteSpan bytes, std::size_t pos, std::size_t end, const char* limit) {
    Cursor c(bytes, pos, end, "chunk at offset " + std::to_string(pos), limit);
    ChunkInfo chunk;
    chunk.offset = pos;
    c.Need(kHeadSize, "chunk head");
    chunk.tag = c.Tag("block_sign");
    chunk.blockSize = c.U32("block_size");
    chunk.magic = c.U32("magic");
    const std::string tag = PrintableTag(bytes.data + pos);
    if (chunk.blockSize < kHeadSize) {
        Fail(ToolError::Kind::BadSize, pos + kBlockSizeOffset,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) +
                 " is smaller than its " + std::to_string(kHeadSize) + "-byte head");
    }
    if (chunk.blockSize > end - pos) {
        Fail(ToolError::Kind::Truncated, pos + kBlockSizeOffset,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) + " runs past the end of " +
                 limit + " (" + std::to_string(end - pos) + " bytes left)");
    }
    return chunk;
}

// The framing of a file: where every chunk is, nothing of their content.
struct Framing {
    Header header;                  // the GNFO body words are left at zero here
    std::vector<ChunkInfo> inner;   // the chunks inside GNFO, in file order
    ChunkInfo gref;
};

// The chunks inside GNFO, which follow each other directly up to its end.
std::vector<ChunkInfo> ReadInnerChunks(ByteSpan bytes, const ChunkInfo& gnfo) {
    std::vector<ChunkInfo> inner;
    const std::size_t gnfoEnd = gnfo.offset + gnfo.blockSize;
    int ordinals[4] = {0, 0, 0, 0};
    static const std::string kInnerTags[4] = {kMaterialTag, kMeshTag, kBoundTag, kEllipsoidTag};
    std::size_t pos = gnfo.offset + kGnfoSize;
    while (pos < gnfoEnd) {  // every step advances by at least 12 bytes
        if (kHeadSize > gnfoEnd - pos) {
            Fail(ToolError::Kind::Truncated, pos,
                 "chunk at offset " + std::to_string(pos) + ": its head runs past the end of GNFO at offset " +
                     std::to_string(gnfoEnd) + " (GNFO block_size " + std::to_string(gnfo.blockSize) + ")");
        }
        const std::string tag(reinterpret_cast<const char*>(bytes.data + pos), 4);
        const auto known = std::find(std::begin(kInnerTags), std::end(kInnerTags), tag);
        if (known == std::end(kInnerTags)) {
            Fail(ToolError::Kind::BadTag, pos,
                 "chunk at offset " + std::to_string(pos) + " inside GNFO: unknown tag \"" +
                     PrintableTag(bytes.data + pos) + "\" (GMAT, GVTX, GBND or GELP expected)");
        }
        ChunkInfo chunk = ReadChunkHead(bytes, pos, gnfoEnd, "the GNFO chunk");
        chunk.ordinal = ordinals[known - std::begin(kInnerTags)]++;
        inner.push_back(chunk);
        pos += chunk.blockSize;
    }
    return inner;
}

Framing ReadFraming(ByteSpan bytes) {
    Framing f;
    f.header.fileLength = bytes.size;
    Cursor head(bytes, 0, bytes.size, "file head", "the file");
    head.Need(kFileHeadSize, "LIBF head and IDFM form word");
    if (head.Tag("LIBF tag") != kFileTag) {
        Fail(ToolError::Kind::BadTag, 0, "file head: expected \"LIBF\", found \"" + PrintableTag(bytes.data) + "\"");
    }
    f.header.fileSizeField = head.U32("file_size");
    if (head.Tag("form word") != kFormTag) {
        Fail(ToolError::Kind::BadTag, kFormTagOffset,
             "file head: expected the form word \"IDFM\", found \"" + PrintableTag(bytes.data + kFormTagOffset) + "\"");
    }

    if (kHeadSize > bytes.size - kGnfoOffset) {
        Fail(ToolError::Kind::Truncated, kGnfoOffset, "GNFO chunk: missing, the file ends after the form word");
    }
    if (std::memcmp(bytes.data + kGnfoOffset, kInfoTag, 4) != 0) {
        Fail(ToolError::Kind::BadTag, kGnfoOffset,
             "expected the GNFO chunk at offset " + std::to_string(kGnfoOffset) + ", found \"" +
                 PrintableTag(bytes.data + kGnfoOffset) + "\"");
    }
    f.header.gnfo = ReadChunkHead(bytes, kGnfoOffset, bytes.size, "the file");
    if (f.header.gnfo.blockSize < kGnfoSize) {
        Fail(ToolError::Kind::BadSize, kGnfoOffset + kBlockSizeOffset,
             "GNFO chunk: block_size " + std::to_string(f.header.gnfo.blockSize) + " is smaller than its " +
                 std::to_string(kGnfoSize) + "-byte body");
    }
    f.header.gnfo.contentSize = kGnfoSize;

    const std::size_t gnfoEnd = kGnfoOffset + f.header.gnfo.blockSize;
    f.inner = ReadInnerChunks(bytes, f.header.gnfo);

    // GREF follows GNFO and ends the file.
    if (kHeadSize > bytes.size - gnfoEnd) {
        Fail(ToolError::Kind::Truncated, gnfoEnd,
             "GREF chunk: expected at offset " + std::to_string(gnfoEnd) +
                 " (after GNFO), but the file ends there or its head is cut short");
    }
    if (std::memcmp(bytes.data + gnfoEnd, kReferenceTag, 4) != 0) {
        Fail(ToolError::Kind::BadTag, gnfoEnd,
             "expected the GREF chunk at offset " + std::to_string(gnfoEnd) + " (after GNFO), found \"" +
                 PrintableTag(bytes.data + gnfoEnd) + "\"");
    }
    f.gref = ReadChunkHead(bytes, gnfoEnd, bytes.size, "the file");
    f.header.trailingBytes = bytes.size - gnfoEnd - f.gref.blockSize;
    return f;
}

void ReadGnfoBody(ByteSpan bytes, Header& header) {
    Cursor c(bytes, kGnfoOffset + kHeadSize, kGnfoOffset + kGnfoSize, kInfoTag, "the GNFO chunk");
    for (auto& word : header.reserved) word = c.U32("reserved word");
    header.one = c.F32("1.0 word");
    header.meshCount = c.U32("mesh count");
    header.materialCount = c.U32("material count");
}

// A chunk's content read by readBody(cursor, value), with the bytes it took.
template <typename T, typename ReadBody>
T ReadChunk(ByteSpan bytes, const ChunkInfo& chunk, ReadBody readBody) {
    T value;
    value.chunk = chunk;
    Cursor c(bytes, chunk.offset + kHeadSize, chunk.offset + chunk.blockSize, ChunkName(chunk), "the chunk");
    readBody(c, value);
    value.chunk.contentSize = c.Pos() - chunk.offset;
    return value;
}

void ReadMaterial(Cursor& c, Material& m) {
    m.name = c.Padded("name");
    m.colourOffset = c.Pos();
    m.colourBlock = c.Floats<kColourWords>("colour block");
    m.maps = c.Counted(&m.mapCount, kMinMapEntrySize, "map count", [](Cursor& entry) {
        MapEntry map;
        map.offset = entry.Pos();
        map.channel = entry.U32("map channel");
        map.fileName = entry.Padded("map file name");
        map.amount = entry.F32("map amount");
        return map;
    });
}

// Reads the four arrays that follow a mesh's counts, which the size check of ReadMesh has
// found to fit the chunk.
void ReadMeshArrays(Cursor& c, MeshChunk& m) {
    m.vertices.resize(m.vertexCount);
    for (Vertex& v : m.vertices) {
        const auto f = c.Floats<5>("vertex");
        v = Vertex{f[0], f[1], f[2], f[3], f[4]};
    }
    m.triangles.resize(m.faceCount);
    for (auto& t : m.triangles) {
        for (auto& index : t) index = c.U16("triangle");
    }
    m.normals.resize(m.vertexCount);
    for (auto& n : m.normals) n = c.Floats<3>("normal");
    m.faceBlocks.resize(m.faceCount);
    for (auto& block : m.faceBlocks) {
        for (auto& word : block) word = c.U32("face block");
    }
}

// The arrays are read only withArrays; their bytes are taken either way.
void ReadMesh(Cursor& c, MeshChunk& m, bool withArrays) {
    m.materialIndex = static_cast<std::int32_t>(c.U32("material index"));
    m.constant = c.F32("constant");
    const std::size_t countOffset = c.Pos();
    m.vertexCount = c.U32("vertex count");
    m.faceCount = c.U32("face count");
    // Check the whole body against the chunk before anything is allocated.
    const std::uint64_t needed = kBytesPerVertex * m.vertexCount + kBytesPerTriangle * m.faceCount;
    if (needed > c.Left()) {
        Fail(ToolError::Kind::BadCount, countOffset,
             ChunkName(m.chunk) + ": vertex count " + std::to_string(m.vertexCount) + " and face count " +
                 std::to_string(m.faceCount) + " need " + std::to_string(needed) +
                 " bytes, but the chunk holds only " + std::to_string(c.Left()) + " more");
    }
    if (withArrays) ReadMeshArrays(c, m);
    else c.Skip(static_cast<std::size_t>(needed), "mesh arrays");
}

Sphere ReadSphere(Cursor& c, const char* field) {
    const auto f = c.Floats<4>(field);
    return Sphere{{f[0], f[1], f[2]}, f[3]};
}

void ReadBounds(Cursor& c, Bounds& b) {
    b.mainSphere = ReadSphere(c, "main sphere");
    b.spheres = c.Counted(&b.sphereCount, kSphereSize, "sphere count",
                          [](Cursor& entry) { return ReadSphere(entry, "sphere"); });
}

void ReadEllipsoid(Cursor& c, Ellipsoid& e) {
    e.centre = c.Floats<3>("centre");
    e.semiAxes = c.Floats<3>("semi-axes");
}

void ReadReferences(Cursor& c, References& r) {
    r.entries = c.Counted(&r.entryCount, kMinReferenceEntrySize, "entry count", [](Cursor& entry) {
        Reference e;
        e.offset = entry.Pos();
        e.name = entry.Padded("entry name");
        e.transform = entry.Floats<kTransformSize / 4>("entry transform");
        e.halfExtents = entry.Floats<kHalfExtentsSize / 4>("entry half extents");
        e.endWord = entry.U32("entry end word");
        return e;
    });
}

WuxFile ReadContent(ByteSpan bytes, bool meshArrays) {
    Framing framing = ReadFraming(bytes);
    WuxFile file;
    file.header = framing.header;
    ReadGnfoBody(bytes, file.header);
    for (const ChunkInfo& chunk : framing.inner) {
        if (chunk.tag == kMaterialTag) {
            file.materials.push_back(ReadChunk<Material>(bytes, chunk, ReadMaterial));
            file.chunks.push_back(file.materials.back().chunk);
        } else if (chunk.tag == kMeshTag) {
            file.meshes.push_back(
                ReadChunk<MeshChunk>(bytes, chunk, [&](Cursor& c, MeshChunk& m) { ReadMesh(c, m, meshArrays); }));
            file.chunks.push_back(file.meshes.back().chunk);
        } else if (chunk.tag == kBoundTag) {
            file.bounds.push_back(ReadChunk<Bounds>(bytes, chunk, ReadBounds));
            file.chunks.push_back(file.bounds.back().chunk);
        } else {
            file.ellipsoids.push_back(ReadChunk<Ellipsoid>(bytes, chunk, ReadEllipsoid));
            file.chunks.push_back(file.ellipsoids.back().chunk);
        }
    }
    file.references = ReadChunk<References>(bytes, framing.gref, ReadReferences);
    return file;
}

}  // namespace

ToolResult<WuxFile> ReadWux(ByteSpan bytes) {
    try {
        return ReadContent(bytes, true);
    } catch (ToolError& error) {
        return std::move(error);
    }
}

ToolResult<WuxFile> ReadWuxWithoutMeshArrays(ByteSpan bytes) {
    try {
        return ReadContent(bytes, false);
    } catch (ToolError& error) {
        return std::move(error);
    }
}

void ReadMeshArrays(ByteSpan bytes, MeshChunk* mesh) {
    Cursor c(bytes, mesh->chunk.offset + kMeshHeadSize, mesh->chunk.offset + mesh->chunk.blockSize,
             ChunkName(mesh->chunk), "the chunk");
    ReadMeshArrays(c, *mesh);
}

std::string ChunkName(const ChunkInfo& chunk) { return chunk.tag + " #" + std::to_string(chunk.ordinal); }

std::optional<Box> BoundingBox(const MeshChunk& mesh) {
    if (mesh.vertices.empty()) return std::nullopt;
    Box box;
    const Vertex& first = mesh.vertices.front();
    box.min = box.max = {first.x, first.y, first.z};
    for (const Vertex& v : mesh.vertices) {
        const float p[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) {
            box.min[k] = std::min(box.min[k], p[k]);
            box.max[k] = std::max(box.max[k], p[k]);
        }
    }
    return box;
}

}  // namespace wux
