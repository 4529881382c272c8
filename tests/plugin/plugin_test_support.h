#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// A fresh folder under the system's temporary folder, removed with its files at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::string path_;
};

std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// Bytes from a string of hexadecimal pairs; spaces are ignored.
std::string HexBytes(const char* hex);

// The failure message for fileName, built here from its bytes rather than from the
// plug-in's own texts: "Не могу создать файл <fileName>. Экспорт не произведен."
std::string ExpectedCannotCreateMessage(const std::string& fileName);
// "WUX экспорт"
std::string ExpectedCannotCreateCaption();

// The 108-byte file of a scene with nothing to export.
std::vector<unsigned char> EmptySceneFile();
