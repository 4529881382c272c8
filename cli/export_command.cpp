// wux export: the export pipeline and the command that runs it, the same for one INPUT OUTPUT
// and for each file of a batch (--out-dir): read the scene, build it in the stand-in host, have
// the plug-in write it to a temporary file, read the file back (and check it with --verify),
// then put OUTPUT, its embedded textures and the report in place together
// (writer/staged_files.h). Only a file that was written without complaint (and, with --verify,
// passes the checker) takes OUTPUT's place, so on any failure OUTPUT is left as it was, or
// absent, and nothing the export created remains. A single JSON scene is exported in this
// process; anything a library imports, and every file of a batch, in a supervised worker
// (cli/worker_process.h).
#include "collect/file_name_part.h"

#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/standin/standin.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/input_discovery.h"
#include "cli/worker_process.h"
#include "writer/export_interrupt.h"
#include "writer/staged_files.h"
#include "driver/plugin_loader.h"
#include "format/tool_text.h"
#include "driver/scene_builder.h"
#include "format/mapped_file.h"
#include "format/wux_checker.h"
#include "format/wux_reader.h"
#include "input/assimp_import.h"
#include "input/json_scene.h"
#include "input/gltf_reader.h"
#include "input/mesh_normals.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

struct ExportOptions {
    std::string input;
    std::string output;
    std::string upText = "auto";          // auto, y or z
    std::string helpersText = "markers";  // markers, all or none
    std::string report;
    float smoothAngle = kDefaultSmoothAngleDegrees;
    bool verify = false;
    std::string plugin;
    bool syncEachFile = true;  // false in a batch, which syncs its folders once at its end
};

// wux export INPUT... --out-dir DIR: converts files and folders of files in parallel, in
// supervised workers (one per job slot) under the same rules as a single export, goes on past
// failures, prints one line per failure and a summary, and writes one report with an entry per
// input.
struct BatchOptions {
    std::vector<std::string> inputs;  // files and folders
    std::string outDir;
    std::size_t jobs = 0;  // 0: one per core
    WorkerLimits limits;
    ExportOptions common;  // the options every export shares; its report is the batch's report
};

// The scene as the plug-in sees it, with a progress line while the plug-in walks it. The
// plug-in collects a node's mesh while it visits the node and never reads it again, so
// each mesh is freed once its node has been visited: the geometry is not held twice.
class ProgressScene : public IScene, ITreeEnumProc {
public:
    ProgressScene(IScene* inner, std::size_t nodeCount) : inner_(inner), total_(nodeCount) {}

    int EnumTree(ITreeEnumProc* proc) override {
        proc_ = proc;
        visited_ = 0;
        return inner_->EnumTree(this);
    }

private:
    // Called by the host's walk, which no exception may leave.
    int callback(INode* node) noexcept override {
        ++visited_;
        if (visited_ == 1 || visited_ % 64 == 0 || visited_ == total_) {
            try {
                ShowProgress("exporting: " + std::to_string(visited_ * 100 / total_) + "% (node " +
                             std::to_string(visited_) + " of " + std::to_string(total_) + ")");
            } catch (...) {
                // A progress line is not worth failing the export for.
            }
        }
        const int result = proc_->callback(node);
        if (auto* tri = dynamic_cast<TriObject*>(static_cast<StandinNode*>(node)->GetObjectRef()))
            tri->mesh = ::Mesh();
        return result;
    }

    IScene* inner_;
    ITreeEnumProc* proc_ = nullptr;
    std::size_t total_;
    std::size_t visited_ = 0;
};

bool IsJsonPath(const std::string& path) { return Lower(fs::path(path).extension().string()) == ".json"; }

std::size_t CountNodes(const std::vector<SceneNode>& nodes) {
    std::size_t n = 0;
    ForEachNode(nodes, [&n](const SceneNode&) { ++n; });
    return n;
}

// Embedded textures go through the export's files: staged now, in place only on success.
class StagedTextures : public TextureFiles {
public:
    explicit StagedTextures(StagedFiles* files) : files_(files) {}
    NameUse Use(const std::string& path, const std::vector<unsigned char>& bytes) override {
        const wux::NameUse use = UseOfName(path, bytes.data(), bytes.size());
        return use == wux::NameUse::Free ? NameUse::Free : use == wux::NameUse::Same ? NameUse::Same : NameUse::Taken;
    }
    ToolResult<void> Write(const std::string& path, const std::vector<unsigned char>& bytes) override {
        return files_->Add(path, bytes.data(), bytes.size(), false);
    }

private:
    StagedFiles* files_;
};

