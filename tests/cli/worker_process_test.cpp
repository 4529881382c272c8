// Worker processes: how each way a job can end is told apart and described, that jobs run
// at most `parallel` at a time and are each reported once, when a worker is reused, the
// memory cap, and interruption.
#include "cli/worker_process.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace wux {
namespace {

namespace fs = std::filesystem;

WorkerOutcome RunOne(const std::function<int()>& body, double timeout = 10, bool capture = true,
                     std::uint64_t memory = 0) {
    WorkerOutcome result;
    WorkerRun run;
    run.jobCount = 1;
    run.limits.timeoutSeconds = timeout;
    run.limits.memoryBytes = memory;
    run.captureOutput = capture;
    run.body = [&](std::size_t) { return body(); };
    run.done = [&](std::size_t, const WorkerOutcome& outcome) { result = outcome; };
    EXPECT_EQ(RunWorkers(run), 0);
    return result;
}

[[noreturn]] void CrashWith(int signal) {
    ::signal(signal, SIG_DFL);  // past any sanitizer's own handler
    raise(signal);
    std::abort();
}

// A child that waits to be stopped. Should its parent never stop it, the alarm ends it
// within seconds, and the case fails as a crash instead of holding the test for good.
[[noreturn]] void HangUntilStopped() {
    alarm(5);
    for (;;) pause();
}

struct EndCase {
    const char* name;
    std::function<int()> body;
    double timeout;
    WorkerOutcome::End end;
    const char* message;
};

TEST(WorkerProcess, EachEndIsToldApartAndDescribed) {
    const EndCase cases[] = {
        {"exit code", [] { return 3; }, 10, WorkerOutcome::End::Exited,
         "the export of in.ply failed (exit code 3)"},
        {"quit without an answer while reading",
         []() -> int {
             SetWorkerPhase(WorkerPhase::Reading);
             _exit(5);
         },
         10, WorkerOutcome::End::Crashed, "the importer quit (exit code 5) reading in.ply"},
        {"crash while reading",
         []() -> int {
             SetWorkerPhase(WorkerPhase::Reading);
             CrashWith(SIGSEGV);
         },
         10, WorkerOutcome::End::Crashed, "the importer crashed (SIGSEGV) reading in.ply"},
        {"abort while writing",
         []() -> int {
             SetWorkerPhase(WorkerPhase::Exporting);
             CrashWith(SIGABRT);
         },
         10, WorkerOutcome::End::Crashed, "the plug-in crashed (SIGABRT) writing out.wux from in.ply"},
        {"hang while reading",
         []() -> int {
             SetWorkerPhase(WorkerPhase::Reading);
             HangUntilStopped();
         },
         0.3, WorkerOutcome::End::TimedOut, "the importer took longer than 0.3 s reading in.ply; it was stopped"},
        {"hang at the end",
         []() -> int {
             SetWorkerPhase(WorkerPhase::Finishing);
             HangUntilStopped();
         },
         0.3, WorkerOutcome::End::TimedOut,
         "the export of in.ply to out.wux took longer than 0.3 s; it was stopped"},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerLimits limits;
        limits.timeoutSeconds = c.timeout;
        const WorkerOutcome outcome = RunOne(c.body, c.timeout);
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_GT(outcome.pid, 0);
        EXPECT_EQ(DescribeWorkerEnd(outcome, limits, "in.ply", "out.wux"), c.message);
    }
}

TEST(WorkerProcess, CapturedOutputsAreTheJobsOwnApart) {
    const WorkerOutcome outcome = RunOne([] {
        std::cout << "to standard output\n";
        std::cerr << "wux export: in.ply: broken\n";
        return 1;
    });
    EXPECT_EQ(outcome.end, WorkerOutcome::End::Exited);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.outputText, "to standard output\n");
    EXPECT_EQ(outcome.errorText, "wux export: in.ply: broken\n");
}

TEST(WorkerProcess, JobsRunAtMostParallelAtOnceAndEachIsReportedOnce) {
    // Each child holds a marker file for a while; the parent counts markers at every end.
    const fs::path dir = fs::temp_directory_path() / ("wux_workers_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::map<std::size_t, int> reported;
    std::size_t most = 0;
    WorkerRun run;
    run.jobCount = 7;
    run.parallel = 3;
    run.body = [&](std::size_t job) {
        const fs::path marker = dir / std::to_string(job);
        std::ofstream(marker).put('x');
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fs::remove(marker);
        return static_cast<int>(job);
    };
    run.done = [&](std::size_t job, const WorkerOutcome& outcome) {
        ++reported[job];
        EXPECT_EQ(outcome.exitCode, static_cast<int>(job));
        std::size_t live = 0;
        for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it) ++live;
        most = std::max(most, live + 1);
    };
    EXPECT_EQ(RunWorkers(run), 0);
    EXPECT_EQ(reported.size(), 7u);
    for (const auto& [job, count] : reported) EXPECT_EQ(count, 1) << job;
    EXPECT_LE(most, 3u);
    fs::remove_all(dir);
}

