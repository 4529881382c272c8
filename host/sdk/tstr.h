// The host's narrow string class.
#pragma once

#include <string>

class CStr {
public:
    CStr() {}
    CStr(const char* cs) : s(cs ? cs : "") {}
    char* data() { return &s[0]; }

private:
    std::string s;  // stand-in storage
};

typedef CStr TSTR;
