#include "cli/worker_process.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>
#include <system_error>

#include "format/tool_text.h"
#include "writer/temporary_name.h"

namespace wux {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCapWorks = false;  // the sanitizer reserves terabytes of shadow memory
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceCapWorks = false;
#else
constexpr bool kAddressSpaceCapWorks = true;
#endif
#else
constexpr bool kAddressSpaceCapWorks = true;
#endif

// The most of a job's standard output and error handed to the parent; the rest is dropped.
constexpr std::size_t kMaxText = 1 << 20;
// How long interrupted workers get to remove their temporary files before they are killed.
constexpr auto kInterruptGrace = std::chrono::seconds(5);
constexpr int kTickMilliseconds = 200;

// Shared with the parent: the child's current phase.
std::atomic<int>* workerPhase = nullptr;

volatile sig_atomic_t interruptSignal = 0;

extern "C" void OnWorkerInterrupt(int signal) { interruptSignal = signal; }

// One job slot: its worker, which takes the slot's jobs one after another, and the job it runs.
struct Slot {
    pid_t pid = 0;
    int control = -1;  // job numbers go out, answers come back; EOF once the worker is gone; -1: no worker
    bool busy = false;
    std::size_t job = 0;
    Clock::time_point start;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// All of size bytes sent (send true) or received over a worker's socket; false when the other
// end is gone (no SIGPIPE).
bool Transfer(int fd, void* data, std::size_t size, bool send = false) {
    for (char* at = static_cast<char*>(data); size != 0;) {
        const ssize_t done = send ? ::send(fd, at, size, MSG_NOSIGNAL) : recv(fd, at, size, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        at += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// A job's answer, sent by the worker (send true) or received by the parent in the same layout:
// its exit code, then what it printed to standard output and error, each as a size and the bytes.
bool TransferAnswer(int fd, std::int32_t* code, std::string texts[2], bool send) {
    bool done = Transfer(fd, code, sizeof *code, send);
    for (int i = 0; i < 2 && done; ++i) {
        std::uint64_t size = texts[i].size();
        done = Transfer(fd, &size, sizeof size, send) && size <= kMaxText &&
               (texts[i].resize(size), Transfer(fd, texts[i].data(), size, send));
    }
    return done;
}

// The worker: runs the jobs its parent sends until the parent has no more. A failed job may
// leave state behind (a half-built export, a heap full of holes), so its worker ends after
// it and the slot's next job gets a fresh one.
[[noreturn]] void ServeJobs(const WorkerRun& run, int control, std::atomic<int>* phase, pid_t parent) {
    // The parent passes SIGINT and SIGTERM on; the worker acts on both, even when the command
    // was started with SIGINT ignored (a background job of a script, a supervisor): the
    // export's handlers then remove its temporary files (writer/export_interrupt.h).
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    // A worker outlives no parent: killed outright, the command could no longer stop it
    // (--timeout) nor answer for what it writes. The parent may have died before the request.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    workerPhase = phase;
    if (run.captureOutput) {
        const int devNull = open("/dev/null", O_WRONLY);
        for (const int fd : {STDOUT_FILENO, STDERR_FILENO})
            if (devNull >= 0) dup2(devNull, fd);
    }
    LimitAddressSpace(run.limits.memoryBytes);
    for (std::uint64_t job = 0; Transfer(control, &job, sizeof job);) {
        SetWorkerPhase(WorkerPhase::Starting);
        std::ostringstream texts[2];
        std::ostream* const streams[2] = {&std::cout, &std::cerr};
        std::streambuf* standard[2];
        for (int i = 0; i < 2; ++i)
            standard[i] = run.captureOutput ? streams[i]->rdbuf(texts[i].rdbuf()) : streams[i]->rdbuf();
        std::int32_t code = 1;
        try {
            code = run.body(static_cast<std::size_t>(job));
        } catch (const std::bad_alloc&) {
            std::cerr << "wux: out of memory\n";
        } catch (const std::exception& e) {
            std::cerr << "wux: " << e.what() << "\n";
        }
        for (int i = 0; i < 2; ++i) streams[i]->rdbuf(standard[i]);
        std::string answer[2] = {texts[0].str().substr(0, kMaxText), texts[1].str().substr(0, kMaxText)};
        if (!TransferAnswer(control, &code, answer, true) || code != 0) _exit(code);
#ifdef __GLIBC__
        malloc_trim(0);  // what the job freed goes back: the memory cap holds the next job as a fresh worker
#endif
    }
    _exit(0);
}

// While it lives, SIGINT and SIGTERM are noted for the run instead of ending the command.
class WorkerSet {
public:
    explicit WorkerSet(const WorkerRun& run) : run_(run), slots_(run.parallel == 0 ? 1 : run.parallel) {
        interruptSignal = 0;
        void* shared = mmap(nullptr, sizeof(std::atomic<int>) * slots_.size(), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared != MAP_FAILED) {
            phases_ = static_cast<std::atomic<int>*>(shared);
            for (std::size_t i = 0; i < slots_.size(); ++i) new (&phases_[i]) std::atomic<int>(0);
        }
    }
    ~WorkerSet() {
        signal(SIGINT, oldInt_);
        signal(SIGTERM, oldTerm_);
        for (Slot& slot : slots_) Reap(slot);
        if (phases_ != nullptr) munmap(phases_, sizeof(std::atomic<int>) * slots_.size());
    }
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;

    int Run() {
        std::size_t next = 0;
        for (;;) {
            if (interruptSignal != 0) return StopAll(interruptSignal);
            for (std::size_t i = 0; i < slots_.size() && next < run_.jobCount; ++i)
                if (!slots_[i].busy) Start(i, next++);
            if (next == run_.jobCount && std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.busy; }))
                return interruptSignal;
            Wait();
            const Slot* oldest = nullptr;
            for (const Slot& slot : slots_)
                if (slot.busy && (oldest == nullptr || slot.start < oldest->start)) oldest = &slot;
            if (run_.tick) run_.tick(oldest ? oldest->job : 0, oldest ? SecondsSince(oldest->start) : 0);
        }
    }

private:
    // A new worker for slot i; the reason when none can be made.
    std::string Fork(std::size_t i) {
        Slot& slot = slots_[i];
        if (phases_ == nullptr) return "cannot map memory shared with it";
        int control[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control) != 0) return std::strerror(errno);
        // Output still buffered would be written twice, once by each process.
        std::cout.flush();
        std::cerr.flush();
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid == 0) {
            // The other workers' ends stay with the parent: a worker must not keep another's open.
            for (const Slot& other : slots_)
                if (other.control >= 0) close(other.control);
            close(control[0]);
            ServeJobs(run_, control[1], &phases_[i], parent);
        }
        const std::string why = pid < 0 ? std::strerror(errno) : "";
        close(control[1]);
        if (pid < 0) close(control[0]);
        slot.pid = pid;
        slot.control = pid < 0 ? -1 : control[0];
        return why;
    }

