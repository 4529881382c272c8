#pragma once

class ExportModel;
class Interface;

// The state of the export that is running; valid only during one export.
extern ExportModel* currentModel;
extern Interface* hostInterface;
