// The host's narrow string class.
#pragma once

#include <string>

class CStr {
public:
    CStr() {}
    CStr(const char* cs) : s(cs ? cs : "") {}
    char* data() { return &s[0]; }
    const char* data() const { return s.c_str(); }
    int Length() const { return int(s.size()); }
    CStr& operator=(const char* cs) {
        s = cs ? cs : "";
        return *this;
    }
    int operator==(const CStr& cs) const { return s == cs.s; }
    int operator!=(const CStr& cs) const { return s != cs.s; }

private:
    std::string s;  // stand-in storage
};

typedef CStr TSTR;
