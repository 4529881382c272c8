// Runs exports in worker processes, so that a crash, an abort, a hang or a runaway allocation
// inside a third-party importer ends that one export with a message instead of the tool.
//
// Each job slot has one worker, forked from the command (so it starts with the options read
// and the libraries, the plug-in among them, already loaded), which runs the slot's jobs one
// after another. A worker ends after a job that failed, crashed or timed out; the slot's next
// job gets a fresh one. The parent never runs threads, so forking it is safe; it waits for
// its workers with poll().
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wux {

// What a worker was doing, for the message when it dies.
enum class WorkerPhase : int { Starting = 0, Reading, Exporting, Finishing };

// Called by code that may run in a worker; does nothing outside one.
void SetWorkerPhase(WorkerPhase phase);

struct WorkerLimits {
    double timeoutSeconds = 600;  // 0: none
    std::uint64_t memoryBytes = 0;                   // the child's address space; 0: none
};

// Caps this process's address space (0: no cap; none under AddressSanitizer).
void LimitAddressSpace(std::uint64_t bytes);

// The address-space cap a worker gets by default: the machine's physical memory, so that a
// runaway import fails with "out of memory" instead of driving the machine into swap.
std::uint64_t DefaultWorkerMemoryBytes();

struct WorkerOutcome {
    enum class End { Exited, Crashed, TimedOut, Interrupted, NotStarted };
    End end = End::NotStarted;
    int exitCode = 0;  // Exited; Crashed without a signal: the worker quit in the middle of the job
    int signal = 0;    // Crashed: the signal that ended the worker
    WorkerPhase phase = WorkerPhase::Starting;
    pid_t pid = 0;
    std::string outputText;  // what the job printed, when captured and it answered
    std::string errorText;
    double seconds = 0;
    std::string startError;  // NotStarted: why no child could be made

};

struct WorkerRun {
    std::size_t jobCount = 0;
    std::size_t parallel = 1;
    WorkerLimits limits;
    // Batch workers keep quiet: what a job prints (std::cout, std::cerr) goes to the parent
    // with its exit code, for its report; anything else a worker writes is dropped.
    bool captureOutput = false;
    // In a worker: the job's work; its result is the job's exit code.
    std::function<int(std::size_t job)> body;
    // In the parent, as each job ends (in the order they end).
    std::function<void(std::size_t job, const WorkerOutcome& outcome)> done;
    // In the parent, about five times a second while jobs run (may be empty): the job that has
    // run longest and its seconds so far (0 when none runs).
    std::function<void(std::size_t job, double seconds)> tick;
};

// Runs every job and returns 0, or the signal (SIGINT, SIGTERM) that interrupted the run:
// the workers were then passed the signal and waited for, the running jobs reported as
// Interrupted and the jobs not yet started not reported at all.
int RunWorkers(const WorkerRun& run);

// Removes what a worker that died without cleaning up left in these folders: the temporary
// files whose names carry its process id.
void RemoveWorkerLeftovers(pid_t pid, const std::vector<std::string>& folders);

// "SIGSEGV", "SIGABRT", ..., or "signal 42".
std::string SignalName(int signal);

// Why the worker of an export that did not exit by itself ended, naming the input (and OUTPUT
// when the plug-in was writing it): "the importer crashed (SIGSEGV) reading in.ply"; once the
// temporary files it left beside OUTPUT and the report (unless "-") are removed.
std::string DescribeWorkerEnd(const WorkerOutcome& outcome, const WorkerLimits& limits, const std::string& input,
                              const std::string& output, const std::string& report = "");

}  // namespace wux
