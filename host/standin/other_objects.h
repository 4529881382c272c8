// Objects that do not convert to a triangle mesh: a camera, a light and a shape.
#pragma once

#include "host/sdk/object.h"

class StandinCamera : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1001, 0); }
    SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
};

class StandinLight : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1011, 0); }
    SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
};

class StandinShape : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1021, 0); }
    SClass_ID SuperClassID() override { return SHAPE_CLASS_ID; }
};
