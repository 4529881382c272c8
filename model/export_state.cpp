#include "model/export_state.h"

ExportModel* currentModel = nullptr;
Interface* hostInterface = nullptr;
bool collectionFailed = false;
