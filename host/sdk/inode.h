// A node of the scene tree.
#pragma once

#include "host/sdk/animatable.h"
#include "host/sdk/interval.h"
#include "host/sdk/matrix3.h"
#include "host/sdk/object.h"

class Mtl;

class INode : public ReferenceTarget {
public:
    virtual TCHAR* GetName() = 0;
    virtual Mtl* GetMtl() = 0;  // null when the node has none
    // The node's object evaluated at time; obj is null when there is none.
    virtual const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden = TRUE) = 0;
    // The object-to-world transform: object offset, then the node's world transform.
    virtual Matrix3 GetObjTMAfterWSM(TimeValue time, Interval* valid = nullptr) = 0;
};
