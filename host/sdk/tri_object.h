// The editable triangle mesh object.
#pragma once

#include "host/sdk/mesh.h"
#include "host/sdk/object.h"

class TriObject : public GeomObject {
public:
    Mesh mesh;

    TriObject();
    ~TriObject() override;
    TriObject(const TriObject&) = delete;
    TriObject& operator=(const TriObject&) = delete;

    Class_ID ClassID() override;  // triObjectClassID
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;  // itself for triObjectClassID
};

TriObject* CreateNewTriObject();
