#include "host/sdk/plugin_api.h"

ClassDesc::ClassDesc() = default;
ClassDesc::~ClassDesc() = default;
SceneExport::SceneExport() = default;
SceneExport::~SceneExport() = default;
