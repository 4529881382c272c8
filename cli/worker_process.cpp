#include "cli/worker_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdlib>
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

// The most of a worker's standard error kept for its report; the rest is read and dropped.
constexpr std::size_t kMaxErrorText = 64 * 1024;
// How long interrupted workers get to remove their temporary files before they are killed.
constexpr auto kInterruptGrace = std::chrono::seconds(5);
constexpr int kTickMilliseconds = 200;

// Shared with the parent: the child's current phase.
std::atomic<int>* workerPhase = nullptr;

volatile sig_atomic_t interruptSignal = 0;

extern "C" void OnWorkerInterrupt(int signal) { interruptSignal = signal; }

struct Running {
    std::size_t job = 0;
    std::size_t slot = 0;
    pid_t pid = 0;
    int fd = -1;  // read end of the child's pipe; EOF when the child is gone
    Clock::time_point start;
    std::string errorText;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string FormatSeconds(double seconds) {
    std::ostringstream os;
    os << seconds << " s";
    return os.str();
}

[[noreturn]] void RunChild(const WorkerRun& run, std::size_t job, int writeFd, std::atomic<int>* phase, pid_t parent) {
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
        if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
        dup2(writeFd, STDERR_FILENO);
    }
    if (run.limits.memoryBytes != 0 && kAddressSpaceCapWorks) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(run.limits.memoryBytes);
        setrlimit(RLIMIT_AS, &limit);
    }
    int code = 1;
    try {
        code = run.body(job);
    } catch (const std::bad_alloc&) {
        std::cerr << "wux: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "wux: " << e.what() << "\n";
    }
    std::cout.flush();
    std::cerr.flush();
    std::exit(code);
}

class SignalCatcher {
public:
    SignalCatcher() {
        interruptSignal = 0;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = OnWorkerInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~SignalCatcher() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

private:
    struct sigaction oldInt_;
    struct sigaction oldTerm_;
};

class WorkerSet {
public:
    explicit WorkerSet(const WorkerRun& run) : run_(run), parallel_(run.parallel == 0 ? 1 : run.parallel) {
        void* shared = mmap(nullptr, sizeof(std::atomic<int>) * parallel_, PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared != MAP_FAILED) {
            phases_ = static_cast<std::atomic<int>*>(shared);
            for (std::size_t i = 0; i < parallel_; ++i) new (&phases_[i]) std::atomic<int>(0);
        }
        slotFree_.assign(parallel_, true);
    }
    ~WorkerSet() {
        if (phases_ != nullptr) munmap(phases_, sizeof(std::atomic<int>) * parallel_);
    }
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;

    int Run() {
        const SignalCatcher signals;
        std::size_t next = 0;
        while (next < run_.jobCount || !running_.empty()) {
            if (interruptSignal != 0) return StopAll(interruptSignal);
            while (next < run_.jobCount && running_.size() < parallel_) Start(next++);
            Wait();
            if (run_.tick) run_.tick();
        }
        return interruptSignal;
    }

private:
    void Start(std::size_t job) {
        std::size_t slot = 0;
        while (!slotFree_[slot]) ++slot;
        int fds[2];
        WorkerOutcome failed;
        if (phases_ == nullptr) {
            failed.startError = "cannot map memory shared with it";
        } else if (pipe2(fds, O_CLOEXEC) != 0) {
            failed.startError = std::strerror(errno);
        } else {
            phases_[slot].store(static_cast<int>(WorkerPhase::Starting));
            // Output still buffered would be written twice, once by each process.
            std::cout.flush();
            std::cerr.flush();
            const pid_t parent = getpid();
            const pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                RunChild(run_, job, fds[1], &phases_[slot], parent);
            }
            close(fds[1]);
            if (pid > 0) {
                slotFree_[slot] = false;
                running_.push_back(Running{job, slot, pid, fds[0], Clock::now(), {}});
                if (run_.started) run_.started(job);
                return;
            }
            failed.startError = std::strerror(errno);
            close(fds[0]);
        }
        failed.end = WorkerOutcome::End::NotStarted;
        if (run_.done) run_.done(job, failed);
    }

