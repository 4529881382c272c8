#pragma once

#include <string>
#include <vector>

class ExportModel;
class Interface;

// The state of the export that is running; valid only during one export.
extern ExportModel* currentModel;
extern Interface* hostInterface;
// Set when collecting a node failed (an exception caught in the node callback, which
// must not unwind through the host): the export then ends as a failed one.
extern bool collectionFailed;

// What the export passed over or left out, noted by the collectors where they decide it, for
// callers that ask (the wux tool); nothing of it reaches the file. The numbers are the
// library's interface: new kinds go last. Examples name the node, except for the two
// material kinds, which name the material.
enum class OutcomeKind { NodePassedOver, NodeWithoutObject, MeshSplit, MapWithoutBitmap, NoStandardMaterial,
                         MaterialNameShared, TrianglesLost, SphereLost, HelperLost };

struct OutcomeEntry {
    OutcomeKind kind;
    unsigned long count;
    // The first four distinct examples, each a name and a detail, both ended by '\0'.
    std::vector<std::string> examples;
};

extern std::vector<OutcomeEntry> exportOutcome;  // in the order first met; emptied by each export
extern std::vector<const void*> materialSources;  // each written material's own, by index

// Notes one case of kind for the node or material `name`. A note that cannot be kept (no
// memory) is dropped: it never changes the export.
void RecordOutcome(OutcomeKind kind, const char* name, const std::string& detail = std::string()) noexcept;
