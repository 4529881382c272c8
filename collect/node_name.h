#pragma once

#include "host/max_sdk.h"

// The node's name, or "" when the host gives none, so that name tests and name
// copies never read through a null pointer.
inline const char* NodeName(INode* node) {
    const char* name = node->GetName();
    return name != nullptr ? name : "";
}
