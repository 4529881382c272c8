#pragma once

#include "collect/node_collector.h"
#include "host/max_sdk.h"
#include "plugin/model_exporter_class_desc.h"

// Objects that live as long as the library is loaded.

// The one class descriptor; LibClassDesc(0) returns its address.
extern ModelExporterClassDesc exporterClassDesc;
// The scene-walk callback every export hands to the host.
extern NodeCollector nodeCollector;
// The library's own module handle, stored by every DllMain call.
extern HINSTANCE hInstance;
// Set by the first DllMain call, which initialises the control libraries.
extern bool controlsInitialized;
