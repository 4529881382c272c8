#include "model/export_model.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "format/wux_format.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Sets count words to 0. The whole pages among them are given back to the system instead of
// written (operator new's memory is private and anonymous, so they then read as zeros): the
// face blocks of a large mesh, never written afterwards, cost neither resident memory nor page
// faults.
uint32_t* Zeroed(uint32_t* words, size_t count) {
    char* begin = reinterpret_cast<char*>(words);
    char* end = begin + count * sizeof(uint32_t);
#ifdef __linux__
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    char* pagesBegin = begin + ((page - reinterpret_cast<uintptr_t>(begin) % page) % page);
    char* pagesEnd = end - reinterpret_cast<uintptr_t>(end) % page;
    if (pagesBegin < pagesEnd && madvise(pagesBegin, size_t(pagesEnd - pagesBegin), MADV_DONTNEED) == 0) {
        std::memset(begin, 0, size_t(pagesBegin - begin));
        std::memset(pagesEnd, 0, size_t(end - pagesEnd));
        return words;
    }
#endif
    std::memset(begin, 0, size_t(end - begin));
    return words;
}

}  // namespace

ExportModel* currentModel = nullptr;
Interface* hostInterface = nullptr;
bool collectionFailed = false;
std::vector<OutcomeEntry> exportOutcome;
std::vector<const void*> materialSources;

ModelRecord::~ModelRecord() = default;

RecordListNode::RecordListNode(std::unique_ptr<ModelRecord> heldRecord)
    : record(std::move(heldRecord)) {}

RecordList::RecordList() : head(new RecordListNode(nullptr)), cursor(head) {}

RecordList::~RecordList() {
    // Iterative, so that a list of millions of records cannot exhaust the stack.
    RecordListNode* node = head;
    while (node != nullptr) {
        RecordListNode* following = node->next;
        delete node;
        node = following;
    }
}

void RecordList::append(std::unique_ptr<ModelRecord> record) {
    while (cursor->next != nullptr) cursor = cursor->next;
    RecordListNode* node = new RecordListNode(std::move(record));
    node->index = cursor->index + 1;
    node->previous = cursor;
    cursor->next = node;
    cursor = node;
    ++recordCount;
}

ModelRecord* RecordList::first() {
    if (head->next != nullptr) cursor = head->next;
    return cursor->record.get();
}

ModelRecord* RecordList::next() {
    if (cursor->next != nullptr) cursor = cursor->next;
    return cursor->record.get();
}

ModelRecord* RecordList::previous() {
    if (cursor->previous != nullptr && cursor->previous != head) cursor = cursor->previous;
    return cursor->record.get();
}

ChunkHeader::ChunkHeader(const char* tag) {
    std::memcpy(sign, tag, 4);
    sign[4] = '\0';
}

MaterialChunk::MaterialChunk(const char* materialName) : ChunkHeader(wux_file::kMaterialTag), name(materialName) {}

VertexChunk::VertexChunk(int32_t vertexCountIn, int32_t faceCountIn, int32_t materialIndexIn)
    : ChunkHeader(wux_file::kMeshTag),
      vertexCount(vertexCountIn),
      faceCount(faceCountIn),
      materialIndex(materialIndexIn),
      vertices(new MeshVertex[static_cast<size_t>(vertexCountIn)]),
      triangles(new uint16_t[3 * static_cast<size_t>(faceCountIn)]),
      normals(new MeshNormal[static_cast<size_t>(vertexCountIn)]),
      faceBlocks(Zeroed(new uint32_t[3 * static_cast<size_t>(faceCountIn)], 3 * static_cast<size_t>(faceCountIn))) {}

ReferenceEntry::ReferenceEntry(const char* entryName) : name(entryName) {}

ReferenceChunk::ReferenceChunk() : ChunkHeader(wux_file::kReferenceTag), entries(new RecordList()) {}

BoundSphere::BoundSphere(float cx, float cy, float cz, float r) : x(cx), y(cy), z(cz), radius(r) {}

BoundChunk::BoundChunk()
    : ChunkHeader(wux_file::kBoundTag), mainSphere(new BoundSphere(0.0f, 0.0f, 0.0f, 0.0f)), spheres(new RecordList()) {}

BoundChunk::~BoundChunk() {
    mainSphere.reset();
    spheres.reset();
}

EllipsoidChunk::EllipsoidChunk(float cx, float cy, float cz, float sx, float sy, float sz)
    : ChunkHeader(wux_file::kEllipsoidTag), centre{cx, cy, cz}, semiAxes{sx, sy, sz} {}

ExportModel::ExportModel()
    : materials(new RecordList()),
      meshes(new RecordList()),
      references(new ReferenceChunk()),
      bounds(new BoundChunk()) {}

ExportModel::~ExportModel() {
    materials.reset();
    meshes.reset();
    references.reset();
    bounds.reset();
    ellipsoid.reset();
}

void RecordOutcome(OutcomeKind kind, const char* name, const std::string& detail) noexcept {
    try {
        auto entry = std::find_if(exportOutcome.begin(), exportOutcome.end(),
                                  [kind](const OutcomeEntry& e) { return e.kind == kind; });
        if (entry == exportOutcome.end()) entry = exportOutcome.insert(entry, OutcomeEntry{kind, 0, {}});
        ++entry->count;
        std::string example = std::string(name) + '\0' + detail + '\0';
        if (entry->examples.size() < 4 &&
            std::find(entry->examples.begin(), entry->examples.end(), example) == entry->examples.end())
            entry->examples.push_back(std::move(example));
    } catch (...) {
    }
}
