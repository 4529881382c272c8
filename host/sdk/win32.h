// The Win32 names the plug-in uses. On Windows they come from the system headers; elsewhere
// they are declared here and implemented by the stand-in host (host/standin/win32_standin.cpp).
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable next to <windows.h>
#endif
#include <windows.h>
#include <commctrl.h>

#else

#include <cstdint>

typedef int BOOL;
typedef uint32_t DWORD;  // 32 bits, as on Windows
typedef unsigned long ULONG;
typedef unsigned long ULONG_PTR;  // pointer-sized, as on Windows
typedef unsigned int UINT;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef char TCHAR;  // narrow build
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define MB_OK 0x00000000L
#define IDOK 1
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

extern "C" {
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
HWND WINAPI GetActiveWindow(void);
void WINAPI InitCommonControls(void);
}

#endif
