#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "format/wux_format.h"

// Common base of everything a RecordList holds. The virtual destructor lets a
// list destroy each record as its own type, together with what the record owns.
struct ModelRecord {
    virtual ~ModelRecord() = default;
};

// One link of a RecordList. The head node holds no record and has index -1;
// every other node's index is its predecessor's plus one.
struct RecordListNode {
    std::unique_ptr<ModelRecord> record;
    int32_t index = -1;
    RecordListNode* next = nullptr;
    RecordListNode* previous = nullptr;
};

// Append-only doubly linked list with a head node and one built-in cursor.
// Records are read back in append order: first(), then next() for count() records.
// At the edges the cursor stays put: next() on the last record returns it again,
// previous() on the first record returns it again, and all three return null on
// an empty list.
class RecordList {
public:
    RecordList() = default;
    ~RecordList();
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    // Adds the record after the last node (walking the cursor there first, since
    // a reader may have stopped half-way) and leaves the cursor on it.
    void append(std::unique_ptr<ModelRecord> record);

    ModelRecord* first();
    ModelRecord* next();
    ModelRecord* previous();
    int32_t count() const { return recordCount; }

    RecordListNode* head = new RecordListNode();
    RecordListNode* cursor = head;
    int32_t recordCount = 0;
};

// The head of every chunk record: its four-character tag and a terminating zero.
struct ChunkHeader : ModelRecord {
    char sign[5];

    explicit ChunkHeader(const char* tag);
};

// One enabled texture-map slot of a material.
struct MaterialMap {
    int32_t channel = 0;   // the material's own map slot, 0 to 11
    std::string fileName;  // the bitmap's file name without its folder
    float amount = 0.0f;
};

// One GMAT record per distinct material name.
struct MaterialChunk : ChunkHeader {
    static constexpr int kMaxMaps = 12;
    static constexpr int kColourWords = 19;

    std::string name;
    float colourBlock[kColourWords];  // filled by the material collector
    int32_t mapCount = 0;             // slots 0 .. mapCount - 1 of maps are in use
    MaterialMap maps[kMaxMaps];

    explicit MaterialChunk(const char* materialName) : ChunkHeader(wux_file::kMaterialTag), name(materialName) {}
};

// One triangle corner: world-space position and texture coordinates (v flipped).
struct MeshVertex {
    float x, y, z, u, v;
};

// One corner normal in the object's own space.
struct MeshNormal {
    float x, y, z;
};

// One GVTX record per exported triangle mesh: a triangle soup in which corner j
// of triangle i is vertex 3 * i + j.
struct VertexChunk : ChunkHeader {
    int32_t vertexCount;    // always 3 * faceCount
    int32_t faceCount;
    int32_t materialIndex;  // position in the model's material list
    std::unique_ptr<MeshVertex[]> vertices;  // vertexCount entries
    std::unique_ptr<uint16_t[]> triangles;   // 3 * faceCount indices
    std::unique_ptr<MeshNormal[]> normals;   // vertexCount entries
    std::unique_ptr<uint32_t[]> faceBlocks;  // 3 * faceCount words, all 0 in a written file

    // Allocates the four arrays at full size and leaves them unfilled but for faceBlocks, which
    // starts all 0: the mesh collector writes every other entry, and large meshes should not pay
    // for zeroing.
    VertexChunk(int32_t vertexCount, int32_t faceCount, int32_t materialIndex);
};

// One helper object: its name, a 4 x 4 matrix (rows 0-2 the unit axes, row 3 the
// reference position; the fourth column all 0) and its half lengths along X, Y, Z.
struct ReferenceEntry : ModelRecord {
    std::string name;
    float transform[4][4];
    float halfExtents[3];

    explicit ReferenceEntry(const char* entryName) : name(entryName) {}
};

// The single GREF record; owns the list of ReferenceEntry records.
struct ReferenceChunk : ChunkHeader {
    std::unique_ptr<RecordList> entries = std::make_unique<RecordList>();