    void Start(std::size_t i, std::size_t job) {
        Slot& slot = slots_[i];
        std::string why = slot.control < 0 ? Fork(i) : "";
        std::uint64_t number = job;
        if (why.empty() && Transfer(slot.control, &number, sizeof number, true)) {
            slot.busy = true;
            slot.job = job;
            slot.start = Clock::now();
            return;
        }
        if (why.empty()) {
            why = std::strerror(errno);  // the worker is gone
            Reap(slot);
        }
        WorkerOutcome failed;  // NotStarted
        failed.startError = why;
        if (run_.done) run_.done(job, failed);
    }

    // Waits until some worker answers or ends, a deadline passes or the next tick is due.
    void Wait() {
        int timeout = kTickMilliseconds;
        std::vector<pollfd> fds;
        for (const Slot& slot : slots_) {
            if (slot.control >= 0) fds.push_back(pollfd{slot.control, POLLIN, 0});
            if (slot.busy && run_.limits.timeoutSeconds > 0) {
                // In doubles: a timeout of years must not overflow the clock's integer ticks.
                const double left = run_.limits.timeoutSeconds - SecondsSince(slot.start);
                timeout = static_cast<int>(std::min<double>(timeout, std::max(0.0, std::ceil(left * 1000.0))));
            }
        }
        if (poll(fds.data(), fds.size(), timeout) <= 0) fds.clear();
        for (const pollfd& p : fds)
            for (Slot& slot : slots_)
                if (p.revents != 0 && p.fd == slot.control) Answer(slot);
        for (Slot& slot : slots_) {
            if (slot.busy && run_.limits.timeoutSeconds > 0 && SecondsSince(slot.start) >= run_.limits.timeoutSeconds) {
                kill(slot.pid, SIGKILL);
                Finish(slot, Reap(slot), WorkerOutcome::End::TimedOut);
            }
        }
    }

    // The worker's answer for its job, or its end.
    void Answer(Slot& slot) {
        if (!slot.busy) {
            Reap(slot);  // an idle worker ended (killed): no job lost
            return;
        }
        std::int32_t code = 0;
        std::string texts[2];
        // Ended in the middle of its job, its files not cleaned up: a crash, whatever its status.
        if (!TransferAnswer(slot.control, &code, texts, false)) return Finish(slot, Reap(slot), WorkerOutcome::End::Crashed);
        if (code != 0) Reap(slot);  // it ends after a failure
        Finish(slot, W_EXITCODE(code, 0), WorkerOutcome::End::Exited, std::move(texts[0]), std::move(texts[1]));
    }

    // Closes the worker's socket (an idle worker then ends by itself) and waits for it, killing it
    // once killAt has passed; its status.
    int Reap(Slot& slot, Clock::time_point killAt = Clock::time_point::max()) {
        int status = 0;
        if (slot.control < 0) return status;
        close(slot.control);
        slot.control = -1;
        while (waitpid(slot.pid, &status, WNOHANG) == 0) {
            if (Clock::now() >= killAt) kill(slot.pid, SIGKILL);
            usleep(1000);
        }
        return status;
    }

