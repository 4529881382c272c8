// libFuzzer entry: a JSON scene exported in process the way `wux export` does it: read, the
// stand-in scene built, the plug-in's exporter run, the file read back.
// A file the exporter writes without complaint must pass the checker.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/scene_builder.h"
#include "format/mapped_file.h"
#include "format/wux_checker.h"
#include "host/standin/standin.h"
#include "input/json_scene.h"
#include "plugin/model_exporter.h"

namespace {

// Scenes beyond this many triangles make an execution slow without reaching new code.
constexpr std::size_t kMaxTriangles = 200000;

std::size_t Triangles(const std::vector<wux::SceneNode>& nodes) {
    std::size_t n = 0;
    for (const wux::SceneNode& node : nodes) {
        const std::size_t segments = static_cast<std::size_t>(node.object.segments);
        n += node.object.type == wux::SceneObject::Type::Sphere ? 2 * segments * segments : node.object.mesh.faces.size();
        n += Triangles(node.children);
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    wux::ToolResult<wux::SceneDescription> parsed = wux::ParseJsonScene(text, "fuzz.json");
    if (!parsed.Ok()) return 0;
    wux::SceneDescription& description = *parsed;
    if (Triangles(description.nodes) > kMaxTriangles) return 0;

    StandinScene scene;
    if (!wux::BuildStandinScene(&description, &scene).Ok()) return 0;

    static const std::string path = "/tmp/wux_export_fuzz_" + std::to_string(getpid()) + ".wux";
    StandinSetMessageBoxEcho(false);
    StandinClearMessageBoxCalls();
    StandinInterface host(description.time);
    StandinExpInterface exportInterface(&scene);
    ModelExporter exporter;
    exporter.DoExport(path.c_str(), &exportInterface, &host, TRUE);
    const bool written = StandinMessageBoxCalls().empty();
    const auto file = wux::LoadFileBytes(path);
    std::remove(path.c_str());
    if (!written) return 0;
    if (!file.Ok()) __builtin_trap();
    const wux::CheckReport report = wux::CheckWux(wux::SpanOf(*file));
    if (!report.Valid()) {
        std::fputs(wux::FormatReport(report).c_str(), stderr);
        __builtin_trap();
    }
    return 0;
}
