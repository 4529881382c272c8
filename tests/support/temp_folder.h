// A fresh folder under the system's temporary folder for one test, removed with everything
// in it at the end, and the small file helpers the tests that write files share.
#pragma once

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Root() const { return path_; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::string path_;
};

// A fresh folder for the running test: the same one for every call within the test, and
// removed with everything in it when the test ends.
std::string TestFolder();

std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
