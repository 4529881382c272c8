#include "host/standin/std_mat.h"

#include <cstddef>

Color StandinStdMatMtlColours::GetAmbient(int, BOOL) { return static_cast<StdMat*>(this)->GetAmbient(TimeValue(0)); }
Color StandinStdMatMtlColours::GetDiffuse(int, BOOL) { return static_cast<StdMat*>(this)->GetDiffuse(TimeValue(0)); }
Color StandinStdMatMtlColours::GetSpecular(int, BOOL) { return static_cast<StdMat*>(this)->GetSpecular(TimeValue(0)); }

StandinStdMat::StandinStdMat(const char* name)
    : ambient(0.588f, 0.588f, 0.588f), diffuse(0.588f, 0.588f, 0.588f), specular(0.9f, 0.9f, 0.9f),
      filter(0.5f, 0.5f, 0.5f), opacity(1.0f) {
    SetName(name);
}

Color StandinStdMat::GetAmbient(TimeValue) { return ambient; }
Color StandinStdMat::GetDiffuse(TimeValue) { return diffuse; }
Color StandinStdMat::GetSpecular(TimeValue) { return specular; }
Color StandinStdMat::GetFilter(TimeValue) { return filter; }
float StandinStdMat::GetOpacity(TimeValue) { return opacity; }

BOOL StandinStdMat::MapEnabled(int id) { return InRange(id) ? slots[size_t(id)].enabled : FALSE; }
float StandinStdMat::GetTexmapAmt(int id, TimeValue) { return InRange(id) ? slots[size_t(id)].amount : 0.0f; }
Texmap* StandinStdMat::GetSubTexmap(int i) { return InRange(i) ? slots[size_t(i)].map : nullptr; }

void StandinStdMat::SetSubTexmap(int i, Texmap* m) {
    if (InRange(i)) slots[size_t(i)].map = m;
}

void StandinStdMat::EnableMap(int id, BOOL onoff) {
    if (InRange(id)) slots[size_t(id)].enabled = onoff;
}

void StandinStdMat::SetTexmapAmt(int id, float amount) {
    if (InRange(id)) slots[size_t(id)].amount = amount;
}

void StandinStdMat::SetMap(int id, Texmap* map, float amount) {
    if (!InRange(id)) return;
    slots[size_t(id)] = Slot{TRUE, map, amount};
}
