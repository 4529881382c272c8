#pragma once

class ExportModel;
class Interface;

// The state of the export that is running; valid only during one export.
extern ExportModel* currentModel;
extern Interface* hostInterface;
// Set when collecting a node failed (an exception caught in the node callback, which
// must not unwind through the host): the export then ends as a failed one.
extern bool collectionFailed;
