// A bitmap texture map, class (BMTEX_CLASS_ID, 0), with the bitmap's path.
#pragma once

#include <string>

#include "host/sdk/materials.h"

class StandinBitmapTex : public BitmapTex {
public:
    // A null path gives a map whose GetMapName() is null.
    explicit StandinBitmapTex(const char* path = nullptr) { SetMapName(path); }

    Class_ID ClassID() override { return Class_ID(BMTEX_CLASS_ID, 0); }
    TCHAR* GetMapName() override { return hasPath ? &path[0] : nullptr; }
    void SetMapName(const char* p) {
        hasPath = p != nullptr;
        path = p ? p : "";
    }

private:
    bool hasPath = false;
    std::string path;
};
