#include "plugin/library_exports.h"

#include "plugin/library_objects.h"

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
