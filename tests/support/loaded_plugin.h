#pragma once

#include <string>

#include "host/max_sdk.h"

// The Linux plug-in library opened with dlopen, as a host opens it, with its four
// exported functions resolved by name. Closes the library when destroyed.
class LoadedPlugin {
public:
    explicit LoadedPlugin(const char* path);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    // True when the library opened and all four functions were found; error() says
    // what failed otherwise.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const TCHAR* (*LibDescription)() = nullptr;
    int (*LibNumberClasses)() = nullptr;
    ClassDesc* (*LibClassDesc)(int) = nullptr;
    ULONG (*LibVersion)() = nullptr;

    // Looks up any other name; null when the library does not export it.
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};
