#include "plugin/dll_main.h"

#include "plugin/library_objects.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD /*fdwReason*/, LPVOID /*lpvReserved*/)
{
    hInstance = hinstDLL;
    if (!controlsInitialized) {
        controlsInitialized = true;
        InitCustomControls(hInstance);
        InitCommonControls();
    }
    return TRUE;
}
