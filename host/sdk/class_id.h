// Class identifiers: a class is told by its super class id and its two-word Class_ID.
#pragma once

#include "host/sdk/win32.h"

typedef unsigned long ulong;
typedef ULONG_PTR SClass_ID;

class Class_ID {
    ULONG a, b;

public:
    Class_ID() : a(0xffffffff), b(0xffffffff) {}
    Class_ID(ulong aa, ulong bb) : a(aa), b(bb) {}
    ULONG PartA() { return a; }
    ULONG PartB() { return b; }
    int operator==(const Class_ID& cid) const { return a == cid.a && b == cid.b; }
    int operator!=(const Class_ID& cid) const { return a != cid.a || b != cid.b; }
};

// Super class ids.
#define GEOMOBJECT_CLASS_ID 0x000010
#define CAMERA_CLASS_ID 0x000020
#define LIGHT_CLASS_ID 0x000030
#define SHAPE_CLASS_ID 0x000040
#define HELPER_CLASS_ID 0x000050
#define SCENE_EXPORT_CLASS_ID 0x000A20
#define MATERIAL_CLASS_ID 0x000C00
#define TEXMAP_CLASS_ID 0x000C10

// Class ids (second word 0).
#define TRIOBJ_CLASS_ID 0x0009
#define EDITTRIOBJ_CLASS_ID 0xe44f10b3  // the editable mesh, a TriObject of its own class
#define DMTL_CLASS_ID 0x00000002
#define BMTEX_CLASS_ID 0x0000240

extern Class_ID triObjectClassID;  // (TRIOBJ_CLASS_ID, 0)
