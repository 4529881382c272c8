#include "host/sdk/class_id.h"

Class_ID triObjectClassID(TRIOBJ_CLASS_ID, 0);
