#pragma once

#include "host/max_sdk.h"

// The four functions the host looks up after loading the library (by name, or by
// the ordinals 1 to 4 in this order on Windows). They throw nothing.
extern "C" {
const TCHAR* LibDescription() noexcept;
int LibNumberClasses() noexcept;
ClassDesc* LibClassDesc(int i) noexcept;
ULONG LibVersion() noexcept;
}

// LibVersion's word: SDK release 8000, interface 17, revision 0.
constexpr ULONG kLibraryVersion = (8000UL << 16) + (17UL << 8) + 0UL;
static_assert(kLibraryVersion == 0x1F401100UL, "host SDK version word");
