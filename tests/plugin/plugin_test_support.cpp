#include "tests/plugin/plugin_test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

TempFolder::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/wux_plugin_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) {
        path_ = buffer.data();
    }
}

TempFolder::~TempFolder()
{
    for (const std::string& name : Files()) {
        unlink(Path(name).c_str());
    }
    rmdir(path_.c_str());
}

std::vector<std::string> TempFolder::Files() const
{
    std::vector<std::string> names;
    DIR* dir = opendir(path_.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string HexBytes(const char* hex)
{
    std::string bytes;
    std::string pair;
    for (const char* c = hex; *c != '\0'; ++c) {
        if (*c == ' ') {
            continue;
        }
        pair += *c;
        if (pair.size() == 2) {
            bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
            pair.clear();
        }
    }
    return bytes;
}

std::string ExpectedCannotCreateMessage(const std::string& fileName)
{
    // iconv -f UTF-8 -t CP1251 of the two halves around the file name.
    return HexBytes("cd e5 20 ec ee e3 f3 20 f1 ee e7 e4 e0 f2 fc 20 f4 e0 e9 eb 20") + fileName +
           HexBytes("2e 20 dd ea f1 ef ee f0 f2 20 ed e5 20 ef f0 ee e8 e7 e2 e5 e4 e5 ed 2e");
}

std::string ExpectedCannotCreateCaption()
{
    return HexBytes("57 55 58 20 fd ea f1 ef ee f0 f2");
}

std::vector<unsigned char> EmptySceneFile()
{
    const std::string bytes = HexBytes(
        "4c 49 42 46 6c 00 00 00 49 44 46 4d 47 4e 46 4f 50 00 00 00 64 00 00 00"
        "000000000000 000000000000 000000000000 000000000000"
        "00 00 80 3f 00 00 00 00 00 00 00 00 47 42 4e 44 20 00 00 00 64 00 00 00"
        "0000000000 0000000000 0000000000 0000000000"
        "47 52 45 46 10 00 00 00 64 00 00 00 00 00 00 00");
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}
