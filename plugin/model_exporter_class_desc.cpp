#include "plugin/model_exporter_class_desc.h"

#include "plugin/model_exporter.h"

ModelExporterClassDesc exporterClassDesc;

void* ModelExporterClassDesc::Create(BOOL /*loading*/) noexcept
{
    try {
        return new ModelExporter();
    } catch (...) {
        return nullptr;
    }
}
