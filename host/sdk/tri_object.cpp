#include "host/sdk/tri_object.h"

#include "host/standin/objects.h"

static long triObjectsAlive = 0;

long StandinTriObjectsAlive() { return triObjectsAlive; }

TriObject::TriObject() { ++triObjectsAlive; }
TriObject::~TriObject() { --triObjectsAlive; }

Class_ID TriObject::ClassID() { return triObjectClassID; }

int TriObject::CanConvertToType(Class_ID obtype) { return obtype == triObjectClassID ? 1 : 0; }

Object* TriObject::ConvertToType(TimeValue, Class_ID obtype) {
    return obtype == triObjectClassID ? this : nullptr;
}

TriObject* CreateNewTriObject() { return new TriObject; }
