#include "host/standin/std_mat.h"

Color StandinStdMatMtlColours::GetAmbient(int, BOOL) { return static_cast<StdMat*>(this)->GetAmbient(TimeValue(0)); }
Color StandinStdMatMtlColours::GetDiffuse(int, BOOL) { return static_cast<StdMat*>(this)->GetDiffuse(TimeValue(0)); }
Color StandinStdMatMtlColours::GetSpecular(int, BOOL) { return static_cast<StdMat*>(this)->GetSpecular(TimeValue(0)); }

void StandinStdMat::EnableMap(int id, BOOL onoff) {
    if (At(id)) At(id)->enabled = onoff;
}

void StandinStdMat::SetTexmapAmt(int id, float amount) {
    if (At(id)) At(id)->amount = amount;
}

void StandinStdMat::SetMap(int id, Texmap* map, float amount) {
    if (At(id)) *At(id) = Slot{TRUE, map, amount};
}
