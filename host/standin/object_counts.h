// Lifetime counts of TriObjects, so tests can check that temporary meshes made by a conversion
// are deleted exactly once and the scene's own meshes never.
#pragma once

long StandinTriObjectsCreated();
long StandinTriObjectsDestroyed();
inline long StandinTriObjectsAlive() { return StandinTriObjectsCreated() - StandinTriObjectsDestroyed(); }
