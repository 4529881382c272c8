// The Win32 functions of the stand-in host (Linux only; Windows has its own) and the host's
// InitCustomControls (both platforms).
#include <cstdio>

#include "host/sdk/plugin_api.h"
#include "host/standin/win32_log.h"

namespace {

std::vector<StandinMessageBoxCall>& Calls() {
    static std::vector<StandinMessageBoxCall> calls;
    return calls;
}

bool echo = true;
int commonControlsCalls = 0;
int customControlsCalls = 0;

}  // namespace

const std::vector<StandinMessageBoxCall>& StandinMessageBoxCalls() { return Calls(); }
void StandinClearMessageBoxCalls() { Calls().clear(); }
void StandinSetMessageBoxEcho(bool on) { echo = on; }
int StandinInitCommonControlsCalls() { return commonControlsCalls; }
int StandinInitCustomControlsCalls() { return customControlsCalls; }

void InitCustomControls(HINSTANCE) { ++customControlsCalls; }

#ifndef _WIN32

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    const std::string text = lpText ? lpText : "";
    const std::string caption = lpCaption ? lpCaption : "";
    Calls().push_back(StandinMessageBoxCall{hWnd, text, caption, uType});
    if (echo) {
        std::fprintf(stderr, "[%s] %s\n", StandinCp1251ToUtf8(caption).c_str(),
                     StandinCp1251ToUtf8(text).c_str());
    }
    return IDOK;
}

extern "C" HWND WINAPI GetActiveWindow(void) { return nullptr; }

extern "C" void WINAPI InitCommonControls(void) { ++commonControlsCalls; }

#endif
