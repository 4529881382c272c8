// The host's editable mesh: a TriObject of a class of its own. Asked for a triangle mesh,
// it answers with itself (TriObject's conversion), so the caller does not own the result.
#pragma once

#include "host/sdk/tri_object.h"

class StandinEditableMesh : public TriObject {
public:
    Class_ID ClassID() override { return Class_ID(EDITTRIOBJ_CLASS_ID, 0); }
};
