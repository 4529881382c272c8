// The Win32 functions of the stand-in host (Linux only; Windows has its own), the host's
// InitCustomControls (both platforms) and the code page conversion the message boxes are shown in.
#include <cstdint>
#include <cstdio>

#include "host/sdk/plugin_api.h"
#include "host/standin/win32_log.h"

namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order. None is below U+0080.
const uint16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::vector<StandinMessageBoxCall>& Calls() {
    static std::vector<StandinMessageBoxCall> calls;
    return calls;
}

bool echo = true;
int commonControlsCalls = 0;
int customControlsCalls = 0;

}  // namespace

std::string StandinCp1251ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const uint8_t b = uint8_t(c);
        if (b < 0x80)
            out += c;
        else if (b < 0xC0)
            AppendUtf8(out, kHighHalf[b - 0x80]);
        else
            AppendUtf8(out, 0x0410u + (b - 0xC0u));
    }
    return out;
}

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
