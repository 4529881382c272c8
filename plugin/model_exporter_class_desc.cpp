#include "plugin/model_exporter_class_desc.h"

#include "plugin/model_exporter.h"

int ModelExporterClassDesc::IsPublic() noexcept
{
    return TRUE;
}

void* ModelExporterClassDesc::Create(BOOL /*loading*/) noexcept
{
    try {
        return new ModelExporter();
    } catch (...) {
        return nullptr;
    }
}

const TCHAR* ModelExporterClassDesc::ClassName() noexcept
{
    return "Tolvar";
}

SClass_ID ModelExporterClassDesc::SuperClassID() noexcept
{
    return SCENE_EXPORT_CLASS_ID;
}

Class_ID ModelExporterClassDesc::ClassID() noexcept
{
    return Class_ID(kModelExporterClassIdA, kModelExporterClassIdB);
}

const TCHAR* ModelExporterClassDesc::Category() noexcept
{
    return "";
}
