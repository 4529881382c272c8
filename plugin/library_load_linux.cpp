// On Linux no loader calls DllMain. The shared library calls it itself when it is
// loaded, once, with DLL_PROCESS_ATTACH and the library's load address as its
// module handle (what a Windows module handle is too). There are no thread
// notifications, so this first call is the only one.
#include <dlfcn.h>

#include "model/export_model.h"
#include "plugin/model_exporter.h"
#include "writer/save_result.h"

namespace {

// Any object of this library tells dladdr which library to look up.
const char loadAnchor = 0;

__attribute__((constructor)) void NotifyProcessAttach()
{
    Dl_info info{};
    void* base = dladdr(&loadAnchor, &info) != 0 ? info.dli_fbase : nullptr;
    DllMain(reinterpret_cast<HINSTANCE>(base), DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace

// Not a host entry point: the wux tool, which loads this library as the host
// does, asks after a failed export why the file could not be written, since
// the plug-in's own message names no cause. Empty after a successful export.
extern "C" __attribute__((visibility("default"))) const char* WuxLastSaveFailure()
{
    return LastSaveFailure().cause.c_str();
}

// Whether that failure was the file's (it could not be created, written or moved into
// place) rather than the scene's: the tool's exit code tells the two apart.
extern "C" __attribute__((visibility("default"))) int WuxLastSaveFailureIsFile()
{
    const SaveError::Kind kind = LastSaveFailure().kind;
    return kind == SaveError::Kind::InvalidPath || kind == SaveError::Kind::CannotCreate ||
           kind == SaveError::Kind::WriteFailed || kind == SaveError::Kind::RenameFailed;
}

// What the last export passed over or left out (model/export_model.h): example `example` of
// entry `entry`, a name and a detail each ended by '\0', with the entry's kind and count;
// null past the last entry or example.
extern "C" __attribute__((visibility("default"))) const char* WuxExportOutcome(int entry, int example, int* kind,
                                                                                 unsigned long* count)
{
    const size_t at = static_cast<size_t>(entry), k = static_cast<size_t>(example);
    if (entry < 0 || example < 0 || at >= exportOutcome.size() || k >= exportOutcome[at].examples.size()) return nullptr;
    const OutcomeEntry& e = exportOutcome[at];
    *kind = static_cast<int>(e.kind);
    *count = e.count;
    return e.examples[k].c_str();
}
