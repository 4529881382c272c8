#include "plugin/library_objects.h"

ModelExporterClassDesc exporterClassDesc;
HINSTANCE hInstance = nullptr;
bool controlsInitialized = false;
