// wux export INPUT OUTPUT: reads a scene (JSON, or any file Assimp reads), builds it in the
// stand-in host, loads the plug-in library and has it export the scene as the host would.
// The plug-in writes a temporary file next to OUTPUT; only a file that was written without
// complaint (and, with --verify, passes the checker) replaces OUTPUT. So on any failure
// OUTPUT is left as it was, or absent.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <system_error>

#include "host/standin/standin.h"
#include "input/assimp_import.h"
#include "cli/commands.h"
#include "cli/export_options.h"
#include "cli/export_runner.h"
#include "cli/worker_process.h"
#include "driver/export_report.h"
#include "format/file_bytes.h"
#include "input/json_scene.h"
#include "driver/plugin_loader.h"
#include "driver/scene_builder.h"
#include "driver/scene_routes.h"
#include "input/warnings.h"
#include "format/wux_checker.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// A failure of the command: the message is printed after "wux export: ".
struct ExportFailure {
    std::string message;
};

bool ShowProgress() {
    static const bool tty = isatty(STDERR_FILENO) != 0;
    return tty;
}

void Progress(const std::string& text) {
    if (ShowProgress()) std::cerr << "\r\033[K" << text << std::flush;
}

void EndProgress() {
    if (ShowProgress()) std::cerr << "\r\033[K" << std::flush;
}

// The scene as the plug-in sees it, with a progress line while the plug-in walks it.
class ProgressScene : public IScene {
public:
    ProgressScene(IScene* inner, std::size_t nodeCount) : inner_(inner), nodeCount_(nodeCount) {}

    int EnumTree(ITreeEnumProc* proc) override {
        if (!ShowProgress()) return inner_->EnumTree(proc);
        CountingProc counting(proc, nodeCount_);
        return inner_->EnumTree(&counting);
    }

private:
    class CountingProc : public ITreeEnumProc {
    public:
        CountingProc(ITreeEnumProc* inner, std::size_t total) : inner_(inner), total_(total) {}
        // Called by the host's walk, which no exception may leave.
        int callback(INode* node) noexcept override {
            ++visited_;
            if (visited_ == 1 || visited_ % 64 == 0 || visited_ == total_) {
                try {
                    Progress("exporting: node " + std::to_string(visited_) + " of " + std::to_string(total_));
                } catch (...) {
                    // A progress line is not worth failing the export for.
                }
            }
            return inner_->callback(node);
        }

    private:
        ITreeEnumProc* inner_;
        std::size_t total_;
        std::size_t visited_ = 0;
    };

    IScene* inner_;
    std::size_t nodeCount_;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool IsJsonPath(const std::string& path) { return Lower(fs::path(path).extension().string()) == ".json"; }

std::size_t CountNodes(const std::vector<SceneNode>& nodes) {
    std::size_t n = 0;
    for (const SceneNode& node : nodes) n += 1 + CountNodes(node.children);
    return n;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The plug-in's message names the file it was given, the temporary one, by its whole path
// or by a tail of it (after the last backslash, as the host's paths go, or after a slash);
// the user knows only OUTPUT. The temporary path is OUTPUT plus a suffix, so each such tail
// is a tail of OUTPUT plus that suffix; the longest one found is put back as OUTPUT's.
std::string NameOutputInstead(const std::string& text, const std::string& tempPath, const std::string& output) {
    if (tempPath.compare(0, output.size(), output) != 0) return text;
    const std::string suffix = tempPath.substr(output.size());
    for (std::size_t start = 0; start <= output.size();) {
        const std::string tail = output.substr(start);
        if (text.find(tail + suffix) != std::string::npos) return ReplaceAll(text, tail + suffix, tail);
        const std::size_t separator = output.find_first_of("/\\", start);
        if (separator == std::string::npos) break;
        start = separator + 1;
    }
    return text;
}

void RemoveQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string FolderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Removes the temporary file on every way out but the one that renames it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) RemoveQuietly(path_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

// Files an importer writes beside OUTPUT (embedded textures, named "<OUTPUT's stem>_...")
// belong to the export: when it fails they go too, except those that were there before.
class FilesBesideOutput {
public:
    explicit FilesBesideOutput(const std::string& output)
        : folder_(FolderOf(output)), prefix_(fs::path(output).stem().string() + "_") {
        before_ = List();
    }
    ~FilesBesideOutput() {
        if (!armed_) return;
        for (const std::string& name : List())
            if (before_.count(name) == 0) RemoveQuietly((fs::path(folder_) / name).string());
    }
    FilesBesideOutput(const FilesBesideOutput&) = delete;
    FilesBesideOutput& operator=(const FilesBesideOutput&) = delete;
    void Keep() { armed_ = false; }

private:
    std::set<std::string> List() const {
        std::set<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.compare(0, prefix_.size(), prefix_) == 0 && it->is_regular_file(ec)) names.insert(name);
        }
        return names;
    }

