// Loads the exporter plug-in library at run time and drives it the way the host does:
// the four exported functions, the class descriptor, a SceneExport made by the descriptor,
// and one DoExport call per export.
#pragma once

#include <string>

#include "host/max_sdk.h"

namespace wux {

struct PluginError {
    enum class Kind {
        NotFound,     // no library at the path
        LoadFailed,   // dlopen refused it
        MissingEntry, // one of the four functions is not exported
        Mismatch,     // wrong class count, version, descriptor or super class
        CreateFailed, // the descriptor made no exporter
    };
    Kind kind = Kind::NotFound;
    std::string message;  // names the library's path
};

// Where the plug-in library is looked for, first hit wins: the explicit path (from
// --plugin), the WUX_PLUGIN environment variable, the installed layout's plug-in folder
// relative to the running executable (lib/wux/ beside bin/), wux_plugin.so beside the
// executable, then, for the tool in its own build tree only, the build tree's plug-in.
// *searched lists the places tried, for the message when none holds the library.
std::string LocatePlugin(const std::string& explicitPath, std::string* searched);

// The version word the plug-in must report: SDK release 8000, interface 17, revision 0.
constexpr ULONG kExpectedLibVersion = 0x1F401100UL;

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Opens the library, resolves and checks its entry points and class descriptor.
    bool Load(const std::string& path, PluginError* error);

    const std::string& Path() const { return path_; }
    const char* Description() const;
    // Why the last export's file could not be written (the system's error or the format's
    // size limit), when the library tells; empty otherwise.
    std::string LastSaveFailure() const;

    // One export as the host runs it: a new exporter from the descriptor, DoExport with
    // prompts suppressed and no options, then the exporter deleted. False when no exporter
    // could be made or an exception escaped the plug-in; DoExport's result in *result.
    bool Export(const std::string& outputPath, ExpInterface* ei, Interface* ip, int* result, PluginError* error);

private:
    void* handle_ = nullptr;
    std::string path_;
    const TCHAR* (*libDescription_)() = nullptr;
    ClassDesc* classDesc_ = nullptr;
};

}  // namespace wux
