#include "model/export_model.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

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

RecordList::~RecordList() {
    // Iterative, so that a list of millions of records cannot exhaust the stack.
    while (head != nullptr) {
        RecordListNode* following = head->next;
        delete head;
        head = following;
    }
}

void RecordList::append(std::unique_ptr<ModelRecord> record) {
    while (cursor->next != nullptr) cursor = cursor->next;
    RecordListNode* node = new RecordListNode{std::move(record)};
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

VertexChunk::VertexChunk(int32_t vertexCountIn, int32_t faceCountIn, int32_t materialIndexIn)
    : ChunkHeader(wux_file::kMeshTag),
      vertexCount(vertexCountIn),
      faceCount(faceCountIn),
      materialIndex(materialIndexIn),
      vertices(new MeshVertex[static_cast<size_t>(vertexCountIn)]),
      triangles(new uint16_t[3 * static_cast<size_t>(faceCountIn)]),
      normals(new MeshNormal[static_cast<size_t>(vertexCountIn)]),
      faceBlocks(Zeroed(new uint32_t[3 * static_cast<size_t>(faceCountIn)], 3 * static_cast<size_t>(faceCountIn))) {}

BoundChunk::~BoundChunk() {
    mainSphere.reset();
    spheres.reset();
}

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
