// wux_bench: times the WUX exporter against the write limit and Assimp on
// scenes built in memory with the stand-in host. See docs/benchmarks.md.
#include <CLI/CLI.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/assimp_peer.h"
#include "bench/bench_results.h"
#include "bench/bench_scene.h"
#include "bench/end_to_end.h"
#include "bench/heap_counter.h"
#include "bench/measure.h"
#include "bench/scene_shape.h"
#include "bench/write_limit.h"
#include "driver/plugin_loader.h"

#ifndef WUX_BENCH_PLUGIN_PATH
#define WUX_BENCH_PLUGIN_PATH "wux_plugin.so"
#endif
#ifndef WUX_BENCH_WUX_PATH
#define WUX_BENCH_WUX_PATH "wux"
#endif
#ifndef WUX_BENCH_DEFAULT_OUT
#define WUX_BENCH_DEFAULT_OUT "."
#endif

namespace {

struct Options {
    std::vector<int64_t> sizes{100000, 1000000, 4000000};
    int64_t singleMesh = 1000000;
    int materialMeshes = 20000;
    int runs = 5;
    int peerRuns = 3;
    std::vector<std::string> peerFormats{"plyb", "stlb", "glb2"};
    std::string outFolder;
    std::string plugin = WUX_BENCH_PLUGIN_PATH;
    bool keepFiles = false;
    bool peerOnAll = false;
    bool smoke = false;
    bool endToEnd = false;
    EndToEndOptions e2e;
};

uint64_t FileSize(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

// A WUX file must at least begin with "LIBF" and its own length.
bool LooksLikeWux(const std::string& path, uint64_t size) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    unsigned char head[8] = {};
    bool read = std::fread(head, 1, 8, file) == 8;
    std::fclose(file);
    uint64_t stated = uint64_t(head[4]) | uint64_t(head[5]) << 8 | uint64_t(head[6]) << 16 | uint64_t(head[7]) << 24;
    return read && head[0] == 'L' && head[1] == 'I' && head[2] == 'B' && head[3] == 'F' && stated == size;
}

// The first three fields of /proc/loadavg: how busy the machine was.
std::string LoadAverage() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (file == nullptr) return "unknown";
    char text[64] = {};
    bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) return "unknown";
    std::string fields(text);
    size_t cut = 0;
    for (int i = 0; i < 3 && cut != std::string::npos; ++i) cut = fields.find(' ', cut + 1);
    return fields.substr(0, cut);
}

class Bench {
public:
    Bench(const Options& options, wux::PluginLibrary& plugin) : options_(options), plugin_(plugin) {}

    bool Run(const SceneShape& shape, SceneFigures* figures) {
        figures->shape = shape;
        std::fprintf(stderr, "[%s] building the scene\n", shape.name.c_str());
        const std::string wuxPath = options_.outFolder + "/export.wux";
        const std::string limitPath = options_.outFolder + "/limit.wux";
        {
            Stopwatch build;
            BenchScene scene(shape);
            figures->buildSeconds = build.seconds();
            std::fprintf(stderr, "[%s] built in %.2f s\n", shape.name.c_str(), figures->buildSeconds);

            // The first export builds the mesh normals the host caches, warms the
            // plug-in's code and the folder, and gives the file size; not counted.
            std::fprintf(stderr, "[%s] warm-up export\n", shape.name.c_str());
            if (!Export(scene, wuxPath)) return false;
            figures->fileBytes = FileSize(wuxPath);
            if (!LooksLikeWux(wuxPath, figures->fileBytes)) return Fail("the exported file has no valid LIBF head");
            Remove(wuxPath);

            // Memory growth of one export, untimed: counting allocations, handing
            // freed pages back and resetting the high-water mark would disturb
            // the timed runs.
            PeakMemory resident;
            HeapPeak heap;
            resident.Begin();
            heap.Begin();
            if (!Export(scene, wuxPath)) return false;
            figures->exportHeap = heap.End();
            figures->exportResident = resident.End();
            Remove(wuxPath);

            WriteLimit limit(figures->fileBytes);
            std::vector<double> exportTimes, exportCpu, limitTimes;
            for (int run = 0; run < options_.runs; ++run) {
                std::fprintf(stderr, "[%s] run %d of %d\n", shape.name.c_str(), run + 1, options_.runs);
                double cpu = ProcessCpuSeconds();
                Stopwatch clock;
                if (!Export(scene, wuxPath)) return false;
                exportTimes.push_back(clock.seconds());
                exportCpu.push_back(ProcessCpuSeconds() - cpu);
                if (FileSize(wuxPath) != figures->fileBytes) return Fail("two exports of one scene differ in size");
                Remove(wuxPath);

                const wux::ToolResult<double> seconds = limit.Write(limitPath);
                if (!seconds.Ok()) return Fail(seconds.Error().Text());
                limitTimes.push_back(*seconds);
                Remove(limitPath);
            }
            figures->exportSeconds = Median(exportTimes);
            figures->exportCpuSeconds = Median(exportCpu);
            figures->limitSeconds = Median(limitTimes);
        }
        // Assimp takes minutes on the thousands of one-triangle meshes, and its
        // figure there says nothing about the exporter's targets.
        if (shape.trianglesPerMesh == 1 && !options_.peerOnAll) return true;
        return RunPeers(shape, figures);
    }

private:
    bool RunPeers(const SceneShape& shape, SceneFigures* figures) {
        if (options_.peerRuns <= 0 || options_.peerFormats.empty()) return true;
        std::fprintf(stderr, "[%s] building the Assimp scene\n", shape.name.c_str());
        AssimpScene peerScene(shape);
        for (const std::string& format : options_.peerFormats) {
            const std::string path = options_.outFolder + "/peer." + format;
            PeerFigure figure;
            figure.format = format;
            std::vector<double> times;
            for (int run = 0; run < options_.peerRuns; ++run) {
                std::fprintf(stderr, "[%s] Assimp %s run %d of %d\n", shape.name.c_str(), format.c_str(), run + 1,
                             options_.peerRuns);
                const wux::ToolResult<double> seconds = ExportWithAssimp(peerScene, format.c_str(), path);
                if (!seconds.Ok()) return Fail(seconds.Error().Text());
                times.push_back(*seconds);
                figure.fileBytes = FileSize(path);
                Remove(path);
            }
            figure.seconds = Median(times);
            figures->peers.push_back(figure);
        }
        return true;
    }