SceneDescription ReadInput(const ExportOptions& options, TextureFiles* textureFiles, Warnings* warnings,
                           ImportCounts* counts) {
    std::error_code ec;
    if (!fs::exists(options.input, ec)) ThrowToolError(ToolError::Kind::Input, options.input, "no such file");
    if (const ToolResult<void> regular = CheckRegularInput(options.input); !regular.Ok()) throw regular.Error();
    ShowProgress("reading " + options.input);
    Note("reading " + options.input);
    int shownPercent = -1;
    const ReadProgress progress = [&](double fraction) {
        const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
        if (percent == shownPercent) return;
        shownPercent = percent;
        try {
            ShowProgress("reading " + options.input + ": " + std::to_string(percent) + "%");
        } catch (...) {
            // Called inside the readers, Assimp's among them; a progress line is not worth failing for.
        }
    };
    AssimpImportOptions importOptions;
    const std::string up = Lower(options.upText), helpers = Lower(options.helpersText);
    importOptions.up = up == "y"   ? AssimpImportOptions::Up::Y
                       : up == "z" ? AssimpImportOptions::Up::Z
                                   : AssimpImportOptions::Up::Auto;
    importOptions.helpers = helpers == "all"    ? AssimpImportOptions::Helpers::All
                            : helpers == "none" ? AssimpImportOptions::Helpers::None
                                                : AssimpImportOptions::Helpers::Markers;
    importOptions.outputPath = options.output;
    importOptions.textureFiles = textureFiles;
    importOptions.smoothAngleDegrees = options.smoothAngle;
    if (ProgressShown()) importOptions.progress = progress;
    ToolResult<SceneDescription> scene =
        IsJsonPath(options.input)   ? ReadJsonSceneFile(options.input, importOptions.progress)
        : IsMeshPath(options.input) ? ReadMeshFile(options.input, importOptions, warnings, counts)
        : IsGltfPath(options.input) ? ReadGltfFile(options.input, importOptions, warnings, counts)
                                    : ImportWithAssimp(options.input, importOptions, warnings, counts);
    if (!scene.Ok()) throw scene.Error();
    return std::move(*scene);
}

// One export by the plug-in into tempPath; throws when the plug-in reports a failure.
void RunPlugin(PluginLibrary* plugin, const SceneDescription& description, StandinScene* scene,
               const std::string& output, const std::string& tempPath) {
    std::error_code ec;
    StandinInterface hostInterface(description.time);
    ProgressScene progressScene(scene, CountNodes(description.nodes));
    StandinExpInterface expInterface(&progressScene);

    StandinSetMessageBoxEcho(false);
    StandinClearMessageBoxCalls();
    const ToolResult<int> exported = plugin->Export(tempPath, &expInterface, &hostInterface);
    ClearProgress();
    if (!exported.Ok()) throw exported.Error();

    // The plug-in prompts nobody under suppressPrompts and answers IMPEXP_FAIL; one built
    // otherwise may still show its message box, which we read instead of showing it.
    const auto& boxes = StandinMessageBoxCalls();
    if (*exported != IMPEXP_SUCCESS || !boxes.empty()) {
        // The plug-in's message names no cause; its library tells the tool.
        const auto [cause, ofFile] = plugin->LastSaveFailure();
        std::string what = "the plug-in could not write the file" + (cause.empty() ? "" : " (" + cause + ")");
        // The message names the file the plug-in was given, the temporary one; the user must
        // read what the plug-in would have said of OUTPUT as they wrote it.
        if (!boxes.empty())
            what += "; its message: \"" +
                    ReplaceAll(StandinCp1251ToUtf8(boxes.front().text), ::FileNamePart(tempPath.c_str()),
                               ::FileNamePart(output.c_str())) +
                    "\"";
        ThrowToolError(ofFile ? ToolError::Kind::Output : ToolError::Kind::PluginFailed, output, what);
    }
    // The temporary file was made empty for the plug-in; a WUX file never is.
    if (!fs::is_regular_file(tempPath, ec) || fs::file_size(tempPath, ec) == 0)
        ThrowToolError(ToolError::Kind::PluginFailed, output, "the plug-in reported no failure but wrote no file");
}

