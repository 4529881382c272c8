// Scene objects: what a node's pipeline evaluates to.
#pragma once

#include "host/sdk/animatable.h"
#include "host/sdk/interval.h"

class IParamArray;
class Object;

class ObjectState {
public:
    Object* obj;

    ObjectState() : obj(nullptr) {}
    ObjectState(Object* ob) : obj(ob) {}
};

class BaseObject : public ReferenceTarget {
public:
    // The old-style block; second-generation blocks are found through
    // Animatable::GetParamBlock(int) or GetParamBlockByID, which this declaration hides.
    virtual IParamArray* GetParamBlock() { return nullptr; }
};

class Object : public BaseObject {
public:
    virtual int CanConvertToType(Class_ID) { return 0; }
    // When the result is not this object, the caller owns it and deletes it.
    virtual Object* ConvertToType(TimeValue, Class_ID) { return nullptr; }
    // The object at time t. In the host every object overrides it; the stand-in's default is
    // the object itself.
    virtual ObjectState Eval(TimeValue) { return ObjectState(this); }
};

class GeomObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
};

class HelperObject : public Object {
public:
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
};
