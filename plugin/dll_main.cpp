#include "plugin/model_exporter.h"

HINSTANCE hInstance = nullptr;
bool controlsInitialized = false;

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
