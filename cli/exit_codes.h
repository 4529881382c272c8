// The exit codes of every wux command, and the one mapping from a failure's kind to its code.
// docs/wux-tool.md opens with this table; scripts rely on it, so a code never changes meaning.
#pragma once

#include "format/tool_error.h"

namespace wux {

enum ExitCode : int {
    kExitOk = 0,        // written; valid; equal
    kExitNo = 1,        // a negative answer: invalid, different, a batch with failed inputs
    kExitInput = 2,     // an input cannot be read (missing, not a regular file, not WUX, refused)
    kExitOutput = 3,    // an output cannot be written
    kExitFailed = 4,    // the work failed after the inputs were read
    kExitUsage = 64,    // the command line is wrong (as sysexits' EX_USAGE)
};

constexpr int ExitCodeOf(ToolError::Kind kind) {
    using Kind = ToolError::Kind;
    switch (kind) {
    case Kind::Input:
    case Kind::Truncated:
    case Kind::BadTag:
    case Kind::BadSize:
    case Kind::BadCount:
    case Kind::Syntax:
    case Kind::Schema:
    case Kind::Import:
    case Kind::Scene: return kExitInput;
    case Kind::Output: return kExitOutput;
    case Kind::PluginNotFound:
    case Kind::PluginLoadFailed:
    case Kind::PluginMissingEntry:
    case Kind::PluginMismatch:
    case Kind::PluginFailed:
    case Kind::Invalid:
    case Kind::Limit: return kExitFailed;
    case Kind::Argument: return kExitUsage;
    }
    return kExitFailed;
}

// A run ended by SIGINT (130) or SIGTERM (143), as the shell counts.
constexpr int ExitCodeOfSignal(int signal) { return 128 + signal; }

}  // namespace wux
