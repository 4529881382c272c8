#pragma once

#include "host/max_sdk.h"

// The two words of the exporter's class identifier.
constexpr ULONG kModelExporterClassIdA = 0x280D4A49;
constexpr ULONG kModelExporterClassIdB = 0x4ABE3694;

// Describes the exporter class to the host and makes exporters on request.
// Every operation the host may call later keeps the SDK's default.
class ModelExporterClassDesc : public ClassDesc {
public:
    int IsPublic() override;
    // A new ModelExporter on every call; the caller owns it.
    void* Create(BOOL loading = FALSE) override;
    const TCHAR* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const TCHAR* Category() override;
};