// Each stage of an export frees large arrays just before the next allocates as large ones.
// Kept in the process instead of handed back to the system, those pages are reused rather
// than faulted in afresh (a quarter of a large import's time otherwise); the peak resident
// set does not change, as the freed pages would be needed again anyway. Large arrays too come
// from the heap: setting the trim threshold stops malloc from raising its mapping threshold,
// so each array of 128 KiB or more would otherwise be a mapping of its own, unmapped on free.
void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    mallopt(M_TOP_PAD, 64 << 20);
#endif
}

// Counted from the file as written: {"meshes", "triangles", "materials", "references",
// "spheres", "ellipsoid"}, as the report holds it.
nlohmann::json SummarizeWux(const ExportModel& model) {
    std::size_t triangles = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*model.meshes)) triangles += static_cast<std::size_t>(mesh->faceCount);
    // The main sphere is all zero until the first bounding sphere fills it.
    const BoundSphere& main = *model.bounds->mainSphere;
    const bool mainSet = main.radius != 0.0f || main.x != 0.0f || main.y != 0.0f || main.z != 0.0f;
    return {{"meshes", static_cast<std::size_t>(model.meshes->count())},
            {"triangles", triangles},
            {"materials", static_cast<std::size_t>(model.materials->count())},
            {"references", static_cast<std::size_t>(model.references->entries->count())},
            {"spheres", (mainSet ? 1 : 0) + static_cast<std::size_t>(model.bounds->spheres->count())},
            {"ellipsoid", model.ellipsoid != nullptr}};
}

// "wrote out.wux: 3 meshes (40 triangles), 2 materials, 1 reference entry, 2 spheres, ellipsoid"
std::string FormatSummaryLine(const std::string& outputPath, const nlohmann::json& summary) {
    const auto count = [&summary](const char* key) { return summary[key].get<std::size_t>(); };
    std::ostringstream os;
    os << "wrote " << QuotedPath(outputPath) << ": " << Plural(count("meshes"), "mesh", "meshes") << " ("
       << Plural(count("triangles"), "triangle", "triangles") << "), "
       << Plural(count("materials"), "material", "materials") << ", "
       << Plural(count("references"), "reference entry", "reference entries") << ", "
       << Plural(count("spheres"), "sphere", "spheres") << ", "
       << (summary["ellipsoid"].get<bool>() ? "ellipsoid" : "no ellipsoid");
    return os.str();
}

// What the import changed without a fault: "imported: 12 normals made unit length, 2 materials
// merged\n"; empty when it changed nothing.
std::string FormatImportCounts(const ImportCounts& c) {
    std::vector<std::string> parts;
    if (c.normals.rescaled != 0) parts.push_back(Plural(c.normals.rescaled, "normal", "normals") + " made unit length");
    if (c.normals.recomputed != 0)
        parts.push_back(Plural(c.normals.recomputed, "zero or non-finite normal", "zero or non-finite normals") +
                        " worked out from the faces");
    if (c.normals.computed != 0)
        parts.push_back(Plural(c.normals.computed, "vertex", "vertices") + " given normals worked out from the faces");
    if (c.materialsMerged != 0)
        parts.push_back(Plural(c.materialsMerged, "material", "materials") + " merged with an identical one");
    if (parts.empty()) return std::string();
    std::string line = "imported: ";
    for (std::size_t i = 0; i < parts.size(); ++i) line += (i ? ", " : "") + parts[i];
    return line + "\n";
}

// What the export wrote and what it warned about, for --report; what an import changed too.
nlohmann::json ReportJson(const ExportOptions& options, const nlohmann::json& summary, const Warnings& warnings,
                          const ImportCounts& c) {
    nlohmann::json report = {{"input", options.input},   {"output", options.output},
                             {"summary", summary},       {"verified", options.verify},
                             {"warnings", nlohmann::json::array()}};
    for (const Warnings::Entry& e : warnings.Entries())
        report["warnings"].push_back({{"kind", WarningText(e.kind)}, {"count", e.count}, {"examples", e.examples}});
    if (!IsJsonPath(options.input))
        report["import"] = {{"normalsMadeUnit", c.normals.rescaled},
                            {"normalsRecomputed", c.normals.recomputed},
                            {"verticesWithComputedNormals", c.normals.computed},
                            {"materialsMerged", c.materialsMerged}};
    return report;
}

