#include "host/sdk/tri_object.h"

#include "host/standin/object_counts.h"

static long triObjectsCreated = 0;
static long triObjectsDestroyed = 0;

long StandinTriObjectsCreated() { return triObjectsCreated; }
long StandinTriObjectsDestroyed() { return triObjectsDestroyed; }

TriObject::TriObject() { ++triObjectsCreated; }
TriObject::~TriObject() { ++triObjectsDestroyed; }

Class_ID TriObject::ClassID() { return triObjectClassID; }

int TriObject::CanConvertToType(Class_ID obtype) { return obtype == triObjectClassID ? 1 : 0; }

Object* TriObject::ConvertToType(TimeValue, Class_ID obtype) {
    return obtype == triObjectClassID ? this : nullptr;
}

TriObject* CreateNewTriObject() { return new TriObject; }
