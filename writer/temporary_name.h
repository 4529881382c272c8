#pragma once

#include <string>
#include <string_view>

// Names of the temporary files an export writes before moving them into place:
// ".wux-<process id>-<12 hex digits>.tmp". They are short whatever the target's
// name (a name near the file system's limit still gets one), hidden, and carry
// the process id so that a later run can tell a stale one (its process gone)
// from one still being written.

// A fresh name; attempt varies it after a clash, up to kCreateAttempts names in all.
std::string TemporaryFileName(unsigned attempt);
constexpr unsigned kCreateAttempts = 64;

// True when name has the form above; *pid receives its process id. Allocates nothing, so that
// a signal handler may call it.
bool ParseTemporaryFileName(std::string_view name, unsigned long* pid);

// path's folder, where its temporary file goes: with its trailing separator, "" for a bare name.
std::string TargetFolderOf(const std::string& path);
