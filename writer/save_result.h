#pragma once

#include <string>

class ExportModel;

// Why a WUX file could not be written.
struct SaveError {
    enum class Kind {
        None,          // no error
        InvalidPath,   // null or empty path, or a path naming a folder
        CannotCreate,  // the file (or its temporary file) could not be created
        WriteFailed,   // a write, flush or close failed (for instance a full disk)
        RenameFailed,  // the finished temporary file could not be moved over the target
        InvalidModel,  // the model breaks its own rules (a negative count, a missing array)
        TooLarge,      // the file would pass the format's 4 GiB limit
        OutOfMemory,
    };
    Kind kind = Kind::None;
    std::string message;  // names the path and the operating system's error
};

// Writes model as a WUX file at path. The bytes go to a temporary file in the
// target's folder which replaces the target only once it is complete, so on
// failure an existing file at path is left unchanged and no temporary remains.
// A path naming an existing device or pipe is written to directly.
// Returns true on success; on failure fills *error when error is not null.
bool SaveModel(const ExportModel& model, const char* path, SaveError* error);