    ReferenceChunk() : ChunkHeader(wux_file::kReferenceTag) {}
};

// A bounding sphere: world-space centre and radius.
struct BoundSphere : ModelRecord {
    float x, y, z, radius;

    BoundSphere(float cx, float cy, float cz, float r) : x(cx), y(cy), z(cz), radius(r) {}
};

// The single GBND record: the largest sphere so far and every other sphere.
struct BoundChunk : ChunkHeader {
    std::unique_ptr<BoundSphere> mainSphere = std::make_unique<BoundSphere>(0.0f, 0.0f, 0.0f, 0.0f);  // never null
    std::unique_ptr<RecordList> spheres = std::make_unique<RecordList>();                            // of BoundSphere

    BoundChunk() : ChunkHeader(wux_file::kBoundTag) {}
    // Main sphere first, then the list (the reverse of the members' own order).
    ~BoundChunk() override;
};

// The GELP record: centre and semi-axis lengths along the object's X, Y and Z axes.
struct EllipsoidChunk : ChunkHeader {
    float centre[3];
    float semiAxes[3];

    EllipsoidChunk(float cx, float cy, float cz, float sx, float sy, float sz)
        : ChunkHeader(wux_file::kEllipsoidTag), centre{cx, cy, cz}, semiAxes{sx, sy, sz} {}
};

// The in-memory model of one export: filled by the collectors, written by Save.
class ExportModel {
public:
    std::unique_ptr<RecordList> materials = std::make_unique<RecordList>();  // of MaterialChunk; position = index
    std::unique_ptr<RecordList> meshes = std::make_unique<RecordList>();     // of VertexChunk
    std::unique_ptr<ReferenceChunk> references = std::make_unique<ReferenceChunk>();
    std::unique_ptr<BoundChunk> bounds = std::make_unique<BoundChunk>();
    std::unique_ptr<EllipsoidChunk> ellipsoid;  // null until a GELP node is collected
    int32_t meshCount = 0;      // equals meshes->count()
    int32_t materialCount = 0;  // equals materials->count()
    // Kept in step with materials by the material collector, so that finding a
    // material by name does not walk the whole list for every mesh.
    std::unordered_map<std::string, int32_t> materialIndexByName;

    // Materials, meshes, GREF, GBND, then the ellipsoid (the reverse of the members' own order).
    ~ExportModel();

    // Writes the model as a WUX file at path. Returns 0 when the whole file was
    // written, 1 otherwise (an existing file at path is then left unchanged).
    int Save(const char* path) const;
};

class Interface;

// The state of the export that is running; valid only during one export.
extern ExportModel* currentModel;
extern Interface* hostInterface;
// Set when collecting a node failed (an exception caught in the node callback, which
// must not unwind through the host): the export then ends as a failed one.
extern bool collectionFailed;

// What the export passed over or left out, noted by the collectors where they decide it, for
// callers that ask (the wux tool); nothing of it reaches the file. The numbers are the
// library's interface: new kinds go last. Examples name the node, except for the two
// material kinds, which name the material.
enum class OutcomeKind { NodePassedOver, NodeWithoutObject, MeshSplit, MapWithoutBitmap, NoStandardMaterial,
                         MaterialNameShared, TrianglesLost, SphereLost, HelperLost };

struct OutcomeEntry {
    OutcomeKind kind;
    unsigned long count;
    // The first four distinct examples, each a name and a detail, both ended by '\0'.
    std::vector<std::string> examples;
};

extern std::vector<OutcomeEntry> exportOutcome;  // in the order first met; emptied by each export
extern std::vector<const void*> materialSources;  // each written material's own, by index

// Notes one case of kind for the node or material `name`. A note that cannot be kept (no
// memory) is dropped: it never changes the export.
void RecordOutcome(OutcomeKind kind, const char* name, const std::string& detail = std::string()) noexcept;