// The report's text for standard output ("-"), or empty once it is staged among `files`, to go
// in place with them.
std::string StageReport(const std::string& path, const nlohmann::json& report, StagedFiles* files) {
    // Names are the files' bytes; those that are not UTF-8 become U+FFFD.
    const std::string text = report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (path == "-") return text;
    if (ToolResult<void> added = files->Add(path, text.data(), text.size()); !added.Ok())
        ThrowToolError(ToolError::Kind::Output, "", "cannot write the report: " + added.Error().Text());
    return "";
}

// One export in this process: prints its summary and warnings, or "wux export: " and its
// failure, and returns the exit code.
int ExportScene(const ExportOptions& options, PluginLibrary* plugin) try {
    KeepFreedMemoryForReuse();

    // Everything this export creates; on any way out but success it is removed again.
    StagedFiles files(options.syncEachFile ? StagedFiles::Sync::EachFile : StagedFiles::Sync::Later);
    const ToolResult<StagedFiles::File*> staged = files.Stage(options.output);
    if (!staged.Ok()) throw staged.Error();
    const std::string& temporary = (*staged)->temporary();
    StagedTextures textures(&files);
    Warnings warnings;
    ImportCounts counts;
    SetWorkerPhase(WorkerPhase::Reading);
    SceneDescription description = ReadInput(options, &textures, &warnings, &counts);
    SetWorkerPhase(WorkerPhase::Exporting);
    // The importer resolves texture files and names the nodes it drops itself.
    if (IsJsonPath(options.input)) ReportMissingTextures(description, FolderOf(options.input), &warnings);

    ShowProgress("building the scene");
    Note("building the scene: " + Plural(CountNodes(description.nodes), "node", "nodes"));
    StandinScene scene;
    // The stand-in scene takes over the geometry; the description keeps the rest.
    if (const ToolResult<void> built = BuildStandinScene(&description, &scene); !built.Ok()) {
        ToolError error = built.Error();
        error.file = options.input;
        throw error;
    }

    RunPlugin(plugin, description, &scene, options.output, temporary);
    plugin->AddOutcome(description.nodes, IsJsonPath(options.input), &warnings);
    SetWorkerPhase(WorkerPhase::Finishing);

    // Read back through a mapping: the summary touches only the chunks' heads.
    MappedFile written;
    if (const ToolResult<void> opened = written.Open(temporary); !opened.Ok())
        ThrowToolError(ToolError::Kind::PluginFailed, options.output,
                       "cannot read the written file back: " + opened.Error().message);
    const ByteSpan span = written.Span();
    if (options.verify) {
        const CheckReport check = CheckWux(span);
        if (!check.Valid()) {
            ClearProgress();
            std::cerr << FormatReport(check);
            ThrowToolError(ToolError::Kind::Invalid, options.output,
                 "--verify found " + std::to_string(check.errorCount) + " fault(s) in the written file; it was not kept");
        }
    }
    const ToolResult<WuxDocument> read = OpenWux(span, false);
    if (!read.Ok())
        ThrowToolError(ToolError::Kind::PluginFailed, options.output,
             "the written file cannot be read back: offset " + std::to_string(*read.Error().offset) + ": " +
                 read.Error().message);
    const nlohmann::json summary = SummarizeWux(*read->model);

    const std::string reportText =
        options.report.empty() ? "" : StageReport(options.report, ReportJson(options, summary, warnings, counts), &files);
    if (ToolResult<void> committed = files.Commit(); !committed.Ok()) throw committed.Error();

    // The report on standard output is the result a script reads; the summary then goes
    // to standard error with the warnings.
    std::ostream& summaryStream = options.report == "-" ? std::cerr : std::cout;
    if (options.report == "-") std::cout << reportText << std::flush;
    if (ShowSummary())
        summaryStream << FormatSummaryLine(options.output, summary) << (options.verify ? " (verified)" : "") << "\n"
                      << FormatImportCounts(counts) << std::flush;
    std::istringstream warningLines(FormatWarnings(warnings));
    for (std::string line; std::getline(warningLines, line);) Warn(line.substr(line.find(' ') + 1));
    return 0;
} catch (const ToolError& error) {
    PrintError(error.Text());
    return ExitCodeOf(error.kind);
} catch (const std::bad_alloc&) {
    PrintError(QuotedPath(options.input) + ": out of memory");
    return kExitFailed;
} catch (const std::exception& e) {
    PrintError(QuotedPath(options.input) + ": " + e.what());
    return kExitFailed;
}

