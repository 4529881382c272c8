#include "writer/export_interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "writer/temporary_name.h"

namespace wux {
namespace {

constexpr int kMaxFolders = 16;
constexpr time_t kStaleSeconds = 60;
int folderFds[kMaxFolders];
volatile sig_atomic_t folderCount = 0;
const char* volatile notes[2] = {nullptr, nullptr};  // SIGINT's, SIGTERM's

// Offers every temporary file of the folder fd holds to remove(fd, name, owner), owner being
// the process id in its name. Safe in a signal handler: getdents64 and unlinkat are plain system
// calls, and the names are read without allocating.
template <typename Remove>
void SweepFolder(int fd, Remove remove) {
    alignas(8) char buffer[4096];
    // Removing entries while reading may make the listing skip some: read again
    // until a pass removes nothing.
    bool removed = true;
    for (int pass = 0; pass < 8 && removed && lseek(fd, 0, SEEK_SET) == 0; ++pass) {
        removed = false;
        long got = 0;
        while ((got = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < got;) {
                // struct linux_dirent64: inode u64, offset s64, record length u16, type u8, name.
                std::uint16_t recordLength;
                std::memcpy(&recordLength, buffer + at + 16, sizeof recordLength);
                const char* name = buffer + at + 19;
                unsigned long owner = 0;
                if (ParseTemporaryFileName(name, &owner) && remove(fd, name, owner)) removed = true;
                if (recordLength == 0) break;
                at += recordLength;
            }
        }
    }
}

extern "C" void OnExportInterrupt(int signal) {
    const int count = folderCount;
    const unsigned long self = static_cast<unsigned long>(getpid());
    for (int i = 0; i < count; ++i)
        SweepFolder(folderFds[i], [self](int folder, const char* name, unsigned long owner) {
            return owner == self && unlinkat(folder, name, 0) == 0;
        });
    if (const char* note = notes[signal == SIGINT ? 0 : 1]) {
        const ssize_t ignored = write(STDERR_FILENO, note, std::strlen(note));
        (void)ignored;
    }
    _exit(128 + signal);
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnExportInterrupt;
    sigfillset(&action.sa_mask);  // one handler at a time
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous;
        // A signal the caller chose to ignore stays ignored (nohup, a shell's background job).
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

// A file whose writer lives holds its lock (writer/output_target.h) while it is written; a
// process id alone proves nothing, as the writer may live in another PID namespace or on
// another machine sharing the folder. Stale: no one holds the lock, no process of this
// namespace has the id, and no one wrote to it for a while (the lock is let go just before the
// file takes its name).
bool RemoveIfStale(int folder, const char* name, unsigned long pid) {
    // EPERM: another user's; 0 would name our process group.
    if (pid == 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return false;
    const int fd = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    const bool stale = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       time(nullptr) - info.st_mtime >= kStaleSeconds;
    // Removed while the lock is held: a new writer waits for it.
    const bool removed = stale && unlinkat(folder, name, 0) == 0;
    close(fd);
    return removed;
}

}  // namespace

int SweepOnInterrupt(const std::string& folder) {
    InstallHandlers();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder already held (under this name or another) is held once.
    struct stat added, other;
    const bool known = fd >= 0 && fstat(fd, &added) == 0;
    int held = -1;
    for (int i = 0; known && i < folderCount && held < 0; ++i)
        if (fstat(folderFds[i], &other) == 0 && other.st_dev == added.st_dev && other.st_ino == added.st_ino)
            held = folderFds[i];
    if (!known || held >= 0 || folderCount == kMaxFolders) {
        if (fd >= 0) close(fd);
        return held;
    }
    folderFds[folderCount] = fd;  // stored before it is counted: the handler reads only counted ones
    folderCount = folderCount + 1;
    SweepFolder(fd, RemoveIfStale);
    return fd;
}

void NoteOnInterrupt(const char* onInterrupt, const char* onTerminate) {
    notes[0] = onInterrupt;
    notes[1] = onTerminate;
}

}  // namespace wux
