// What the stand-in's Win32 and custom-control functions were asked to do, for tests to read.
// On Windows MessageBoxA is the system's, so no message boxes are recorded there.
#pragma once

#include <string>
#include <vector>

#include "host/sdk/win32.h"

struct StandinMessageBoxCall {
    HWND owner;
    std::string text;     // the bytes passed, unconverted (Windows-1251)
    std::string caption;  // likewise
    UINT type;
};

const std::vector<StandinMessageBoxCall>& StandinMessageBoxCalls();
void StandinClearMessageBoxCalls();
// When false, MessageBoxA records the call without writing it to standard error.
void StandinSetMessageBoxEcho(bool echo);
int StandinInitCommonControlsCalls();  // always 0 on Windows
int StandinInitCustomControlsCalls();

// Windows-1251 (Cyrillic) text to UTF-8, as the message boxes' bytes are shown. Bytes below 0x80
// stay as they are; the one unassigned byte, 0x98, becomes U+FFFD.
std::string StandinCp1251ToUtf8(const std::string& text);
