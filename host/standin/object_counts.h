// The TriObjects alive, so tests can check that temporary meshes made by a conversion are
// deleted exactly once and the scene's own meshes never.
#pragma once

long StandinTriObjectsAlive();
