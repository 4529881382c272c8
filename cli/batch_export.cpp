// wux export INPUT... --out-dir DIR (cli/export_command.h).
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/export_command.h"
#include "cli/input_discovery.h"
#include "cli/progress_bar.h"
#include "driver/export_report.h"
#include "format/tool_text.h"
#include "writer/staged_files.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

struct Entry {
    BatchInput input;
    bool converted = false;
    std::string error;
    std::vector<std::string> details;  // what the export printed before its error line
    nlohmann::json summary;
    nlohmann::json warnings = nlohmann::json::array();
    double seconds = 0;
};

// The folders a run creates, so that those left empty go again when it ends, however it ends.
class CreatedFolders {
public:
    CreatedFolders() = default;
    CreatedFolders(const CreatedFolders&) = delete;
    CreatedFolders& operator=(const CreatedFolders&) = delete;
    // Deepest first, so that a parent is empty by the time it is tried.
    ~CreatedFolders() {
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
            std::error_code ec;
            if (fs::is_directory(*it, ec) && fs::is_empty(*it, ec)) fs::remove(*it, ec);
        }
    }
    // Records the missing folders from `folder` up to the first one that exists.
    void Note(const fs::path& folder) {
        std::error_code ec;
        for (fs::path p = folder.lexically_normal(); !p.empty() && !fs::exists(p, ec); p = p.parent_path())
            if (!folders_.insert(p.string()).second || p == p.parent_path()) break;
    }

private:
    std::set<std::string> folders_;  // sorted: a parent before its children
};

// The worker's last line is its failure; the lines before it are details (--verify's list).
void TakeError(const std::string& errorText, Entry* entry) {
    std::istringstream in(errorText);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) entry->details.push_back(line);
    if (entry->details.empty()) {
        entry->error = "the export failed without a message";
        return;
    }
    entry->error = entry->details.back();
    entry->details.pop_back();
    const std::string prefix = "wux export: ";
    if (entry->error.compare(0, prefix.size(), prefix) == 0) entry->error.erase(0, prefix.size());
}

void TakeReport(const std::string& text, Entry* entry) {
    const nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
    if (report.is_discarded()) return;
    if (report.contains("summary")) entry->summary = report["summary"];
    if (report.contains("warnings")) entry->warnings = report["warnings"];
}

nlohmann::json EntryJson(const Entry& e) {
    nlohmann::json j;
    j["input"] = e.input.input;
    j["output"] = e.input.output.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.input.output);
    j["status"] = e.converted ? "converted" : "failed";
    if (e.converted) {
        j["summary"] = e.summary;
        j["warnings"] = e.warnings;
    } else {
        j["error"] = e.error;
        if (!e.details.empty()) j["details"] = e.details;
    }
    j["seconds"] = e.seconds;
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
    auto exportOptions = [&](std::size_t entry) {
        ExportOptions o = options.common;
        o.syncEachFile = false;
        o.input = entries[entry].input.input;
        o.output = entries[entry].input.output;
        o.report = "-";  // on standard output, which the worker hands back
        return o;
    };

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
        const ExportOptions o = exportOptions(jobs[job]);
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
        const ExportOptions o = exportOptions(jobs[job]);
        e.seconds = worker.seconds;
        if (worker.Succeeded()) {
            e.converted = true;
            ++plan->converted;
            TakeReport(worker.outputText, &e);
            Note("wrote " + o.output);
        } else if (worker.end == WorkerOutcome::End::Exited) {
            TakeError(worker.errorText, &e);
        } else {
            e.error = DescribeWorkerEnd(worker, options.limits, o.input, o.output, o.report);
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
    progress.Clear();
}

nlohmann::json BatchReportJson(const BatchOptions& options, const Plan& plan) {
    nlohmann::json report;
    report["out_dir"] = options.outDir;
    report["jobs"] = plan.parallel;
    report["converted"] = plan.converted;
    report["failed"] = plan.entries.size() - plan.converted;
    report["skipped_files"] = plan.discovery.skipped;
    report["seconds"] = plan.seconds;
    nlohmann::json list = nlohmann::json::array();
    for (const Entry& e : plan.entries) list.push_back(EntryJson(e));
    report["inputs"] = std::move(list);
    return report;
}

// "converted 3 of 4 files into out in 1.2 s (1 failed, 2 with warnings, 1 other file skipped)"
std::string SummaryLine(const BatchOptions& options, const Plan& plan) {
    const std::size_t total = plan.entries.size(), converted = plan.converted;
    const std::size_t withWarnings = static_cast<std::size_t>(std::count_if(
        plan.entries.begin(), plan.entries.end(), [](const Entry& e) { return e.converted && !e.warnings.empty(); }));
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

}  // namespace

int RunBatchExport(const BatchOptions& options) {
    // Loaded once, before the workers are forked: each starts with it.
    PluginLibrary plugin;
    LoadPlugin(options.common.plugin, &plugin);
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
    if (report == "-") {
        PrintJson(BatchReportJson(options, plan));
    } else if (!report.empty()) {
        if (const ToolResult<void> written = WriteReportFile(report, BatchReportJson(options, plan)); !written.Ok())
            throw written.Error();
    }
    if (ShowSummary()) (report == "-" ? std::cerr : std::cout) << SummaryLine(options, plan) << "\n" << std::flush;
    return plan.converted == plan.entries.size() ? kExitOk : kExitNo;
}

}  // namespace wux
