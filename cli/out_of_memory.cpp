#include "cli/out_of_memory.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <new>

#include "cli/exit_codes.h"

namespace wux {
namespace {

std::terminate_handler previousHandler = nullptr;

[[noreturn]] void OnTerminate() {
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            // No allocation here: write(2) straight to the descriptor.
            static const char message[] = "wux: out of memory\n";
            const ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
            (void)ignored;
            _exit(kExitFailed);
        } catch (...) {
        }
    }
    if (previousHandler != nullptr) previousHandler();
    std::abort();
}

}  // namespace

void ExitOnUncaughtOutOfMemory() { previousHandler = std::set_terminate(OnTerminate); }

}  // namespace wux
