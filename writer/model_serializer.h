#pragma once

#include <cstdint>

#include "writer/save_result.h"

class ByteBuffer;
class ExportModel;

// The size fields of a WUX file, all known before the first byte is written.
struct ModelLayout {
    uint64_t fileSize = 0;   // LIBF size: the whole file
    uint64_t infoSize = 0;   // GNFO block_size: from "GNFO" up to "GREF"
    uint64_t refSize = 0;    // GREF block_size
};

// Checks that the model can be written (counts in range, arrays present, the
// file under 4 GiB) and works out its size fields. On failure fills *error
// (when not null) with kind InvalidModel or TooLarge.
bool MeasureModel(const ExportModel& model, ModelLayout* layout, SaveError* error);

// Appends the whole WUX file for model to out, in one forward pass. Returns
// false when the model cannot be written (see MeasureModel; nothing is put
// then) or when out's sink failed (kind WriteFailed, empty message: the sink
// knows why).
bool SerializeModel(const ExportModel& model, ByteBuffer& out, SaveError* error);