PluginLibrary LoadPlugin(const std::string& explicitPath) {
    const ToolResult<std::string> path = LocatePlugin(explicitPath);
    if (!path.Ok()) throw path.Error();
    PluginLibrary plugin;
    if (const ToolResult<void> loaded = plugin.Load(*path); !loaded.Ok()) throw loaded.Error();
    Note("plug-in " + *path);
    return plugin;
}

struct Entry {
    BatchInput input;
    bool converted = false;
    std::string error;
    std::vector<std::string> details;  // what the export printed before its error line
    nlohmann::json report = nlohmann::json::object();  // the export's own, once converted
    double seconds = 0;
};

// The folders a run creates, so that those left empty go again when it ends, however it ends.
struct CreatedFolders {
    std::set<std::string> folders;  // sorted: a parent before its children

    // Deepest first, so that a parent is empty by the time it is tried.
    ~CreatedFolders() {
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            std::error_code ec;
            if (fs::is_directory(*it, ec) && fs::is_empty(*it, ec)) fs::remove(*it, ec);
        }
    }
    // Records the missing folders from `folder` up to the first one that exists.
    void Note(const fs::path& folder) {
        std::error_code ec;
        for (fs::path p = folder.lexically_normal(); !p.empty() && !fs::exists(p, ec); p = p.parent_path())
            if (!folders.insert(p.string()).second || p == p.parent_path()) break;
    }
};

nlohmann::json EntryJson(const Entry& e) {
    nlohmann::json j = {{"input", e.input.input},
                        {"output", e.input.output.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.input.output)},
                        {"status", e.converted ? "converted" : "failed"},
                        {"seconds", e.seconds}};
    if (e.converted) {
        j["summary"] = e.report.value("summary", nlohmann::json());
        j["warnings"] = e.report.value("warnings", nlohmann::json::array());
    } else {
        j["error"] = e.error;
        if (!e.details.empty()) j["details"] = e.details;
    }
    return j;
}

// Every input found, in the order given: those that cannot be exported carry their error,
// the others are the jobs. The output folder and the report's folder are there once MakePlan
// returns; the folders it made go again if they stay empty. Then how the run went.
struct Plan {
    Discovery discovery;
    std::vector<Entry> entries;
    std::vector<std::size_t> jobs;  // entries that are exported
    CreatedFolders created;
    int signal = 0;  // the signal that interrupted the run, or 0
    std::size_t parallel = 0;
    std::size_t done = 0;
    std::size_t converted = 0;
    double seconds = 0;
};

void MakePlan(const BatchOptions& options, Plan* plan) {
    std::error_code ec;
    if (fs::exists(options.outDir, ec) && !fs::is_directory(options.outDir, ec))
        ThrowToolError(ToolError::Kind::Output, options.outDir, "is not a folder");
    const std::string& reportPath = options.common.report;
    if (ToolResult<void> apart = CheckOutputsApart(options.inputs, {reportPath}); !apart.Ok()) throw apart.Error();

    plan->discovery = DiscoverInputs(options.inputs, options.outDir, reportPath);
    plan->created.Note(options.outDir);
    for (const BatchInput& input : plan->discovery.inputs) {
        if (input.error.empty()) {
            plan->jobs.push_back(plan->entries.size());
            plan->created.Note(fs::path(input.output).parent_path());
        }
        plan->entries.emplace_back();
        plan->entries.back().input = input;
        if (!input.error.empty()) plan->entries.back().error = QuotedPath(input.input) + ": " + input.error;
    }
    if (plan->entries.empty()) {
        const std::size_t skipped = plan->discovery.skipped;
        ThrowToolError(ToolError::Kind::Input, "",
                       "no files to convert" +
                           (skipped > 0 ? " (" + Plural(skipped, "file", "files") + " of other kinds skipped)" : std::string()));
    }
    fs::create_directories(options.outDir, ec);
    if (ec) ThrowToolError(ToolError::Kind::Output, options.outDir, "cannot create the folder: " + ec.message());
    const fs::path reportFolder = fs::path(reportPath).parent_path();
    if (reportPath != "-" && !reportFolder.empty() && !fs::is_directory(reportFolder, ec))
        ThrowToolError(ToolError::Kind::Output, reportPath, "the folder " + reportFolder.string() + " does not exist");
}

// A file running this long is named on the progress line.
constexpr double kSlowSeconds = 10;

