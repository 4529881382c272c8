// The last line against running out of memory: an allocation that fails where no handler
// can catch it (while the stack unwinds, in a destructor or a noexcept function) would end
// the tool in std::terminate and an abort. With this installed it ends with "out of memory"
// and exit 1 instead, like every other allocation failure.
#pragma once

namespace wux {

void ExitOnUncaughtOutOfMemory();

}  // namespace wux
