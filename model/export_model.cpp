#include "model/export_model.h"

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
