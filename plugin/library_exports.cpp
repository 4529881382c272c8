// The four functions the host looks up after loading the library (by name, or by
// the ordinals 1 to 4 in this order on Windows). They throw nothing.
#include "plugin/model_exporter.h"

// LibVersion's word: SDK release 8000, interface 17, revision 0.
constexpr ULONG kLibraryVersion = (8000UL << 16) + (17UL << 8) + 0UL;

extern "C" const TCHAR* LibDescription() noexcept
{
    return "My first export file plugin";
}

extern "C" int LibNumberClasses() noexcept
{
    return 1;
}

extern "C" ClassDesc* LibClassDesc(int i) noexcept
{
    return i == 0 ? &exporterClassDesc : nullptr;
}

extern "C" ULONG LibVersion() noexcept
{
    return kLibraryVersion;
}
