#include "plugin/model_exporter_class_desc.h"

#include "plugin/model_exporter.h"

int ModelExporterClassDesc::IsPublic()
{
    return TRUE;
}

void* ModelExporterClassDesc::Create(BOOL /*loading*/)
{
    return new ModelExporter();
}

const TCHAR* ModelExporterClassDesc::ClassName()
{
    return "Tolvar";
}

SClass_ID ModelExporterClassDesc::SuperClassID()
{
    return SCENE_EXPORT_CLASS_ID;
}

Class_ID ModelExporterClassDesc::ClassID()
{
    return Class_ID(kModelExporterClassIdA, kModelExporterClassIdB);
}

const TCHAR* ModelExporterClassDesc::Category()
{
    return "";
}
