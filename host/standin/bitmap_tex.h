// A bitmap texture map, class (BMTEX_CLASS_ID, 0), with the bitmap's path.
#pragma once

#include <string>

#include "host/sdk/materials.h"

class StandinBitmapTex : public BitmapTex {
public:
    // A null path gives a map whose GetMapName() is null.
    explicit StandinBitmapTex(const char* path = nullptr) : hasPath(path != nullptr), path(path ? path : "") {}

    Class_ID ClassID() override { return Class_ID(BMTEX_CLASS_ID, 0); }
    TCHAR* GetMapName() override { return hasPath ? &path[0] : nullptr; }

private:
    bool hasPath;
    std::string path;
};
