#pragma once

#include "host/max_sdk.h"

// The two words of the exporter's class identifier.
constexpr ULONG kModelExporterClassIdA = 0x280D4A49;
constexpr ULONG kModelExporterClassIdB = 0x4ABE3694;

// Describes the exporter class to the host and makes exporters on request.
// Every operation the host may call later keeps the SDK's default. Nothing here
// lets an exception out into the host's frames.
class ModelExporterClassDesc : public ClassDesc {
public:
    int IsPublic() noexcept override { return TRUE; }
    // A new ModelExporter on every call; the caller owns it. Null when there is
    // no memory for one.
    void* Create(BOOL loading = FALSE) noexcept override;
    const TCHAR* ClassName() noexcept override { return "Tolvar"; }
    SClass_ID SuperClassID() noexcept override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() noexcept override { return Class_ID(kModelExporterClassIdA, kModelExporterClassIdB); }
    const TCHAR* Category() noexcept override { return ""; }
};

// The one class descriptor, alive as long as the library is loaded; LibClassDesc(0) returns it.
extern ModelExporterClassDesc exporterClassDesc;