// A slot's worker runs job after job; after a failure, a crash or a timeout the next job gets
// a fresh worker. Each job's captured output is its own.
TEST(WorkerProcess, AWorkerRunsItsSlotsJobsUntilOneFails) {
    enum Does { Succeeds, Fails, Crashes, Hangs };
    const Does jobs[] = {Succeeds, Succeeds, Fails, Succeeds, Crashes, Succeeds, Hangs, Succeeds};
    const bool freshWorker[] = {true, false, false, true, false, true, false, true};
    std::vector<WorkerOutcome> outcomes(std::size(jobs));
    WorkerRun run;
    run.jobCount = std::size(jobs);
    run.limits.timeoutSeconds = 0.3;
    run.captureOutput = true;
    run.body = [&](std::size_t job) -> int {
        std::cout << "result " << job;
        std::cerr << "job " << job << "\n";
        if (jobs[job] == Crashes) CrashWith(SIGSEGV);
        if (jobs[job] == Hangs) HangUntilStopped();
        return jobs[job] == Fails ? 3 : 0;
    };
    run.done = [&](std::size_t job, const WorkerOutcome& outcome) { outcomes[job] = outcome; };
    EXPECT_EQ(RunWorkers(run), 0);
    const WorkerOutcome::End ends[] = {WorkerOutcome::End::Exited, WorkerOutcome::End::Crashed,
                                       WorkerOutcome::End::TimedOut};
    for (std::size_t job = 0; job < std::size(jobs); ++job) {
        SCOPED_TRACE(job);
        EXPECT_EQ(outcomes[job].end, ends[jobs[job] == Crashes ? 1 : jobs[job] == Hangs ? 2 : 0]);
        EXPECT_EQ(outcomes[job].exitCode, jobs[job] == Fails ? 3 : 0);
        const bool answered = jobs[job] == Succeeds || jobs[job] == Fails;
        EXPECT_EQ(outcomes[job].outputText, answered ? "result " + std::to_string(job) : "");
        EXPECT_EQ(outcomes[job].errorText, answered ? "job " + std::to_string(job) + "\n" : "");
        if (job > 0) {
            EXPECT_EQ(outcomes[job].pid != outcomes[job - 1].pid, freshWorker[job]);
        }
    }
}

TEST(WorkerProcess, MemoryCapTurnsARunawayAllocationIntoOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under an address-space cap";
#endif
    const WorkerOutcome outcome = RunOne(
        [] {
            std::vector<char> big(std::size_t(8) << 30);  // 8 GiB under a 512 MiB cap
            return big.empty() ? 2 : 0;
        },
        10, true, std::uint64_t(512) << 20);
    EXPECT_EQ(outcome.end, WorkerOutcome::End::Exited);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.errorText, "wux: out of memory\n");
}

TEST(WorkerProcess, InterruptionIsPassedToTheWorkersAndReported) {
    std::vector<WorkerOutcome::End> ends;
    WorkerRun run;
    run.jobCount = 4;
    run.parallel = 2;
    run.body = [](std::size_t) -> int { HangUntilStopped(); };
    run.done = [&](std::size_t, const WorkerOutcome& outcome) { ends.push_back(outcome.end); };
    run.tick = [](std::size_t, double) { raise(SIGTERM); };
    EXPECT_EQ(RunWorkers(run), SIGTERM);
    // The two running jobs were stopped; the two never started are not reported.
    EXPECT_EQ(ends, (std::vector<WorkerOutcome::End>{WorkerOutcome::End::Interrupted, WorkerOutcome::End::Interrupted}));
}

TEST(WorkerProcess, LeftoversOfADeadWorkerAreItsTemporaryFilesOnly) {
    const fs::path dir = fs::temp_directory_path() / ("wux_leftovers_" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const char* name : {".wux-4242-0123456789ab.tmp", ".wux-4242-ba9876543210.tmp", ".wux-42-0123456789ab.tmp",
                             "out.wux", "notes.wux-4242.txt"})
        std::ofstream(dir / name).put('x');
    RemoveWorkerLeftovers(4242, {dir.string()});
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{".wux-42-0123456789ab.tmp", "out.wux", "notes.wux-4242.txt"}));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace wux
