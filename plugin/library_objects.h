#pragma once

#include "host/max_sdk.h"
#include "plugin/model_exporter_class_desc.h"

// Objects that live as long as the library is loaded.

// The one class descriptor; LibClassDesc(0) returns its address.
extern ModelExporterClassDesc exporterClassDesc;
// The library's own module handle, stored by every DllMain call.
extern HINSTANCE hInstance;
// Set by the first DllMain call, which initialises the control libraries.
extern bool controlsInitialized;
