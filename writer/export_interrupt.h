// SIGINT and SIGTERM during an export, and what killed exports left behind. Every temporary
// file of an export is named by writer/temporary_name.h with the process id, in a folder
// registered here; on either signal the handler removes this process's temporary files from
// those folders (no allocation, no locks: only system calls that are safe in a handler) and
// ends the process with 130 or 143.
#pragma once

#include <signal.h>

#include <string>

namespace wux {

// Installs the handlers (once) and adds folder ("" for the current one) to those swept on a
// signal. The folder is held open, so a sweep still finds it after it was renamed; that
// descriptor is returned (-1 when the folder cannot be opened or too many are held), for the
// export's own clean-up to find it the same way. When the folder is added, the stale
// temporary files in it are removed (an export killed outright, a machine that went down
// mid-export): no process holds their lock, none here has their process id, and none was
// written to for a minute. Files of live writers and every other file stay.
int SweepOnInterrupt(const std::string& folder);

// What the handler writes to standard error on SIGINT and on SIGTERM before it ends the
// process (null: nothing). The texts must outlive the export.
void NoteOnInterrupt(const char* onInterrupt, const char* onTerminate);

// While alive, SIGINT and SIGTERM wait: the final moves of an export are not cut in half.
class InterruptHold {
public:
    InterruptHold() {
        sigset_t both;
        sigemptyset(&both);
        sigaddset(&both, SIGINT);
        sigaddset(&both, SIGTERM);
        sigprocmask(SIG_BLOCK, &both, &previous_);
    }
    ~InterruptHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
    sigset_t previous_;
};

}  // namespace wux
