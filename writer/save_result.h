#pragma once

#include <string>

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
    // The reason alone, for a caller that names the file itself: the operating
    // system's error ("No space left on device") or the format's size limit.
    std::string cause;
};

// The cause given for a model too large for the format.
constexpr char kTooLargeCause[] = "the scene is larger than the 4 GiB the format can hold";

// The failure of this process's last ExportModel::Save, or kind None when it
// succeeded: the plug-in's only report is a fixed message, so a caller that can
// reach the library (the wux tool) asks here for the cause. Each export clears it.
SaveError& LastSaveFailure();
