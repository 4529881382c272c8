#pragma once

#include <string>

#include "host/max_sdk.h"

// The exporter plug-in opened the way a host opens it: dlopen, then the four
// exported functions by name, then the class descriptor's Create.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the library at path and checks its four exports and its one class.
    bool Load(const std::string& path, std::string* error);

    // A new exporter from the class descriptor; the caller deletes it.
    SceneExport* CreateExporter() const;
    const char* Description() const;

private:
    void* handle_ = nullptr;
    ClassDesc* classDesc_ = nullptr;
    const TCHAR* (*libDescription_)() = nullptr;
};