// Exports the plan's jobs in supervised workers, each handing its report back, and fills in
// each entry; prints each failure as it comes, under a progress bar.
void RunExports(const BatchOptions& options, Plan* plan, PluginLibrary* plugin) {
    std::vector<Entry>& entries = plan->entries;
    const std::vector<std::size_t>& jobs = plan->jobs;
    ProgressBar progress(entries.size());
    auto printFailure = [&](const Entry& e) {
        const std::string input = QuotedPath(e.input.input);
        const bool named = e.error.compare(0, input.size() + 2, input + ": ") == 0;
        PrintError((named ? "" : input + ": ") + e.error);
    };
    plan->done = entries.size() - jobs.size();
    for (const Entry& e : entries)
        if (!e.error.empty()) printFailure(e);
    progress.Update(plan->done, plan->done);

    const auto start = std::chrono::steady_clock::now();
    WorkerRun run;
    run.jobCount = jobs.size();
    const std::size_t slots = options.jobs == 0 ? std::max(1u, std::thread::hardware_concurrency()) : options.jobs;
    run.parallel = std::min(slots, std::max<std::size_t>(1, jobs.size()));
    run.limits = options.limits;
    run.captureOutput = true;
    run.body = [&](std::size_t job) {
        ExportOptions o = options.common;
        o.syncEachFile = false;
        o.input = entries[jobs[job]].input.input;
        o.output = entries[jobs[job]].input.output;
        o.report = "-";  // on standard output, which the worker hands back
        std::error_code mkdirEc;
        const fs::path folder = fs::path(o.output).parent_path();
        fs::create_directories(folder, mkdirEc);
        if (mkdirEc) {
            PrintError(QuotedPath(folder.string()) + ": cannot create the folder: " + mkdirEc.message());
            return static_cast<int>(kExitOutput);
        }
        return ExportScene(o, plugin);
    };
    run.done = [&](std::size_t job, const WorkerOutcome& worker) {
        Entry& e = entries[jobs[job]];
        e.seconds = worker.seconds;
        if (worker.end == WorkerOutcome::End::Exited && worker.exitCode == 0) {
            e.converted = true;
            ++plan->converted;
            const nlohmann::json report = nlohmann::json::parse(worker.outputText, nullptr, false);
            if (report.is_object()) e.report = report;
            Note("wrote " + e.input.output);
        } else if (worker.end == WorkerOutcome::End::Exited) {
            // The worker's last line is its failure; the lines before it are details (--verify's list).
            std::istringstream in(worker.errorText);
            for (std::string line; std::getline(in, line);)
                if (!line.empty()) e.details.push_back(line);
            e.error = e.details.empty() ? "the export failed without a message" : e.details.back();
            if (!e.details.empty()) e.details.pop_back();
            const std::string prefix = "wux export: ";
            if (e.error.compare(0, prefix.size(), prefix) == 0) e.error.erase(0, prefix.size());
        } else {
            e.error = DescribeWorkerEnd(worker, options.limits, e.input.input, e.input.output);
        }
        ++plan->done;
        if (!e.converted) printFailure(e);
        progress.Update(plan->done, plan->done - plan->converted);
    };
    // The file that has run longest, once it has run long enough to explain a still bar.
    run.tick = [&](std::size_t job, double seconds) {
        progress.SetNote(seconds < kSlowSeconds ? std::string()
                                                : "still on " + entries[jobs[job]].input.input + " (" +
                                                      std::to_string(static_cast<long>(seconds)) + " s)");
        progress.Redraw();
    };
    plan->signal = RunWorkers(run);
    plan->parallel = run.parallel;
    plan->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ClearProgress();
}

nlohmann::json BatchReportJson(const BatchOptions& options, const Plan& plan) {
    nlohmann::json report = {{"out_dir", options.outDir},
                             {"jobs", plan.parallel},
                             {"converted", plan.converted},
                             {"failed", plan.entries.size() - plan.converted},
                             {"skipped_files", plan.discovery.skipped},
                             {"seconds", plan.seconds},
                             {"inputs", nlohmann::json::array()}};
    for (const Entry& e : plan.entries) report["inputs"].push_back(EntryJson(e));
    return report;
}

