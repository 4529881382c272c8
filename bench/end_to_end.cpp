#include "bench/end_to_end.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/e2e_inputs.h"
#include "bench/grid_mesh.h"
#include "bench/measure.h"

namespace {

struct ChildRun {
    bool ok = false;       // exited with status 0
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
    // The child's peak resident set counts what it held as our copy before exec: the memory
    // of the scenes and inputs built so far goes back to the system first.
    malloc_trim(0);
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
    run.peakRss = uint64_t(usage.ru_maxrss) * 1024;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Medians of one command over the runs.
struct Figures {
    bool ok = false;
    double cpuSeconds = 0;
    double peakMb = 0;
    std::string failure;
};

class Medians {
public:
    void Add(const ChildRun& run) {
        if (!run.ok && failure_.empty()) failure_ = run.output.substr(0, 300);
        cpu_.push_back(run.cpuSeconds);
        rss_.push_back(double(run.peakRss) / 1e6);
    }
    Figures Get() const { return {failure_.empty() && !cpu_.empty(), Median(cpu_), Median(rss_), failure_}; }

private:
    std::vector<double> cpu_, rss_;
    std::string failure_;
};

std::string Cell(const Figures& f, const char* format, double value) {
    if (!f.ok) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Row {
    std::string name;
    int64_t triangles;
    double cpuTarget;  // wux / assimp processor time, at most
    Figures assimp, today, wux;
};

double Ratio(double a, double b) { return b > 0 ? a / b : 0.0; }

}  // namespace

bool RunEndToEnd(const EndToEndOptions& options) {
    struct Kind {
        InputFormat format;
        double cpuTarget;
    };
    const Kind kinds[] = {{InputFormat::PlyBinary, 0.6}, {InputFormat::StlBinary, 0.6}, {InputFormat::Glb, 0.6},
                          {InputFormat::Obj, 0.8}, {InputFormat::ObjWithoutNormals, 0.8}};
    constexpr double kRssTarget = 0.7;
    const bool withToday = !options.baseline.empty();
    const std::string wuxOut = options.folder + "/out.wux", plyOut = options.folder + "/out.ply";
    // One run of each command in turn, so that a change in the machine's load hits all alike.
    const auto measure = [&](const std::string& input, bool withAssimp, int runs, Row* row) {
        Medians assimp, today, wux;
        // Every command writes a new file on a synced disk: replacing the previous command's output
        // would charge one command for freeing and writing back the other's pages.
        const auto fresh = [&] {
            std::remove(wuxOut.c_str());
            std::remove(plyOut.c_str());
            sync();
        };
        for (int i = 0; i < runs; ++i) {
            if (withAssimp) {
                fresh();
                assimp.Add(RunChild({options.assimp, "export", input, plyOut, "-fplyb"}));
            }
            if (withToday) {
                fresh();
                today.Add(RunChild({options.baseline, "export", input, wuxOut}));
            }
            fresh();
            wux.Add(RunChild({options.wux, "export", input, wuxOut}));
        }
        fresh();
        row->assimp = assimp.Get();
        row->today = today.Get();
        row->wux = wux.Get();
        for (const Figures* f : {&row->assimp, &row->today, &row->wux})
            if (!f->failure.empty()) std::printf("%s: a command failed: %s\n", row->name.c_str(), f->failure.c_str());
        return row->wux.ok && (!withAssimp || row->assimp.ok) && (!withToday || row->today.ok);
    };
    const auto generate = [&](InputFormat format, int64_t triangles, const std::string& path) {
        std::printf("generating %s (%lld triangles)...\n", path.c_str(), static_cast<long long>(triangles));
        std::fflush(stdout);
        if (WriteInput(MakeGridMesh(int(triangles)), format, path)) return true;
        std::fprintf(stderr, "wux_bench: cannot write %s\n", path.c_str());
        return false;
    };

    bool ok = true;
    std::vector<Row> rows;
    for (const Kind& kind : kinds) {
        const std::string path = options.folder + "/grid" + (kind.format == InputFormat::ObjWithoutNormals ? "_nonormals" : "") +
                                 "." + ExtensionOf(kind.format);
        if (!generate(kind.format, options.triangles, path)) return false;
        Row row{NameOf(kind.format), options.triangles, kind.cpuTarget, {}, {}, {}};
        ok = measure(path, true, options.runs, &row) && ok;
        if (!options.keepFiles) std::remove(path.c_str());
        rows.push_back(row);
    }

    std::printf("\nprocessor time (user + system, children included) and peak resident set; medians of %d runs; "
                "assimp = `assimp export IN OUT.ply -fplyb`, wux = `wux export IN OUT.wux`%s\n\n",
                options.runs, withToday ? ", today = the same with the baseline wux" : "");
    std::printf("| input | triangles | assimp s | %swux s | %swux / assimp | assimp MB | %swux MB | %sRSS ratio | "
                "target |\n|---|---|---|%s---|%s---|---|%s---|%s---|---|\n",
                withToday ? "today s | " : "", withToday ? "today / assimp | " : "", withToday ? "today MB | " : "",
                withToday ? "today ratio | " : "", withToday ? "---|" : "", withToday ? "---|" : "",
                withToday ? "---|" : "", withToday ? "---|" : "");
    int missed = 0;
    for (const Row& r : rows) {
        const double cpu = Ratio(r.wux.cpuSeconds, r.assimp.cpuSeconds), rss = Ratio(r.wux.peakMb, r.assimp.peakMb);
        const bool met = r.wux.ok && r.assimp.ok && cpu <= r.cpuTarget && rss <= kRssTarget;
        missed += met ? 0 : 1;
        std::printf("| %s | %lld | %s | ", r.name.c_str(), static_cast<long long>(r.triangles),
                    Cell(r.assimp, "%.2f", r.assimp.cpuSeconds).c_str());
        if (withToday) std::printf("%s | ", Cell(r.today, "%.2f", r.today.cpuSeconds).c_str());
        std::printf("%s | ", Cell(r.wux, "%.2f", r.wux.cpuSeconds).c_str());
        if (withToday) std::printf("%s | ", Cell(r.today, "%.2f", Ratio(r.today.cpuSeconds, r.assimp.cpuSeconds)).c_str());
        std::printf("**%s** | %s | ", Cell(r.wux, "%.2f", cpu).c_str(), Cell(r.assimp, "%.0f", r.assimp.peakMb).c_str());
        if (withToday) std::printf("%s | ", Cell(r.today, "%.0f", r.today.peakMb).c_str());
        std::printf("%s | ", Cell(r.wux, "%.0f", r.wux.peakMb).c_str());
        if (withToday) std::printf("%s | ", Cell(r.today, "%.2f", Ratio(r.today.peakMb, r.assimp.peakMb)).c_str());
        std::printf("**%s** | %s cpu <= %.1f, RSS <= %.1f |\n", Cell(r.wux, "%.2f", rss).c_str(), met ? "met" : "MISSED",
                    r.cpuTarget, kRssTarget);
    }

    if (options.largeTriangles > 0 && !rows.empty()) {
        const std::string path = options.folder + "/large.ply";
        Row large{"large", options.largeTriangles, 0, {}, {}, {}};
        if (!generate(InputFormat::PlyBinary, options.largeTriangles, path)) return false;
        ok = measure(path, false, 1, &large) && ok;
        if (!options.keepFiles) std::remove(path.c_str());
        const auto perTriangle = [](const Figures& f, int64_t n) { return f.cpuSeconds * 1e9 / double(n); };
        const Row& small = rows.front();
        const auto growth = [&](const Figures& big, const Figures& one) {
            return Ratio(perTriangle(big, large.triangles), perTriangle(one, small.triangles));
        };
        std::printf("\nbinary PLY of %lld triangles (one run): wux %.2f s, %.0f MB, %.0f ns a triangle against %.0f at "
                    "%lld: growth %.2f (linear: 1)\n",
                    static_cast<long long>(large.triangles), large.wux.cpuSeconds, large.wux.peakMb,
                    perTriangle(large.wux, large.triangles), perTriangle(small.wux, small.triangles),
                    static_cast<long long>(small.triangles), growth(large.wux, small.wux));
        if (withToday)
            std::printf("  today: %.2f s, %.0f MB, growth %.2f\n", large.today.cpuSeconds, large.today.peakMb,
                        growth(large.today, small.today));
        const bool linear = large.wux.ok && growth(large.wux, small.wux) <= 1.3;
        missed += linear ? 0 : 1;
        std::printf("  %s growth at most 1.3\n", linear ? "met" : "MISSED");
    }
    std::printf("%d end-to-end target(s) missed\n", missed);
    return ok;
}