    // Waits until some child ends, a deadline passes or the next tick is due.
    void Wait() {
        const Clock::time_point now = Clock::now();
        int timeout = kTickMilliseconds;
        std::vector<pollfd> fds;
        for (const Running& r : running_) {
            if (r.fd >= 0) {
                fds.push_back(pollfd{r.fd, POLLIN, 0});
            } else {
                timeout = std::min(timeout, 10);  // closed its pipe but not yet reaped
            }
            if (run_.limits.timeoutSeconds > 0) {
                // In doubles: a timeout of years must not overflow the clock's integer ticks.
                const double left = run_.limits.timeoutSeconds - std::chrono::duration<double>(now - r.start).count();
                timeout = static_cast<int>(std::min<double>(timeout, std::max(0.0, std::ceil(left * 1000.0))));
            }
        }
        if (poll(fds.data(), fds.size(), timeout) > 0) {
            for (const pollfd& p : fds) {
                if (p.revents == 0) continue;
                for (Running& r : running_)
                    if (r.fd == p.fd) Drain(&r);
            }
        }
        for (std::size_t i = 0; i < running_.size();) {
            if (Reap(running_[i])) {
                running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    void Drain(Running* r) {
        char buffer[4096];
        const ssize_t n = read(r->fd, buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t room = kMaxErrorText - std::min(kMaxErrorText, r->errorText.size());
            r->errorText.append(buffer, std::min(room, static_cast<std::size_t>(n)));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            close(r->fd);
            r->fd = -1;
        }
    }

    // True when the child has ended (and was reported).
    bool Reap(Running& r) {
        int status = 0;
        const pid_t got = waitpid(r.pid, &status, WNOHANG);
        if (got == r.pid) {
            Finish(r, status, WorkerOutcome::End::Exited);
            return true;
        }
        if (run_.limits.timeoutSeconds > 0 && SecondsSince(r.start) >= run_.limits.timeoutSeconds) {
            kill(r.pid, SIGKILL);
            while (waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {
            }
            Finish(r, status, WorkerOutcome::End::TimedOut);
            return true;
        }
        return false;
    }

    void Finish(Running& r, int status, WorkerOutcome::End end) {
        while (r.fd >= 0) Drain(&r);  // what the child wrote last
        WorkerOutcome outcome;
        outcome.pid = r.pid;
        outcome.seconds = SecondsSince(r.start);
        outcome.phase = static_cast<WorkerPhase>(phases_[r.slot].load());
        outcome.errorText = std::move(r.errorText);
        if (end == WorkerOutcome::End::Exited && WIFSIGNALED(status)) {
            outcome.signal = WTERMSIG(status);
            // A Ctrl-C reaches the whole process group: the worker may die of it first.
            const bool interrupted = interruptSignal != 0 && outcome.signal == interruptSignal;
            end = interrupted ? WorkerOutcome::End::Interrupted : WorkerOutcome::End::Crashed;
        } else if (end == WorkerOutcome::End::Exited) {
            outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        }
        outcome.end = end;
        slotFree_[r.slot] = true;
        if (run_.done) run_.done(r.job, outcome);
    }

    int StopAll(int signal) {
        for (const Running& r : running_) kill(r.pid, signal);
        const Clock::time_point until = Clock::now() + kInterruptGrace;
        while (!running_.empty()) {
            const bool late = Clock::now() >= until;
            for (std::size_t i = 0; i < running_.size();) {
                Running& r = running_[i];
                if (late) kill(r.pid, SIGKILL);
                int status = 0;
                const pid_t got = waitpid(r.pid, &status, late ? 0 : WNOHANG);
                if (got == r.pid) {
                    Finish(r, status, WorkerOutcome::End::Interrupted);
                    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
                } else {
                    ++i;
                }
            }
            if (!running_.empty() && !late) usleep(10 * 1000);
        }
        return signal;
    }

    const WorkerRun& run_;
    std::size_t parallel_;
    std::atomic<int>* phases_ = nullptr;
    std::vector<bool> slotFree_;
    std::vector<Running> running_;
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

int RunWorkers(const WorkerRun& run) {
    WorkerSet set(run);
    return set.Run();
}

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
    switch (signal) {
        case SIGSEGV: return "SIGSEGV";
        case SIGABRT: return "SIGABRT";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGKILL: return "SIGKILL";
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGTRAP: return "SIGTRAP";
        case SIGSYS: return "SIGSYS";
        case SIGPIPE: return "SIGPIPE";
        case SIGXCPU: return "SIGXCPU";
        case SIGXFSZ: return "SIGXFSZ";
        default: return "signal " + std::to_string(signal);
    }
}

std::string DescribeWorkerEnd(const WorkerOutcome& outcome, const WorkerLimits& limits, const std::string& inputPath,
                              const std::string& outputPath) {
    const std::string input = QuotedPath(inputPath), output = QuotedPath(outputPath);
    const bool reading = outcome.phase == WorkerPhase::Reading || outcome.phase == WorkerPhase::Starting;
    const bool writing = outcome.phase == WorkerPhase::Exporting;
    switch (outcome.end) {
        case WorkerOutcome::End::Crashed: {
            const int sig = outcome.signal;
            const std::string how =
                sig == SIGKILL                   ? "was killed (SIGKILL; the system may have run out of memory)"
                : sig == SIGTERM || sig == SIGINT ? "was stopped (" + SignalName(sig) + ")"
                                                  : "crashed (" + SignalName(sig) + ")";
            if (reading) return "the importer " + how + " reading " + input;
            if (writing) return "the plug-in " + how + " writing " + output + " from " + input;
            return "the export of " + input + " to " + output + " " + how;
        }
        case WorkerOutcome::End::TimedOut: {
            const std::string limit = FormatSeconds(limits.timeoutSeconds);
            if (reading) return "the importer took longer than " + limit + " reading " + input + "; it was stopped";
            return "the export of " + input + " to " + output + " took longer than " + limit + "; it was stopped";
        }
        case WorkerOutcome::End::Interrupted: return "the export of " + input + " was interrupted";
        case WorkerOutcome::End::NotStarted:
            return "cannot start a worker process for " + input + ": " + outcome.startError;
        case WorkerOutcome::End::Exited: break;
    }
    return "the export of " + input + " failed (exit code " + std::to_string(outcome.exitCode) + ")";
}

}  // namespace wux
