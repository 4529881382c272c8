#include "format/wux_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace wux {
namespace {

constexpr std::size_t kHeadSize = 12;      // block_sign, block_size, magic
constexpr std::size_t kGnfoOffset = 12;
constexpr std::size_t kGnfoSize = 48;

// Thrown inside the reader only, and turned into a ReadError at its entry points.
struct Failure {
    ReadError error;
};

[[noreturn]] void Fail(ReadError::Kind kind, std::size_t offset, std::string message) {
    throw Failure{ReadError{kind, offset, std::move(message)}};
}

std::uint32_t LoadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

float BitsToFloat(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
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
            Fail(ReadError::Kind::Truncated, pos_,
                 where_ + ": " + field + " (" + std::to_string(n) + " bytes) runs past the end of " +
                     limit_ + " (" + std::to_string(end_ - pos_) + " bytes left)");
        }
    }

    // A count of entries of at least minEntrySize bytes each must fit in what is left.
    void NeedCount(std::uint64_t count, std::uint64_t minEntrySize, std::size_t countOffset,
                   const char* what) {
        const std::uint64_t needed = count * minEntrySize;  // both below 2^32: no overflow
        if (needed > end_ - pos_) {
            Fail(ReadError::Kind::BadCount, countOffset,
                 where_ + ": " + what + " " + std::to_string(count) + " needs at least " +
                     std::to_string(needed) + " bytes, but " + limit_ + " holds only " +
                     std::to_string(end_ - pos_) + " more");
        }
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
    float F32(const char* field) { return BitsToFloat(U32(field)); }

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
            Fail(ReadError::Kind::BadCount, s.offset,
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

std::string ChunkName(const ChunkInfo& chunk) {
    return chunk.tag + " #" + std::to_string(chunk.ordinal);
}

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
        Fail(ReadError::Kind::BadSize, pos + 4,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) +
                 " is smaller than its 12-byte head");
    }
    if (chunk.blockSize > end - pos) {
        Fail(ReadError::Kind::Truncated, pos + 4,
             tag + " chunk: block_size " + std::to_string(chunk.blockSize) + " runs past the end of " +
                 limit + " (" + std::to_string(end - pos) + " bytes left)");
    }
    return chunk;
}

Framing DoReadFraming(ByteSpan bytes) {
    Framing f;
    f.header.fileLength = bytes.size;
    Cursor head(bytes, 0, bytes.size, "file head", "the file");
    head.Need(12, "LIBF head and IDFM form word");
    if (head.Tag("LIBF tag") != "LIBF") {
        Fail(ReadError::Kind::BadTag, 0, "file head: expected \"LIBF\", found \"" + PrintableTag(bytes.data) + "\"");
    }
    f.header.fileSizeField = head.U32("file_size");
    if (head.Tag("form word") != "IDFM") {
        Fail(ReadError::Kind::BadTag, 8,
             "file head: expected the form word \"IDFM\", found \"" + PrintableTag(bytes.data + 8) + "\"");
    }

    if (kHeadSize > bytes.size - kGnfoOffset) {
        Fail(ReadError::Kind::Truncated, kGnfoOffset, "GNFO chunk: missing, the file ends after the form word");
    }
    if (std::memcmp(bytes.data + kGnfoOffset, "GNFO", 4) != 0) {
        Fail(ReadError::Kind::BadTag, kGnfoOffset,
             "expected the GNFO chunk at offset 12, found \"" + PrintableTag(bytes.data + kGnfoOffset) + "\"");
    }
    f.header.gnfo = ReadChunkHead(bytes, kGnfoOffset, bytes.size, "the file");
    if (f.header.gnfo.blockSize < kGnfoSize) {
        Fail(ReadError::Kind::BadSize, kGnfoOffset + 4,
             "GNFO chunk: block_size " + std::to_string(f.header.gnfo.blockSize) +
                 " is smaller than its 48-byte body");
    }
    f.header.gnfo.contentSize = kGnfoSize;

    // The chunks inside GNFO follow each other directly up to its end.
    const std::size_t gnfoEnd = kGnfoOffset + f.header.gnfo.blockSize;
    int ordinals[4] = {0, 0, 0, 0};
    static const char* const kInnerTags[4] = {"GMAT", "GVTX", "GBND", "GELP"};
    std::size_t pos = kGnfoOffset + kGnfoSize;
    while (pos < gnfoEnd) {  // every step advances by at least 12 bytes
        if (kHeadSize > gnfoEnd - pos) {
            Fail(ReadError::Kind::Truncated, pos,
                 "chunk at offset " + std::to_string(pos) + ": its head runs past the end of GNFO at offset " +
                     std::to_string(gnfoEnd) + " (GNFO block_size " + std::to_string(f.header.gnfo.blockSize) + ")");
        }
        const std::string tag(reinterpret_cast<const char*>(bytes.data + pos), 4);
        const auto known = std::find(std::begin(kInnerTags), std::end(kInnerTags), tag);
        if (known == std::end(kInnerTags)) {
            Fail(ReadError::Kind::BadTag, pos,
                 "chunk at offset " + std::to_string(pos) + " inside GNFO: unknown tag \"" +
                     PrintableTag(bytes.data + pos) + "\" (GMAT, GVTX, GBND or GELP expected)");
        }
        ChunkInfo chunk = ReadChunkHead(bytes, pos, gnfoEnd, "the GNFO chunk");
        chunk.ordinal = ordinals[known - std::begin(kInnerTags)]++;
        f.inner.push_back(chunk);
        pos += chunk.blockSize;
    }

    // GREF follows GNFO and ends the file.
    if (kHeadSize > bytes.size - gnfoEnd) {
        Fail(ReadError::Kind::Truncated, gnfoEnd,
             "GREF chunk: expected at offset " + std::to_string(gnfoEnd) +
                 " (after GNFO), but the file ends there or its head is cut short");
    }
    if (std::memcmp(bytes.data + gnfoEnd, "GREF", 4) != 0) {
        Fail(ReadError::Kind::BadTag, gnfoEnd,
             "expected the GREF chunk at offset " + std::to_string(gnfoEnd) + " (after GNFO), found \"" +
                 PrintableTag(bytes.data + gnfoEnd) + "\"");
    }
    f.gref = ReadChunkHead(bytes, gnfoEnd, bytes.size, "the file");
    f.header.trailingBytes = bytes.size - gnfoEnd - f.gref.blockSize;
    return f;
}

