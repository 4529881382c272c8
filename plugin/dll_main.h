#pragma once

#include "host/max_sdk.h"

// The library's entry point. Stores the module handle on every call; the first call
// initialises the host's custom controls and the Windows common controls. The
// reason is not looked at: the first notification is the process attach.
extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

// The library's own module handle, stored by every DllMain call.
extern HINSTANCE hInstance;
// Set by the first DllMain call, which initialises the control libraries.
extern bool controlsInitialized;