// "converted 3 of 4 files into out in 1.2 s (1 failed, 2 with warnings, 1 other file skipped)"
std::string SummaryLine(const BatchOptions& options, const Plan& plan) {
    const std::size_t total = plan.entries.size(), converted = plan.converted;
    const std::size_t withWarnings =
        static_cast<std::size_t>(std::count_if(plan.entries.begin(), plan.entries.end(), [](const Entry& e) {
            return e.converted && !e.report.value("warnings", nlohmann::json::array()).empty();
        }));
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(1);
    line << "converted " << converted << " of " << Plural(total, "file", "files") << " into " << options.outDir
         << " in " << plan.seconds << " s";
    std::vector<std::string> notes;
    if (converted < total) notes.push_back(std::to_string(total - converted) + " failed");
    if (withWarnings > 0) notes.push_back(std::to_string(withWarnings) + " with warnings");
    if (plan.discovery.skipped > 0) notes.push_back(Plural(plan.discovery.skipped, "other file", "other files") + " skipped");
    for (std::size_t i = 0; i < notes.size(); ++i) line << (i == 0 ? " (" : ", ") << notes[i];
    if (!notes.empty()) line << ")";
    return line.str();
}

// 0 when every input was converted, 1 when any failed, 128 + the signal when interrupted;
// throws a ToolError when the batch cannot start (the plug-in, its folder, its report, no inputs).
int RunBatchExport(const BatchOptions& options) {
    // Loaded once, before the workers are forked: each starts with it.
    PluginLibrary plugin = LoadPlugin(options.common.plugin);
    Plan plan;
    MakePlan(options, &plan);
    RunExports(options, &plan, &plugin);
    if (plan.signal != 0) {
        PrintError("interrupted (" + SignalName(plan.signal) + ") after " + std::to_string(plan.done) + " of " +
                   std::to_string(plan.entries.size()) + " files; no report written");
        return ExitCodeOfSignal(plan.signal);
    }
    // The outputs go to the disk together, not one sync per file.
    std::set<std::string> folders;
    for (const Entry& e : plan.entries)
        if (e.converted) folders.insert(FolderOf(e.input.output));
    if (const ToolResult<void> synced = SyncFolders({folders.begin(), folders.end()}); !synced.Ok()) throw synced.Error();
    const std::string& report = options.common.report;
    StagedFiles files;
    const std::string reportText = report.empty() ? "" : StageReport(report, BatchReportJson(options, plan), &files);
    if (ToolResult<void> committed = files.Commit(); !committed.Ok())
        ThrowToolError(ToolError::Kind::Output, "", "cannot write the report: " + committed.Error().Text());
    std::cout << reportText;
    if (ShowSummary()) (report == "-" ? std::cerr : std::cout) << SummaryLine(options, plan) << "\n" << std::flush;
    return plan.converted == plan.entries.size() ? kExitOk : kExitNo;
}

// The command line fills a batch's options; without --out-dir, inputs are INPUT and OUTPUT.
int RunExportCommand(BatchOptions batch, std::uint64_t memoryMiB) {
    // A cap beyond what 64 bits of bytes can hold is no cap.
    batch.limits.memoryBytes = memoryMiB > (UINT64_MAX >> 20) ? 0 : memoryMiB << 20;
    ExportOptions& options = batch.common;
    if (!options.report.empty() && fs::is_directory(options.report))
        ThrowToolError(ToolError::Kind::Output, options.report, "is a directory");
    if (!options.report.empty() && options.report != "-" && !IsJsonPath(options.report))
        Warn(options.report + ": the report is JSON, but the name does not end in .json");
    if (!batch.outDir.empty()) return RunBatchExport(batch);
    if (batch.inputs.size() != 2)
        ThrowToolError(ToolError::Kind::Argument, "", "give INPUT and OUTPUT, or INPUT... --out-dir DIR");
    options.input = batch.inputs[0];
    options.output = batch.inputs[1];
    if (ToolResult<void> apart = CheckOutputsApart({options.input}, {options.output, options.report}); !apart.Ok())
        throw apart.Error();
    CheckOutputName(options.output, {".wux"}, "a WUX file");
    PluginLibrary plugin = LoadPlugin(options.plugin);
    // A JSON scene runs no third-party code (our reader, the stand-in, the plug-in): its export
    // needs no worker to contain a crash or a hang, and runs in this process, under the same
    // memory cap. Everything else goes to a supervised worker.
    const auto interrupted = [](int signal) {
        return std::string(ProgressShown() ? "\r\033[K" : "") + "wux export: interrupted (" + SignalName(signal) +
               "); nothing written\n";
    };
    if (IsJsonPath(options.input)) {
        // Read by the signal handler.
        static const std::string onInt = interrupted(SIGINT), onTerm = interrupted(SIGTERM);
        NoteOnInterrupt(onInt.c_str(), onTerm.c_str());
        // Acted on even when the command was started with SIGINT ignored, as a worker does.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        LimitAddressSpace(batch.limits.memoryBytes);
        return ExportScene(options, &plugin);
    }
    int code = kExitFailed;
    WorkerRun run;
    run.jobCount = 1;
    run.limits = batch.limits;
    run.body = [&](std::size_t) { return ExportScene(options, &plugin); };
    run.done = [&](std::size_t, const WorkerOutcome& outcome) {
        code = outcome.end == WorkerOutcome::End::Exited ? outcome.exitCode : kExitFailed;
        if (outcome.end == WorkerOutcome::End::Exited) return;  // the worker has said what happened
        const std::string why = DescribeWorkerEnd(outcome, batch.limits, options.input, options.output, options.report);
        if (outcome.end != WorkerOutcome::End::Interrupted) PrintError(why);
    };
    const int signal = RunWorkers(run);
    if (signal == 0) return code;
    // The worker's progress line (and the terminal's ^C) go before the message.
    std::cerr << interrupted(signal);
    return ExitCodeOfSignal(signal);
}

}  // namespace

