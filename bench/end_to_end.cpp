#include "bench/end_to_end.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "bench/e2e_inputs.h"
#include "bench/grid_mesh.h"
#include "bench/measure.h"

namespace {

namespace fs = std::filesystem;

struct ChildRun {
    bool ok = false;       // exited with status 0
    double seconds = 0;    // wall clock, fork to reaping
    double cpuSeconds = 0; // user and system
    uint64_t peakRss = 0;  // bytes
    std::string output;    // standard output and error together
};

ChildRun RunChild(const std::vector<std::string>& args) {
    ChildRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const Stopwatch clock;
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return run;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (run.output.size() < 65536) run.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = clock.seconds();
    run.peakRss = uint64_t(usage.ru_maxrss) * 1024;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

struct Input {
    std::string name;
    std::string path;
    int64_t triangles = 0;
    bool generated = false;
    bool isTargetPly = false;  // the input of the first target
};

// Medians of one command over the runs.
struct Figures {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
    uint64_t peakRss = 0;
    std::string failure;
};

Figures Measure(const std::vector<std::string>& args, int runs) {
    std::vector<double> seconds, cpu, rss;
    Figures f;
    for (int i = 0; i < runs; ++i) {
        const ChildRun run = RunChild(args);
        if (!run.ok) {
            f.failure = run.output.substr(0, 300);
            return f;
        }
        seconds.push_back(run.seconds);
        cpu.push_back(run.cpuSeconds);
        rss.push_back(double(run.peakRss));
    }
    f.ok = true;
    f.seconds = Median(seconds);
    f.cpuSeconds = Median(cpu);
    f.peakRss = uint64_t(Median(rss));
    return f;
}

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : uint64_t(size);
}

bool ReadableByExtension(const fs::path& p) {
    static const char* const kinds[] = {"obj", "ply", "stl", "glb", "gltf", "fbx", "dae", "3ds", "ase",
                                        "x",   "off", "3mf", "lwo", "ms3d", "md2", "md5mesh", "blend", "b3d",
                                        "ac",  "irr", "irrmesh", "xml", "smd", "q3o", "cob", "nff", "raw", "ter", "hmp"};
    std::string ext = p.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return std::find(std::begin(kinds), std::end(kinds), ext) != std::end(kinds);
}

// Real files with at least the minimum of triangles, as Assimp counts them.
std::vector<Input> FindModels(const EndToEndOptions& options) {
    std::vector<Input> found;
    for (const std::string& folder : options.modelFolders) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && ReadableByExtension(it->path())) files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const ChildRun run = RunChild({options.self, "--import-only", file.string()});
            long long triangles = 0;
            const std::size_t at = run.output.rfind("triangles ");
            if (!run.ok || at == std::string::npos) continue;
            triangles = std::atoll(run.output.c_str() + at + 10);
            if (triangles < options.minModelTriangles) continue;
            Input input;
            input.name = fs::relative(file, folder, ec).string();
            input.path = file.string();
            input.triangles = triangles;
            found.push_back(input);
        }
    }
    return found;
}

double Mb(uint64_t bytes) { return double(bytes) / 1e6; }

// Below the noise of starting a process the added time has no meaningful ratio.
std::string AddedRatio(double wuxAdded, double assimpAdded) {
    if (assimpAdded <= 0.01) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", wuxAdded / assimpAdded);
    return text;
}
double Ratio(double a, double b) { return b > 0 ? a / b : 0.0; }

}  // namespace

int RunImportOnly(const std::string& path) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_SortByPType);
    if (scene == nullptr) {
        std::printf("cannot read: %s\n", importer.GetErrorString());
        return 1;
    }
    long long triangles = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        for (unsigned f = 0; f < scene->mMeshes[i]->mNumFaces; ++f)
            triangles += scene->mMeshes[i]->mFaces[f].mNumIndices == 3 ? 1 : 0;
    std::printf("triangles %lld\n", triangles);
    return 0;
}

