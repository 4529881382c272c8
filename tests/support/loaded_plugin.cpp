#include "tests/support/loaded_plugin.h"

#include <dlfcn.h>

namespace {

template <typename Fn>
void Resolve(void* handle, const char* name, Fn& out, std::string& error)
{
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        error += std::string("no export ") + name + "; ";
        return;
    }
    out = reinterpret_cast<Fn>(symbol);
}

}  // namespace

LoadedPlugin::LoadedPlugin(const char* path)
{
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = std::string("dlopen ") + path + ": " + (why != nullptr ? why : "unknown error");
        return;
    }
    Resolve(handle_, "LibDescription", LibDescription, error_);
    Resolve(handle_, "LibNumberClasses", LibNumberClasses, error_);
    Resolve(handle_, "LibClassDesc", LibClassDesc, error_);
    Resolve(handle_, "LibVersion", LibVersion, error_);
}

LoadedPlugin::~LoadedPlugin()
{
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* LoadedPlugin::Symbol(const char* name) const
{
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}
