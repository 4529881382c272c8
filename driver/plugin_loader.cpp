#include "driver/plugin_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <system_error>
#include <vector>

#include "model/export_model.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLibraryFileName = "wux_plugin.so";

std::string DlError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

std::string Hex(unsigned long value) {
    std::ostringstream os;
    os << "0x" << std::hex << value;
    return os.str();
}

template <typename Function>
Function Resolve(void* handle, const char* name) {
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    return reinterpret_cast<Function>(dlsym(handle, name));
}

}  // namespace

ToolResult<std::string> LocatePlugin(const std::string& explicitPath) {
    // Taken as given: a wrong path must be reported, not replaced.
    if (!explicitPath.empty()) return explicitPath;
    if (const char* env = std::getenv("WUX_PLUGIN"); env != nullptr && *env != '\0') return std::string(env);
    std::vector<fs::path> candidates;
    std::error_code ec;
    const fs::path exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    if (!ec) {
#ifdef WUX_PLUGIN_RELATIVE_PATH
        // The installed layout: the plug-in's folder as seen from the executable's.
        candidates.push_back(exeDir / WUX_PLUGIN_RELATIVE_PATH);
#endif
        candidates.push_back(exeDir / kLibraryFileName);
#if defined(WUX_PLUGIN_BUILD_PATH) && defined(WUX_BUILD_TOOL_DIR)
        // Only the tool still in its build tree may use the build tree's plug-in: a copy that
        // was installed must never depend on a folder that may be gone or rebuilt.
        if (fs::equivalent(exeDir, WUX_BUILD_TOOL_DIR, ec)) candidates.push_back(WUX_PLUGIN_BUILD_PATH);
#endif
    }
    std::string list;
    for (const fs::path& c : candidates) {
        if (fs::is_regular_file(c, ec)) return c.lexically_normal().string();
        list += (list.empty() ? "" : ", ") + c.lexically_normal().string();
    }
    return ToolError::Of(ToolError::Kind::PluginNotFound, "",
                     std::string("cannot find the plug-in library ") + kLibraryFileName + " (looked at " + list +
                         "); give its path with --plugin or the WUX_PLUGIN environment variable");
}

void PluginLibrary::Close::operator()(void* handle) const { dlclose(handle); }

ToolResult<void> PluginLibrary::Load(const std::string& path) {
    auto fail = [&](ToolError::Kind kind, std::string what) {
        return ToolError::Of(kind, path, std::move(what));
    };
    path_ = path;
    std::error_code ec;
    if (!fs::exists(path, ec)) return fail(ToolError::Kind::PluginNotFound, "the plug-in library does not exist");
    if (fs::is_directory(path, ec)) return fail(ToolError::Kind::PluginNotFound, "is a directory, not the plug-in library");

    // dlopen searches the library path for a name without a slash; a file given here
    // is meant as a file.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    handle_.reset(dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (handle_ == nullptr) return fail(ToolError::Kind::PluginLoadFailed, "cannot load the plug-in library: " + DlError());

    libDescription_ = Resolve<const TCHAR* (*)()>(handle_.get(), "LibDescription");
    auto libNumberClasses = Resolve<int (*)()>(handle_.get(), "LibNumberClasses");
    auto libClassDesc = Resolve<ClassDesc* (*)(int)>(handle_.get(), "LibClassDesc");
    auto libVersion = Resolve<ULONG (*)()>(handle_.get(), "LibVersion");
    const char* missing = !libDescription_   ? "LibDescription"
                          : !libNumberClasses ? "LibNumberClasses"
                          : !libClassDesc     ? "LibClassDesc"
                          : !libVersion       ? "LibVersion"
                                              : nullptr;
    if (missing != nullptr)
        return fail(ToolError::Kind::PluginMissingEntry, std::string("not a plug-in library: it does not export ") + missing);

    const int classes = libNumberClasses();
    if (classes != 1)
        return fail(ToolError::Kind::PluginMismatch, "the library holds " + std::to_string(classes) + " classes, expected 1");
    // The host loads only plug-ins built against its own SDK version.
    const ULONG version = libVersion();
    if (version != VERSION_3DSMAX)
        return fail(ToolError::Kind::PluginMismatch,
                    "the library was built for host SDK version " + Hex(version) + ", expected " + Hex(VERSION_3DSMAX));
    classDesc_ = libClassDesc(0);
    if (classDesc_ == nullptr) return fail(ToolError::Kind::PluginMismatch, "LibClassDesc(0) gave no class descriptor");
    const SClass_ID superClass = classDesc_->SuperClassID();
    if (superClass != SCENE_EXPORT_CLASS_ID)
        return fail(ToolError::Kind::PluginMismatch, "its class is not a scene exporter (super class " + Hex(superClass) + ")");
    return {};
}