    bool Export(BenchScene& scene, const std::string& path) {
        // A file kept from an earlier run must not pass for this one.
        std::remove(path.c_str());
        const wux::ToolResult<int> exported = plugin_.Export(path, scene.exportInterface(), scene.hostInterface());
        if (!exported.Ok()) return Fail(exported.Error().Text());
        if (*exported != IMPEXP_SUCCESS) return Fail("the export failed: " + path);
        if (FileSize(path) == 0) return Fail("the export wrote no file at " + path);
        return true;
    }

    void Remove(const std::string& path) const {
        if (!options_.keepFiles) std::remove(path.c_str());
    }

    static bool Fail(const std::string& message) {
        std::fprintf(stderr, "wux_bench: %s\n", message.c_str());
        return false;
    }

    const Options& options_;
    wux::PluginLibrary& plugin_;
};

std::string MakeOutFolder(const std::string& requested) {
    if (!requested.empty()) {
        mkdir(requested.c_str(), 0777);
        return requested;
    }
    std::string pattern = std::string(WUX_BENCH_DEFAULT_OUT) + "/wux-bench-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return std::string();
    return name.data();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"Times the WUX exporter against the write limit and Assimp's exporters."};
    app.add_option("--sizes", options.sizes, "Triangle counts of the spread scenes (meshes of 10,000 triangles)")
        ->delimiter(',')
        ->check(CLI::Range(int64_t{1}, int64_t{100000000}));
    app.add_option("--single-mesh", options.singleMesh, "Triangles of the one-mesh scene (0 skips it)")
        ->check(CLI::Range(int64_t{0}, int64_t{100000000}));
    app.add_option("--material-meshes", options.materialMeshes,
                   "One-triangle meshes of the two material scenes (0 skips them)")
        ->check(CLI::Range(int64_t{0}, int64_t{100000000}));
    app.add_option("--runs", options.runs, "Timed runs per scene (the median is shown)")->check(CLI::Range(1, 1000));
    app.add_option("--peer-runs", options.peerRuns, "Timed Assimp runs per format and scene (0 skips the peer)")
        ->check(CLI::Range(0, 1000));
    app.add_option("--peer-formats", options.peerFormats, "Assimp export format ids")->delimiter(',');
    app.add_option("--out", options.outFolder, "Folder for the files (default: a new folder beside the program)");
    app.add_option("--plugin", options.plugin, "The plug-in library to load");
    app.add_flag("--keep", options.keepFiles, "Keep the written files");
    app.add_flag("--peer-all", options.peerOnAll, "Run the peer on the one-triangle-mesh scenes too (slow)");
    app.add_flag("--smoke", options.smoke, "One quick run of tiny scenes (1,000 triangles), for the tests");
    app.add_flag("--end-to-end", options.endToEnd,
                 "Time the whole `wux export` command against `assimp export` on generated files (and --models)");
    options.e2e.wux = WUX_BENCH_WUX_PATH;
    options.e2e.assimp = "assimp";
    app.add_option("--wux", options.e2e.wux, "End to end: the wux command")->capture_default_str();
    app.add_option("--assimp", options.e2e.assimp, "End to end: the assimp command")->capture_default_str();
    app.add_option("--triangles", options.e2e.triangles, "End to end: triangles of each generated input")
        ->check(CLI::Range(int64_t{2}, int64_t{50000000}))
        ->capture_default_str();
    app.add_option("--baseline", options.e2e.baseline, "End to end: an older wux, timed beside (\"today\")");
    app.add_option("--large-triangles", options.e2e.largeTriangles,
                   "End to end: triangles of the PLY that shows growth (0 skips it)")
        ->check(CLI::Range(int64_t{0}, int64_t{100000000}))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    if (options.smoke) {
        options.sizes = {1000, 2000};
        options.singleMesh = 30000;
        options.materialMeshes = 100;
        options.runs = 1;
        options.peerRuns = 1;
    }
    if (options.endToEnd) {
        // The plug-in stage alone against the write limit, then the commands.
        options.sizes = {options.smoke ? 1000 : 1000000};
        options.singleMesh = options.materialMeshes = options.peerRuns = 0;
        options.e2e.runs = options.smoke ? 1 : options.runs == 5 ? 3 : options.runs;
        if (options.smoke) options.e2e.triangles = 2000, options.e2e.largeTriangles = 4000;
        options.e2e.keepFiles = options.keepFiles;
    }
    if (!PeakMemory::Supported())
        std::fprintf(stderr, "wux_bench: /proc/self/clear_refs is not writable; memory figures are not reliable\n");

    wux::PluginLibrary plugin;
    if (const wux::ToolResult<void> loaded = plugin.Load(options.plugin); !loaded.Ok()) {
        std::fprintf(stderr, "wux_bench: %s\n", loaded.Error().Text().c_str());
        return 2;
    }
    const bool ownFolder = options.outFolder.empty();
    options.outFolder = MakeOutFolder(options.outFolder);
    if (options.outFolder.empty()) {
        std::fprintf(stderr, "wux_bench: cannot create an output folder\n");
        return 2;
    }

    std::vector<SceneShape> shapes;
    if (!options.sizes.empty()) shapes.push_back(ExtrasOnlyScene());
    for (int64_t size : options.sizes) shapes.push_back(SpreadScene(size));
    if (options.singleMesh > 0) shapes.push_back(SingleMeshScene(options.singleMesh));
    if (options.materialMeshes > 0) {
        shapes.push_back(OneTriangleMeshScene(options.materialMeshes, 200));
        shapes.push_back(OneTriangleMeshScene(options.materialMeshes, options.materialMeshes));
        shapes.push_back(OneTriangleMeshScene(options.materialMeshes / 10, options.materialMeshes / 10));
    }

    std::printf("wux_bench: %s; %d runs (median), peer %d runs; files in %s; load average %s\n",
                plugin.Description(), options.runs, options.peerRuns, options.outFolder.c_str(), LoadAverage().c_str());
    std::fflush(stdout);

    Bench bench(options, plugin);
    std::vector<SceneFigures> figures(shapes.size());
    bool ok = true;
    for (size_t i = 0; i < shapes.size() && ok; ++i) ok = bench.Run(shapes[i], &figures[i]);
    if (ok && options.endToEnd) {
        const SceneFigures& s = figures.back();
        std::printf("plug-in stage, %s in memory: export %.3f s (processor %.3f s), write limit %.3f s: %.2fx the "
                    "limit; load average %s\n",
                    s.shape.name.c_str(), s.exportSeconds, s.exportCpuSeconds, s.limitSeconds,
                    s.exportSeconds / s.limitSeconds, LoadAverage().c_str());
        options.e2e.folder = options.outFolder;
        ok = RunEndToEnd(options.e2e);
        std::printf("load average at the end: %s\n", LoadAverage().c_str());
    }
    if (ownFolder && !options.keepFiles) rmdir(options.outFolder.c_str());
    if (!ok || options.endToEnd) return ok ? 0 : 1;

    std::vector<const SceneFigures*> spread;
    const SceneFigures* sharedMaterials = nullptr;
    const SceneFigures* ownMaterials = nullptr;
    const SceneFigures* ownMaterialsSmall = nullptr;
    const SceneFigures* extrasOnly = options.sizes.empty() ? nullptr : &figures[0];
    size_t next = extrasOnly != nullptr ? 1 : 0;
    for (size_t i = 0; i < options.sizes.size(); ++i, ++next) spread.push_back(&figures[next]);
    if (options.singleMesh > 0) ++next;
    if (options.materialMeshes > 0) {
        sharedMaterials = &figures[next];
        ownMaterials = &figures[next + 1];
        ownMaterialsSmall = &figures[next + 2];
    }
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    int missed =
        PrintReport(figures, extrasOnly, spread, sharedMaterials, ownMaterials, ownMaterialsSmall, TargetLimits{});
    std::printf("%d target(s) missed\n", missed);
    // Missed targets are figures to read, not a failure of the program.
    return 0;
}