bool RunEndToEnd(const EndToEndOptions& options) {
    std::vector<Input> inputs;
    {
        std::printf("generating the inputs (%lld triangles each)...\n", static_cast<long long>(options.triangles));
        std::fflush(stdout);
        const GridMesh mesh = MakeGridMesh(int(options.triangles));
        for (InputFormat format : {InputFormat::PlyBinary, InputFormat::Obj, InputFormat::ObjWithoutNormals,
                                   InputFormat::Glb, InputFormat::StlBinary}) {
            Input input;
            input.name = std::string("generated ") + NameOf(format);
            input.path = options.folder + "/grid" + (format == InputFormat::ObjWithoutNormals ? "_nonormals" : "") +
                         "." + ExtensionOf(format);
            input.triangles = options.triangles;
            input.generated = true;
            input.isTargetPly = format == InputFormat::PlyBinary;
            if (!WriteInput(mesh, format, input.path)) {
                std::fprintf(stderr, "wux_bench: cannot write %s\n", input.path.c_str());
                return false;
            }
            inputs.push_back(input);
        }
    }
    const std::vector<Input> models = FindModels(options);
    inputs.insert(inputs.end(), models.begin(), models.end());

    const std::string wuxOut = options.folder + "/out.wux";
    const std::string plyOut = options.folder + "/out.ply";
    std::printf("%-44s %9s %7s | %7s %7s %7s %6s %6s | %7s %7s %7s %6s %6s | %7s %7s %5s\n", "input", "triangles",
                "file MB", "import", "assimp", "wux", "wux/as", "added", "import", "assimp", "wux", "wux/as", "added",
                "as RSS", "wux RSS", "RSS r");
    std::printf("%-44s %9s %7s | %-42s | %-42s | %s\n", "", "", "", "wall-clock seconds", "processor seconds",
                "peak resident set, MB");
    bool ok = true;
    int slower = 0, slowerCpu = 0, measured = 0;
    bool target1Time = false, target1Cpu = false, target1Memory = false, target1Seen = false;
    for (const Input& input : inputs) {
        const Figures import = Measure({options.self, "--import-only", input.path}, options.runs);
        const Figures assimp = Measure({options.assimp, "export", input.path, plyOut, "-fplyb"}, options.runs);
        const Figures wux = Measure({options.wux, "export", input.path, wuxOut}, options.runs);
        std::remove(wuxOut.c_str());
        std::remove(plyOut.c_str());
        if (!wux.ok || !assimp.ok || !import.ok) {
            const Figures& failed = !wux.ok ? wux : !assimp.ok ? assimp : import;
            std::printf("%-44s failed (%s): %s\n", input.name.c_str(), !wux.ok ? "wux" : !assimp.ok ? "assimp" : "import",
                        failed.failure.c_str());
            if (input.generated) ok = false;
            continue;
        }
        // What each converter adds after Assimp's import, the part the two do differently.
        const double wuxAdded = wux.seconds - import.seconds, assimpAdded = assimp.seconds - import.seconds;
        const double wuxAddedCpu = wux.cpuSeconds - import.cpuSeconds;
        const double assimpAddedCpu = assimp.cpuSeconds - import.cpuSeconds;
        std::printf("%-44s %9lld %7.1f | %7.2f %7.2f %7.2f %6.2f %6s | %7.2f %7.2f %7.2f %6.2f %6s | %7.0f %7.0f %5.2f\n",
                    input.name.substr(0, 44).c_str(), static_cast<long long>(input.triangles), Mb(FileSize(input.path)),
                    import.seconds, assimp.seconds, wux.seconds, Ratio(wux.seconds, assimp.seconds),
                    AddedRatio(wuxAdded, assimpAdded).c_str(), import.cpuSeconds, assimp.cpuSeconds, wux.cpuSeconds,
                    Ratio(wux.cpuSeconds, assimp.cpuSeconds), AddedRatio(wuxAddedCpu, assimpAddedCpu).c_str(),
                    Mb(assimp.peakRss), Mb(wux.peakRss), Ratio(double(wux.peakRss), double(assimp.peakRss)));
        std::fflush(stdout);
        ++measured;
        if (wux.seconds > assimp.seconds) ++slower;
        if (wux.cpuSeconds > assimp.cpuSeconds) ++slowerCpu;
        if (input.isTargetPly) {
            target1Seen = true;
            target1Time = wuxAdded <= 0.5 * assimpAdded;
            target1Cpu = wuxAddedCpu <= 0.5 * assimpAddedCpu;
            target1Memory = wux.peakRss <= assimp.peakRss;
        }
    }
    std::printf("import = Assimp's import alone (triangulate, sort by primitive type); assimp = `assimp export IN "
                "OUT.ply -fplyb`; wux = `wux export IN OUT.wux`; added = (wux - import) / (assimp - import); "
                "medians of %d runs\n",
                options.runs);
    if (target1Seen) {
        std::printf("target 1 (binary PLY): time added %s (processor time %s), peak RSS %s\n",
                    target1Time ? "met" : "MISSED", target1Cpu ? "met" : "MISSED", target1Memory ? "met" : "MISSED");
    }
    std::printf("target 2: wux slower than assimp on %d of %d inputs (processor time: %d): %s\n", slower, measured,
                slowerCpu, slower == 0 ? "met" : "MISSED");
    if (!options.keepFiles)
        for (const Input& input : inputs)
            if (input.generated) std::remove(input.path.c_str());
    return ok;
}
