#include "plugin/library_exports.h"

#include "plugin/library_objects.h"

extern "C" const TCHAR* LibDescription()
{
    return "My first export file plugin";
}

extern "C" int LibNumberClasses()
{
    return 1;
}

extern "C" ClassDesc* LibClassDesc(int i)
{
    return i == 0 ? &exporterClassDesc : nullptr;
}

extern "C" ULONG LibVersion()
{
    return kLibraryVersion;
}