    std::string folder_;
    std::string prefix_;
    std::set<std::string> before_;
    bool armed_ = true;
};

void CheckOutputPath(const std::string& output) {
    std::error_code ec;
    if (output.empty()) throw ExportFailure{"the output path is empty"};
    if (fs::is_directory(output, ec)) throw ExportFailure{output + ": is a directory"};
    const fs::path parent = fs::path(output).parent_path();
    if (!parent.empty()) {
        if (!fs::exists(parent, ec)) throw ExportFailure{output + ": the folder " + parent.string() + " does not exist"};
        if (!fs::is_directory(parent, ec)) throw ExportFailure{output + ": " + parent.string() + " is not a folder"};
    }
}

void LoadPlugin(const std::string& explicitPath, PluginLibrary* plugin) {
    std::string searched;
    const std::string path = LocatePlugin(explicitPath, &searched);
    if (path.empty())
        throw ExportFailure{"cannot find the plug-in library wux_plugin.so (looked at " + searched +
                            "); give its path with --plugin or the WUX_PLUGIN environment variable"};
    PluginError error;
    if (!plugin->Load(path, &error)) throw ExportFailure{error.message};
}

SceneDescription ReadInput(const ExportOptions& options, Warnings* warnings) {
    std::error_code ec;
    if (!fs::exists(options.input, ec)) throw ExportFailure{options.input + ": no such file"};
    if (fs::is_directory(options.input, ec)) throw ExportFailure{options.input + ": is a directory"};
    Progress("reading " + options.input);
    SceneDescription scene;
    if (IsJsonPath(options.input)) {
        JsonSceneError error;
        if (!ReadJsonSceneFile(options.input, &scene, &error)) throw ExportFailure{error.message};
    } else {
        AssimpImportOptions assimpOptions;
        const std::string up = Lower(options.upText), helpers = Lower(options.helpersText);
        assimpOptions.up = up == "y" ? AssimpImportOptions::Up::Y
                           : up == "z" ? AssimpImportOptions::Up::Z
                                       : AssimpImportOptions::Up::Auto;
        assimpOptions.helpers = helpers == "all"    ? AssimpImportOptions::Helpers::All
                                : helpers == "none" ? AssimpImportOptions::Helpers::None
                                                    : AssimpImportOptions::Helpers::Markers;
        assimpOptions.outputPath = options.output;
        std::string error;
        if (!ImportWithAssimp(options.input, assimpOptions, &scene, warnings, &error)) throw ExportFailure{error};
    }
    return scene;
}

// One export by the plug-in into tempPath; throws when the plug-in reports a failure.
void RunPlugin(PluginLibrary* plugin, const SceneDescription& description, StandinScene* scene,
               const std::string& output, const std::string& tempPath) {
    StandinInterface hostInterface(description.time);
    ProgressScene progressScene(scene, CountNodes(description.nodes));
    StandinExpInterface expInterface(&progressScene);

    // The plug-in's only report is a message box; we read it instead of echoing it.
    StandinSetMessageBoxEcho(false);
    StandinClearMessageBoxCalls();
    int result = 0;
    PluginError error;
    const bool called = plugin->Export(tempPath, &expInterface, &hostInterface, &result, &error);
    EndProgress();
    if (!called) throw ExportFailure{error.message};

    const auto& boxes = StandinMessageBoxCalls();
    if (!boxes.empty()) {
        const std::string text = NameOutputInstead(StandinCp1251ToUtf8(boxes.front().text), tempPath, output);
        throw ExportFailure{output + ": the plug-in could not write the file; its message: \"" + text + "\""};
    }
    std::error_code ec;
    if (!fs::is_regular_file(tempPath, ec))
        throw ExportFailure{output + ": the plug-in reported no failure but wrote no file"};
}

void WriteReport(const std::string& path, const nlohmann::json& report) {
    const std::string error = WriteReportFile(path, report);
    if (!error.empty()) throw ExportFailure{error};
}

