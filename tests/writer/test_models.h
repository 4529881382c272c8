#pragma once

#include <memory>

#include "model/export_model.h"

// A small model with every kind of chunk; golden_bytes_test.cpp spells out its file.
std::unique_ptr<ExportModel> MakeFullModel();

// A model with one mesh of faceCount triangles, for files of a chosen size.
std::unique_ptr<ExportModel> MakeMeshModel(int32_t faceCount);
