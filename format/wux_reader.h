// Reads a WUX file from memory into the export model the plug-in writes, in two layers. The
// framing layer finds the LIBF head, the IDFM form word, the GNFO chunk with the chunks it
// encloses and the GREF chunk after it; the content layer turns each chunk's bytes into
// records. The reader rejects only what it cannot interpret (a wrong tag, a size or count that
// runs past its chunk or the file, more maps than a material holds); every other deviation is
// kept in the document, with the byte offsets the checker needs to report it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "format/tool_error.h"
#include "format/wux_format.h"
#include "model/export_model.h"

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

// A padded string field as written: u32 P, then P bytes, the record's text and the padding.
struct StringField {
    std::size_t offset = 0;          // of the P field
    std::uint32_t paddedLength = 0;  // P as written
    std::string padding;             // the P bytes from the first zero on; empty when none is zero
};

// A file as the export model its plug-in wrote, with what the model does not hold: the words
// a valid file fixes, as written, and where everything lies. A second GBND chunk's spheres
// follow the first's in the sphere list; of several GELP chunks the model keeps the last.
struct WuxDocument {
    std::unique_ptr<ExportModel> model;  // meshCount and materialCount as GNFO gives them
    std::size_t fileLength = 0;
    std::uint32_t fileSizeField = 0;
    ChunkInfo gnfo;
    std::array<std::uint32_t, wux_file::kInfoReservedWords> reserved{};
    std::uint32_t scaleBits = 0;
    std::vector<ChunkInfo> chunks;              // inside GNFO, in file order
    ChunkInfo gref;
    std::vector<std::uint32_t> meshConstants;  // one per GVTX chunk
    std::vector<std::uint32_t> endWords;       // one per GREF entry
    std::vector<StringField> strings;          // every padded string, in file order
    std::size_t trailingBytes = 0;             // after the end of the GREF chunk

    std::size_t ChunkCount(const char* tag) const;
};

// A file that cannot be interpreted gives an error of kind Truncated, BadTag, BadSize or
// BadCount, with the offset of the offending field and a message naming the chunk and field,
// e.g. "GVTX #2: vertex count ...". Without meshArrays every mesh keeps its counts but
// empty arrays (their size is checked all the same), so that a file of any size can be
// read; ReadMeshArrays then fills one mesh's arrays at a time.
ToolResult<WuxDocument> OpenWux(ByteSpan bytes, bool meshArrays = true);
// The mesh of counts (as a document read without meshArrays holds it) with its arrays, read
// from its chunk in the same bytes; cannot fail.
std::unique_ptr<VertexChunk> ReadMeshArrays(ByteSpan bytes, const ChunkInfo& chunk, const VertexChunk& counts);

// The records of a list in order, for lookup by number.
template <typename Record>
std::vector<const Record*> Records(const RecordList& list) {
    std::vector<const Record*> out;
    out.reserve(static_cast<std::size_t>(list.count()));
    for (const RecordListNode* node = list.head->next; node != nullptr; node = node->next) {
        out.push_back(static_cast<const Record*>(node->record.get()));
    }
    return out;
}

// Three words of a colour block from the given word on (wux_file::kDiffuseWord, ...).
inline std::array<float, 3> Colour(const MaterialChunk& m, int word) {
    return {m.colourBlock[word], m.colourBlock[word + 1], m.colourBlock[word + 2]};
}

struct Box {
    std::array<float, 3> min{};
    std::array<float, 3> max{};
};

// The box around a mesh's vertex positions; none for a mesh without vertices.
std::optional<Box> BoundingBox(const VertexChunk& mesh);

// "GVTX #2": the chunk's tag and its place among the chunks of that tag.
std::string ChunkName(const ChunkInfo& chunk);

}  // namespace wux
