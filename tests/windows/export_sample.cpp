// Exports the sample scene through the Linux plug-in library, loaded as a host loads it:
//   wux_export_sample <path of wux_plugin.so> <path of the file to export>
// The file must pass the checker; it is then compared with the one the Windows test host
// writes under Wine.
#include <cstdio>

#include "host/max_sdk.h"
#include "tests/support/loaded_plugin.h"
#include "tests/support/sample_scene.h"
#include "tests/support/wux_check.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: wux_export_sample <wux_plugin.so> <output.wux>\n");
        return 2;
    }
    LoadedPlugin plugin(argv[1]);
    if (!plugin.ok()) {
        std::fprintf(stderr, "%s\n", plugin.error().c_str());
        return 1;
    }
    ClassDesc* desc = plugin.LibClassDesc(0);
    if (desc == nullptr) {
        std::fprintf(stderr, "LibClassDesc(0) is null\n");
        return 1;
    }
    auto* exporter = static_cast<SceneExport*>(desc->Create(FALSE));
    int result = 0;
    {
        SampleScene scene;
        result = exporter->DoExport(argv[2], scene.exportInterface(), scene.hostInterface());
    }
    delete exporter;
    std::FILE* written = std::fopen(argv[2], "rb");
    if (result != 1 || written == nullptr) {
        std::fprintf(stderr, "the export did not write %s\n", argv[2]);
        return 1;
    }
    std::fclose(written);
    const ::testing::AssertionResult checked = PassesChecker(std::string(argv[2]));
    if (!checked) {
        std::fprintf(stderr, "%s\n", checked.message());
        return 1;
    }
    return 0;
}
