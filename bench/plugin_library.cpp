#include "bench/plugin_library.h"

#include <dlfcn.h>

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function* function, std::string* error) {
    void* address = dlsym(handle, name);
    if (address == nullptr) {
        if (error) *error = std::string("the plug-in does not export ") + name;
        return false;
    }
    *function = reinterpret_cast<Function>(address);
    return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool PluginLibrary::Load(const std::string& path, std::string* error) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        if (error) *error = "cannot load " + path + ": " + dlerror();
        return false;
    }
    int (*libNumberClasses)() = nullptr;
    ClassDesc* (*libClassDesc)(int) = nullptr;
    ULONG (*libVersion)() = nullptr;
    if (!Resolve(handle_, "LibDescription", &libDescription_, error) ||
        !Resolve(handle_, "LibNumberClasses", &libNumberClasses, error) ||
        !Resolve(handle_, "LibClassDesc", &libClassDesc, error) ||
        !Resolve(handle_, "LibVersion", &libVersion, error))
        return false;
    if (libNumberClasses() != 1 || (classDesc_ = libClassDesc(0)) == nullptr) {
        if (error) *error = path + " does not offer exactly one class";
        return false;
    }
    (void)libVersion();
    return true;
}

SceneExport* PluginLibrary::CreateExporter() const {
    return static_cast<SceneExport*>(classDesc_->Create(FALSE));
}

const char* PluginLibrary::Description() const { return libDescription_(); }