void AddExportCommand(CLI::App& app) {
    auto batch = std::make_shared<BatchOptions>();
    auto memoryMiB = std::make_shared<std::uint64_t>(DefaultWorkerMemoryBytes() >> 20);
    ExportOptions* options = &batch->common;
    CLI::App* command =
        AddCommand(app, "export",
                   "Export a scene (a JSON scene, or any file Assimp reads) to a WUX file through the plug-in; or many "
                   "files and folders at once with --out-dir",
                   {"wux export scene.json scene.wux --verify", "wux export model.gltf model.wux --report -",
                    "wux export models/ more.fbx --out-dir out --jobs 4 --report out/report.json"});
    command->add_option("paths", batch->inputs, "INPUT OUTPUT; with --out-dir, any number of INPUTs (files or folders)")
        ->required()
        ->type_name("INPUT... [OUTPUT]");
    command->add_option("--out-dir", batch->outDir,
                        "convert every INPUT (a file, or a folder searched recursively) to DIR/<its relative path>.wux")
        ->type_name("DIR");
    command->add_option("--jobs", batch->jobs, "with --out-dir: files converted at once (default: one per core)")
        ->check(AtLeast(1))
        ->type_name("N");
    command
        ->add_option("--timeout", batch->limits.timeoutSeconds,
                     "stop an export that takes longer than this many seconds (0: no limit; a single JSON scene's "
                     "export runs without a worker and has none)")
        ->check(AtLeast(0))
        ->type_name("SECONDS")
        ->capture_default_str();
    command
        ->add_option("--memory-limit", *memoryMiB,
                     "the most memory (MiB of address space) one export may take (default: the machine's memory; 0: "
                     "no limit)")
        ->check(AtLeast(0))
        ->type_name("MIB")
        ->capture_default_str();
    command->add_option("--up", options->upText, "the up axis of an imported file's data: auto (the format's or the "
                                                 "file's own), y or z")
        ->check(CLI::IsMember({"auto", "y", "z"}, CLI::ignore_case))
        ->capture_default_str();
    command
        ->add_option("--helpers", options->helpersText,
                     "imported nodes without meshes that become point helpers: markers (those without children), "
                     "all or none")
        ->check(CLI::IsMember({"markers", "all", "none"}, CLI::ignore_case))
        ->capture_default_str();
    command
        ->add_option("--smooth-angle", options->smoothAngle,
                     "for imported meshes without normals: faces meeting at more than this many degrees keep "
                     "their own normals along the edge, flatter ones are smoothed")
        ->check(Between(0, 180))
        ->capture_default_str();
    command->add_option("--report", options->report,
                        "also write the summary and the warnings as JSON to this file, or with - to standard output "
                        "(with --out-dir: one report with an entry per input)");
    command->add_flag("--verify", options->verify,
                      "check the written file with the checker; a file with a fault is not kept");
    command->add_option("--plugin", options->plugin,
                        "the plug-in library (default: $WUX_PLUGIN, then the installed one relative to wux, then "
                        "wux_plugin.so beside wux, then the build tree's)");
    SetBody(command, [batch, memoryMiB] { return RunExportCommand(*batch, *memoryMiB); });
}

}  // namespace wux