int RunExport(const ExportOptions& options) {
    CheckOutputPath(options.output);
    if (!options.report.empty() && fs::is_directory(options.report))
        throw ExportFailure{options.report + ": is a directory"};

    PluginLibrary plugin;
    LoadPlugin(options.plugin, &plugin);

    FilesBesideOutput importedFiles(options.output);
    Warnings warnings;
    SetWorkerPhase(WorkerPhase::Reading);
    const SceneDescription description = ReadInput(options, &warnings);
    SetWorkerPhase(WorkerPhase::Exporting);
    RouteOptions routes;
    routes.textureFolders = {FolderOf(options.input)};
    if (!IsJsonPath(options.input)) {
        // The importer resolves texture files and names the nodes it drops itself.
        routes.checkTextures = false;
        routes.reportNodesWithoutObject = false;
    }
    PredictRouteWarnings(description, routes, &warnings);

    Progress("building the scene");
    StandinScene scene;
    std::string buildError;
    if (!BuildStandinScene(description, &scene, &buildError)) throw ExportFailure{options.input + ": " + buildError};

    // Same folder as OUTPUT, so that the final rename replaces it in one step.
    TemporaryFile temp(options.output + ".partial" + std::to_string(getpid()));
    RunPlugin(&plugin, description, &scene, options.output, temp.Path());
    SetWorkerPhase(WorkerPhase::Finishing);

    const FileBytes bytes = LoadFileBytes(temp.Path());
    if (!bytes.ok) throw ExportFailure{options.output + ": cannot read the written file back: " + bytes.error};
    const ByteSpan span{bytes.bytes.data(), bytes.bytes.size()};
    if (options.verify) {
        const CheckReport check = CheckWux(span);
        if (!check.Valid()) {
            std::cerr << FormatReport(check);
            throw ExportFailure{options.output + ": --verify found " + std::to_string(check.errorCount) +
                                " fault(s) in the written file; it was not kept"};
        }
    }
    const ReadResult<WuxFile> read = ReadWux(span);
    if (!read.Ok())
        throw ExportFailure{options.output + ": the written file cannot be read back: offset " +
                            std::to_string(read.error.offset) + ": " + read.error.message};
    const ExportSummary summary = SummarizeWux(*read.value);

    if (!options.report.empty()) {
        nlohmann::json report = ReportJson(options.input, options.output, summary, warnings);
        report["verified"] = options.verify;
        WriteReport(options.report, report);
    }

    std::error_code ec;
    fs::rename(temp.Path(), options.output, ec);
    if (ec) {
        if (!options.report.empty()) RemoveQuietly(options.report);
        throw ExportFailure{options.output + ": cannot replace the file: " + ec.message()};
    }
    temp.Release();
    importedFiles.Keep();

    std::cout << FormatSummaryLine(options.output, summary) << (options.verify ? " (verified)" : "") << "\n"
              << FormatWarnings(warnings) << std::flush;
    return 0;
}

}  // namespace

int ExportInProcess(const ExportOptions& options) {
    try {
        return RunExport(options);
    } catch (const ExportFailure& failure) {
        EndProgress();
        std::cerr << "wux export: " << failure.message << "\n";
    } catch (const std::bad_alloc&) {
        EndProgress();
        std::cerr << "wux export: " << options.input << ": out of memory\n";
    } catch (const std::exception& e) {
        EndProgress();
        std::cerr << "wux export: " << options.input << ": " << e.what() << "\n";
    }
    return 1;
}

void AddExportCommand(CLI::App& app) {
    auto options = std::make_shared<ExportOptions>();
    auto runner = std::make_shared<ExportRunnerOptions>();
    CLI::App* command = app.add_subcommand(
        "export", "Export a scene (a JSON scene, or any file Assimp reads) to a WUX file through the plug-in; "
                  "or many files and folders at once with --out-dir");
    AddExportRunnerOptions(command, runner.get());
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
    command->add_option("--report", options->report,
                        "also write the summary and the warnings as JSON to this file (with --out-dir: one report "
                        "with an entry per input)");
    command->add_flag("--verify", options->verify,
                      "check the written file with the checker; a file with a fault is not kept");
    command->add_option("--plugin", options->plugin,
                        "the plug-in library (default: $WUX_PLUGIN, then the installed one relative to wux, then "
                        "wux_plugin.so beside wux, then the build tree's)");
    command->footer(
        "Exit codes: 0 written, 1 failed (nothing written; an existing OUTPUT is left unchanged); with --out-dir, "
        "1 when any input failed. 130 or 143 when interrupted by SIGINT or SIGTERM.");
    command->callback([options, runner] {
        if (const int code = RunExportCommand(*options, *runner)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
