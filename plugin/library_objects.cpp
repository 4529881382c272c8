#include "plugin/library_objects.h"

ModelExporterClassDesc exporterClassDesc;
NodeCollector nodeCollector;
HINSTANCE hInstance = nullptr;
bool controlsInitialized = false;
