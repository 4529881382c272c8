#include "cli/export_runner.h"

#include <cstdint>
#include <filesystem>
#include <iostream>

#include "cli/batch_export.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "writer/staged_files.h"
#include "format/tool_text.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

int RunSupervisedExport(const ExportOptions& options, const WorkerLimits& limits) {
    int code = kExitFailed;
    WorkerRun run;
    run.jobCount = 1;
    run.limits = limits;
    run.body = [&options](std::size_t) { return ExportInProcess(options); };
    run.done = [&](std::size_t, const WorkerOutcome& outcome) {
        if (outcome.end == WorkerOutcome::End::Exited) {
            code = outcome.exitCode;  // the worker has said what happened
            return;
        }
        RemoveWorkerLeftovers(outcome.pid, ExportFolders(options));
        if (outcome.end != WorkerOutcome::End::Interrupted)
            PrintError(DescribeWorkerEnd(outcome, limits, options.input, options.output));
        code = kExitFailed;
    };
    const int signal = RunWorkers(run);
    if (signal == 0) return code;
    // The worker's progress line (and the terminal's ^C) go before the message.
    if (ProgressShown()) std::cerr << "\r\033[K";
    PrintError("interrupted (" + SignalName(signal) + "); nothing written");
    return ExitCodeOfSignal(signal);
}

}  // namespace

void AddExportRunnerOptions(CLI::App* command, ExportRunnerOptions* options) {
    command->add_option("paths", options->paths, "INPUT OUTPUT; with --out-dir, any number of INPUTs (files or folders)")
        ->required()
        ->type_name("INPUT... [OUTPUT]");
    command->add_option("--out-dir", options->outDir,
                        "convert every INPUT (a file, or a folder searched recursively) to DIR/<its relative path>.wux")
        ->type_name("DIR");
    command->add_option("--jobs", options->jobs, "with --out-dir: files converted at once (default: one per core)")
        ->check(AtLeast(1))
        ->type_name("N");
    command
        ->add_option("--timeout", options->timeoutSeconds,
                     "stop an export that takes longer than this many seconds (0: no limit)")
        ->check(AtLeast(0))
        ->type_name("SECONDS")
        ->capture_default_str();
    command
        ->add_option("--memory-limit", options->memoryMiB,
                     "the most memory (MiB of address space) one export may take (default: the machine's memory; 0: "
                     "no limit)")
        ->check(AtLeast(0))
        ->type_name("MIB")
        ->capture_default_str();
}

std::vector<std::string> ExportFolders(const ExportOptions& options) {
    std::vector<std::string> folders{FolderOf(options.output)};
    if (!options.report.empty() && FolderOf(options.report) != folders.front())
        folders.push_back(FolderOf(options.report));
    return folders;
}

int RunExportCommand(const ExportOptions& options, const ExportRunnerOptions& runner) {
    WorkerLimits limits;
    limits.timeoutSeconds = runner.timeoutSeconds;
    // A cap beyond what 64 bits of bytes can hold is no cap.
    limits.memoryBytes = runner.memoryMiB > (UINT64_MAX >> 20) ? 0 : runner.memoryMiB << 20;
    if (!options.report.empty() && options.report != "-" && Lower(fs::path(options.report).extension().string()) != ".json")
        Warn(options.report + ": the report is JSON, but the name does not end in .json");
    if (!runner.outDir.empty()) {
        BatchOptions batch;
        batch.inputs = runner.paths;
        batch.outDir = runner.outDir;
        batch.jobs = runner.jobs;
        batch.limits = limits;
        batch.common = options;
        return RunBatchExport(batch);
    }
    if (runner.paths.size() != 2)
        ThrowToolError(ToolError::Kind::Argument, "", "give INPUT and OUTPUT, or INPUT... --out-dir DIR");
    ExportOptions single = options;
    single.input = runner.paths[0];
    single.output = runner.paths[1];
    if (ToolResult<void> apart = CheckOutputsApart({single.input}, {single.output, single.report}); !apart.Ok())
        throw apart.Error();
    CheckOutputName(single.output, {".wux"}, "a WUX file");
    return RunSupervisedExport(single, limits);
}

}  // namespace wux