void ReadGnfoBody(ByteSpan bytes, Header& header) {
    Cursor c(bytes, kGnfoOffset + kHeadSize, kGnfoOffset + kGnfoSize, "GNFO", "the GNFO chunk");
    for (auto& word : header.reserved) word = c.U32("reserved word");
    header.one = c.F32("1.0 word");
    header.meshCount = c.U32("mesh count");
    header.materialCount = c.U32("material count");
}

Cursor ContentCursor(ByteSpan bytes, const ChunkInfo& chunk) {
    return Cursor(bytes, chunk.offset + kHeadSize, chunk.offset + chunk.blockSize, ChunkName(chunk), "the chunk");
}

Material ReadMaterial(ByteSpan bytes, const ChunkInfo& chunk) {
    Material m;
    m.chunk = chunk;
    Cursor c = ContentCursor(bytes, chunk);
    m.name = c.Padded("name");
    m.colourOffset = c.Pos();
    m.colourBlock = c.Floats<19>("colour block");
    const std::size_t countOffset = c.Pos();
    m.mapCount = c.U32("map count");
    // An entry takes at least channel, a padded string at its shortest (P = 0) and amount.
    c.NeedCount(m.mapCount, 12, countOffset, "map count");
    for (std::uint32_t i = 0; i < m.mapCount; ++i) {
        MaterialMap map;
        map.offset = c.Pos();
        map.channel = c.U32("map channel");
        map.fileName = c.Padded("map file name");
        map.amount = c.F32("map amount");
        m.maps.push_back(std::move(map));
    }
    m.chunk.contentSize = c.Pos() - chunk.offset;
    return m;
}