std::pair<std::string, bool> PluginLibrary::LastSaveFailure() const {
    if (handle_ == nullptr) return {"", false};
    // Optional: a plug-in built elsewhere may not say.
    const auto cause = Resolve<const char* (*)()>(handle_.get(), "WuxLastSaveFailure");
    const auto isFile = Resolve<int (*)()>(handle_.get(), "WuxLastSaveFailureIsFile");
    const char* text = cause != nullptr ? cause() : nullptr;
    return {text != nullptr ? text : "", isFile != nullptr && isFile() != 0};
}

void PluginLibrary::AddOutcome(const std::vector<SceneNode>& nodes, bool nodesWithoutObject, Warnings* warnings) const {
    using Outcome = const char* (*)(int, int, int*, unsigned long*);
    const auto outcome = handle_ != nullptr ? Resolve<Outcome>(handle_.get(), "WuxExportOutcome") : nullptr;
    // The plug-in's kinds (model/export_model.h) by number.
    constexpr WarningKind kWarnings[] = {
        WarningKind::NodesPassedOver,    WarningKind::NodesPassedOver,    WarningKind::MeshesSplit,
        WarningKind::MapsWithoutBitmap,  WarningKind::NoStandardMaterial, WarningKind::MaterialNameShared,
        WarningKind::TrianglesLost,      WarningKind::SpheresLost,        WarningKind::HelpersLost};
    std::map<std::string, const SceneNode*> byName;  // null: the name of several nodes
    ForEachNode(nodes, [&byName](const SceneNode& node) {
        const auto [it, first] = byName.try_emplace(node.name, &node);
        if (!first) it->second = nullptr;
    });
    int kind = 0;
    unsigned long count = 0;
    for (int entry = 0; outcome != nullptr && outcome(entry, 0, &kind, &count) != nullptr; ++entry) {
        const auto which = static_cast<OutcomeKind>(kind);
        if (kind < 0 || kind >= static_cast<int>(std::size(kWarnings)) ||
            (which == OutcomeKind::NodeWithoutObject && !nodesWithoutObject))
            continue;
        const bool ofNode = which != OutcomeKind::MapWithoutBitmap && which != OutcomeKind::MaterialNameShared;
        unsigned long shown = 0;
        for (const char* example; (example = outcome(entry, static_cast<int>(shown), &kind, &count)) != nullptr; ++shown) {
            const std::string name = example, detail = example + name.size() + 1;
            const auto node = ofNode ? byName.find(name) : byName.end();
            const std::string origin = node != byName.end() && node->second != nullptr ? node->second->origin : "";
            std::string text = name.empty() ? "(unnamed)" : QuotedName(name);
            if (!origin.empty() && origin != name) text += " at " + origin;
            warnings->Add(kWarnings[kind], detail.empty() ? text : text + (ofNode ? ": " : " ") + detail);
        }
        warnings->Add(kWarnings[kind], "", count - shown);
    }
}

std::string FormatWarnings(const Warnings& warnings) {
    std::ostringstream os;
    for (const Warnings::Entry& e : warnings.Entries()) {
        os << "warning: " << WarningText(e.kind) << ": " << e.count;
        if (!e.examples.empty()) {
            os << " (";
            for (std::size_t i = 0; i < e.examples.size(); ++i) os << (i ? "; " : "") << e.examples[i];
            if (e.moreExamples) os << "; ...";
            os << ")";
        }
        os << "\n";
    }
    return os.str();
}

const char* PluginLibrary::Description() const {
    return libDescription_ != nullptr ? libDescription_() : "";
}

ToolResult<int> PluginLibrary::Export(const std::string& outputPath, ExpInterface* ei, Interface* ip) {
    auto fail = [&](std::string what) {
        return ToolError::Of(ToolError::Kind::PluginFailed, path_, std::move(what));
    };
    if (classDesc_ == nullptr) return fail("the plug-in library is not loaded");
    try {
        const std::unique_ptr<SceneExport> exporter(static_cast<SceneExport*>(classDesc_->Create(FALSE)));
        if (exporter == nullptr) return fail("the class descriptor made no exporter");
        return exporter->DoExport(outputPath.c_str(), ei, ip, TRUE, 0);
    } catch (const std::bad_alloc&) {
        // The plug-in lets allocation failures through by design; the caller says "out of memory".
        throw;
    } catch (const std::exception& e) {
        return fail(std::string("an exception escaped the plug-in: ") + e.what());
    } catch (...) {
        return fail("an exception escaped the plug-in");
    }
}

}  // namespace wux