    void Finish(Slot& slot, int status, WorkerOutcome::End end, std::string output = "", std::string error = "") {
        WorkerOutcome outcome;
        outcome.end = end;
        outcome.pid = slot.pid;
        outcome.seconds = SecondsSince(slot.start);
        outcome.phase = static_cast<WorkerPhase>(phases_[&slot - slots_.data()].load());
        outcome.outputText = std::move(output);
        outcome.errorText = std::move(error);
        if (end == WorkerOutcome::End::Crashed && WIFSIGNALED(status)) {
            outcome.signal = WTERMSIG(status);
            // A Ctrl-C reaches the whole process group: the worker may die of it first.
            if (interruptSignal != 0 && outcome.signal == interruptSignal) outcome.end = WorkerOutcome::End::Interrupted;
        } else if (end == WorkerOutcome::End::Exited || end == WorkerOutcome::End::Crashed) {
            outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
            // The export's interrupt handler exits so once it has removed its files.
            if (outcome.exitCode == 128 + SIGINT || outcome.exitCode == 128 + SIGTERM)
                outcome.end = WorkerOutcome::End::Exited;
        }
        slot.busy = false;
        if (run_.done) run_.done(slot.job, outcome);
    }

    int StopAll(int signal) {
        for (const Slot& slot : slots_)
            if (slot.control >= 0) kill(slot.pid, signal);
        const Clock::time_point until = Clock::now() + kInterruptGrace;
        for (Slot& slot : slots_) {
            const int status = Reap(slot, until);
            if (slot.busy) Finish(slot, status, WorkerOutcome::End::Interrupted);
        }
        return signal;
    }

    const WorkerRun& run_;
    std::vector<Slot> slots_;
    std::atomic<int>* phases_ = nullptr;
    // poll() returns on a signal whatever the handler's flags.
    sighandler_t oldInt_ = signal(SIGINT, OnWorkerInterrupt);
    sighandler_t oldTerm_ = signal(SIGTERM, OnWorkerInterrupt);
};

}  // namespace

void SetWorkerPhase(WorkerPhase phase) {
    if (workerPhase != nullptr) workerPhase->store(static_cast<int>(phase));
}

std::uint64_t DefaultWorkerMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

void LimitAddressSpace(std::uint64_t bytes) {
    if (bytes == 0 || !kAddressSpaceCapWorks) return;
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_AS, &limit);
}

int RunWorkers(const WorkerRun& run) { return WorkerSet(run).Run(); }

void RemoveWorkerLeftovers(pid_t pid, const std::vector<std::string>& folders) {
    // The export's temporary files carry its process id in their names (writer/temporary_name.h).
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
            unsigned long owner = 0;
            std::error_code fileEc;
            if (ParseTemporaryFileName(it->path().filename().string(), &owner) &&
                owner == static_cast<unsigned long>(pid) && it->is_regular_file(fileEc))
                fs::remove(it->path(), fileEc);
        }
    }
}

std::string SignalName(int signal) {
    const char* name = sigabbrev_np(signal);
    return name != nullptr ? std::string("SIG") + name : "signal " + std::to_string(signal);
}

std::string DescribeWorkerEnd(const WorkerOutcome& outcome, const WorkerLimits& limits, const std::string& inputPath,
                              const std::string& outputPath, const std::string& reportPath) {
    std::vector<std::string> folders{FolderOf(outputPath)};
    if (!reportPath.empty() && reportPath != "-") folders.push_back(FolderOf(reportPath));
    RemoveWorkerLeftovers(outcome.pid, folders);
    const std::string input = QuotedPath(inputPath), output = QuotedPath(outputPath);
    const bool reading = outcome.phase == WorkerPhase::Reading || outcome.phase == WorkerPhase::Starting;
    const bool writing = outcome.phase == WorkerPhase::Exporting;
    switch (outcome.end) {
        case WorkerOutcome::End::Crashed: {
            const int sig = outcome.signal;
            const std::string how =
                sig == 0 ? "quit (exit code " + std::to_string(outcome.exitCode) + ")"
                : sig == SIGKILL                 ? "was killed (SIGKILL; the system may have run out of memory)"
                : sig == SIGTERM || sig == SIGINT ? "was stopped (" + SignalName(sig) + ")"
                                                  : "crashed (" + SignalName(sig) + ")";
            if (reading) return "the importer " + how + " reading " + input;
            if (writing) return "the plug-in " + how + " writing " + output + " from " + input;
            return "the export of " + input + " to " + output + " " + how;
        }
        case WorkerOutcome::End::TimedOut: {
            std::ostringstream limit;
            limit << limits.timeoutSeconds << " s";
            if (reading) return "the importer took longer than " + limit.str() + " reading " + input + "; it was stopped";
            return "the export of " + input + " to " + output + " took longer than " + limit.str() + "; it was stopped";
        }
        case WorkerOutcome::End::Interrupted: return "the export of " + input + " was interrupted";
        case WorkerOutcome::End::NotStarted:
            return "cannot start a worker process for " + input + ": " + outcome.startError;
        case WorkerOutcome::End::Exited: break;
    }
    return "the export of " + input + " failed (exit code " + std::to_string(outcome.exitCode) + ")";
}

}  // namespace wux
