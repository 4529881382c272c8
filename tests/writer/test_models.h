#pragma once

#include <memory>

#include "model/export_model.h"

// Word `word` of a test material's colour block: the layout's constant words (0 and 1 zero,
// 5, 13 and 17 one, 18 thirty-nine), base + step * word elsewhere.
float TestColourWord(int word, float base, float step);

// A small model with every kind of chunk, valid for the checker; golden_bytes_test.cpp spells out its file.
std::unique_ptr<ExportModel> MakeFullModel();

// A model with one mesh of faceCount triangles, for files of a chosen size.
std::unique_ptr<ExportModel> MakeMeshModel(int32_t faceCount);