Mesh ReadMesh(ByteSpan bytes, const ChunkInfo& chunk) {
    Mesh m;
    m.chunk = chunk;
    Cursor c = ContentCursor(bytes, chunk);
    m.materialIndex = static_cast<std::int32_t>(c.U32("material index"));
    m.constant = c.F32("constant");
    const std::size_t countOffset = c.Pos();
    m.vertexCount = c.U32("vertex count");
    m.faceCount = c.U32("face count");
    // Check the whole body against the chunk before anything is allocated.
    const std::uint64_t needed = 32 * std::uint64_t{m.vertexCount} + 18 * std::uint64_t{m.faceCount};
    if (needed > c.Left()) {
        Fail(ReadError::Kind::BadCount, countOffset,
             ChunkName(chunk) + ": vertex count " + std::to_string(m.vertexCount) + " and face count " +
                 std::to_string(m.faceCount) + " need " + std::to_string(needed) +
                 " bytes, but the chunk holds only " + std::to_string(c.Left()) + " more");
    }
    m.vertices.resize(m.vertexCount);
    for (MeshVertex& v : m.vertices) {
        const auto f = c.Floats<5>("vertex");
        v = MeshVertex{f[0], f[1], f[2], f[3], f[4]};
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
    m.chunk.contentSize = c.Pos() - chunk.offset;
    return m;
}

Sphere ReadSphere(Cursor& c, const char* field) {
    const auto f = c.Floats<4>(field);
    return Sphere{{f[0], f[1], f[2]}, f[3]};
}

Bounds ReadBounds(ByteSpan bytes, const ChunkInfo& chunk) {
    Bounds b;
    b.chunk = chunk;
    Cursor c = ContentCursor(bytes, chunk);
    b.mainSphere = ReadSphere(c, "main sphere");
    const std::size_t countOffset = c.Pos();
    b.sphereCount = c.U32("sphere count");
    c.NeedCount(b.sphereCount, 16, countOffset, "sphere count");
    b.spheres.reserve(b.sphereCount);
    for (std::uint32_t i = 0; i < b.sphereCount; ++i) b.spheres.push_back(ReadSphere(c, "sphere"));
    b.chunk.contentSize = c.Pos() - chunk.offset;
    return b;
}

Ellipsoid ReadEllipsoid(ByteSpan bytes, const ChunkInfo& chunk) {
    Ellipsoid e;
    e.chunk = chunk;
    Cursor c = ContentCursor(bytes, chunk);
    e.centre = c.Floats<3>("centre");
    e.semiAxes = c.Floats<3>("semi-axes");
    e.chunk.contentSize = c.Pos() - chunk.offset;
    return e;
}

References ReadReferences(ByteSpan bytes, const ChunkInfo& chunk) {
    References r;
    r.chunk = chunk;
    Cursor c = ContentCursor(bytes, chunk);
    const std::size_t countOffset = c.Pos();
    r.entryCount = c.U32("entry count");
    // An entry takes at least a padded string at its shortest (P = 0), the transform (64),
    // the half extents (12) and the end word (4).
    c.NeedCount(r.entryCount, 84, countOffset, "entry count");
    for (std::uint32_t i = 0; i < r.entryCount; ++i) {
        ReferenceEntry e;
        e.offset = c.Pos();
        e.name = c.Padded("entry name");
        e.transform = c.Floats<16>("entry transform");
        e.halfExtents = c.Floats<3>("entry half extents");
        e.endWord = c.U32("entry end word");
        r.entries.push_back(std::move(e));
    }
    r.chunk.contentSize = c.Pos() - chunk.offset;
    return r;
}

WuxFile DoReadWux(ByteSpan bytes) {
    Framing framing = DoReadFraming(bytes);
    WuxFile file;
    file.header = framing.header;
    ReadGnfoBody(bytes, file.header);
    for (const ChunkInfo& chunk : framing.inner) {
        if (chunk.tag == "GMAT") {
            file.materials.push_back(ReadMaterial(bytes, chunk));
            file.chunks.push_back(file.materials.back().chunk);
        } else if (chunk.tag == "GVTX") {
            file.meshes.push_back(ReadMesh(bytes, chunk));
            file.chunks.push_back(file.meshes.back().chunk);
        } else if (chunk.tag == "GBND") {
            file.bounds.push_back(ReadBounds(bytes, chunk));
            file.chunks.push_back(file.bounds.back().chunk);
        } else {
            file.ellipsoids.push_back(ReadEllipsoid(bytes, chunk));
            file.chunks.push_back(file.ellipsoids.back().chunk);
        }
    }
    file.references = ReadReferences(bytes, framing.gref);
    return file;
}

template <typename T, typename F>
ReadResult<T> Catching(F&& read) {
    ReadResult<T> result;
    try {
        result.value = read();
    } catch (const Failure& failure) {
        result.error = failure.error;
    }
    return result;
}

}  // namespace

ReadResult<Framing> ReadFraming(ByteSpan bytes) {
    return Catching<Framing>([&] { return DoReadFraming(bytes); });
}

ReadResult<WuxFile> ReadWux(ByteSpan bytes) {
    return Catching<WuxFile>([&] { return DoReadWux(bytes); });
}

std::optional<Box> BoundingBox(const Mesh& mesh) {
    if (mesh.vertices.empty()) return std::nullopt;
    Box box;
    const MeshVertex& first = mesh.vertices.front();
    box.min = box.max = {first.x, first.y, first.z};
    for (const MeshVertex& v : mesh.vertices) {
        const float p[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) {
            box.min[k] = std::min(box.min[k], p[k]);
            box.max[k] = std::max(box.max[k], p[k]);
        }
    }
    return box;
}

const char* ReadErrorKindName(ReadError::Kind kind) {
    switch (kind) {
        case ReadError::Kind::Truncated: return "truncated";
        case ReadError::Kind::BadTag: return "bad tag";
        case ReadError::Kind::BadSize: return "bad size";
        case ReadError::Kind::BadCount: return "bad count";
    }
    return "error";
}

std::string PrintableTag(const std::uint8_t* tag) {
    return PrintableText(std::string(reinterpret_cast<const char*>(tag), 4));
}

std::string PrintableText(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::uint32_t FloatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace wux
