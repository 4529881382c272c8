#include "host/standin/multi_mtl.h"

// The colours the host shows for a multi/sub-object material: those of a new material.
Color StandinMultiMtl::GetAmbient(int, BOOL) { return Color(0.588f, 0.588f, 0.588f); }
Color StandinMultiMtl::GetDiffuse(int, BOOL) { return Color(0.588f, 0.588f, 0.588f); }
Color StandinMultiMtl::GetSpecular(int, BOOL) { return Color(0.9f, 0.9f, 0.9f); }
