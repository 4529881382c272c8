#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "model/bound_chunk.h"
#include "model/ellipsoid_chunk.h"
#include "model/record_list.h"
#include "model/reference_chunk.h"

// The in-memory model of one export: filled by the collectors, written by Save.
class ExportModel {
public:
    std::unique_ptr<RecordList> materials;  // of MaterialChunk; position = material index
    std::unique_ptr<RecordList> meshes;     // of VertexChunk
    std::unique_ptr<ReferenceChunk> references;
    std::unique_ptr<BoundChunk> bounds;
    std::unique_ptr<EllipsoidChunk> ellipsoid;  // null until a GELP node is collected
    int32_t meshCount = 0;      // equals meshes->count()
    int32_t materialCount = 0;  // equals materials->count()
    // Kept in step with materials by the material collector, so that finding a
    // material by name does not walk the whole list for every mesh.
    std::unordered_map<std::string, int32_t> materialIndexByName;

    // Material list, mesh list, GREF record, GBND record; no ellipsoid.
    ExportModel();
    // Materials, meshes, GREF, GBND, then the ellipsoid.
    ~ExportModel();
    ExportModel(const ExportModel&) = delete;
    ExportModel& operator=(const ExportModel&) = delete;

    // Writes the model as a WUX file at path. Returns 0 when the whole file was
    // written, 1 otherwise (an existing file at path is then left unchanged).
    int Save(const char* path) const;
};
