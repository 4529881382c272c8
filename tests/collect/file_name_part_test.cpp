#include "collect/file_name_part.h"

#include <gtest/gtest.h>

namespace {

struct FileNameCase {
    const char* path;
    const char* expected;
};

TEST(FileNamePart, KeepsWhatFollowsTheLastBackslashOrSlash) {
    const FileNameCase cases[] = {
        {"C:\\maps\\brick.bmp", "brick.bmp"},
        {"brick.bmp", "brick.bmp"},
        {"C:\\maps\\", ""},
        {"", ""},
        {"\\\\server\\share\\textures\\wall.tga", "wall.tga"},
        // Forward slashes separate too; drive colons stay.
        {"C:/maps/brick.bmp", "brick.bmp"},
        {"C:\\maps/sub/brick.bmp", "brick.bmp"},
        {"maps/sub\\brick.bmp", "brick.bmp"},
        {"C:/maps/", ""},
        {"C:brick.bmp", "C:brick.bmp"},
        {"\\", ""},
    };
    for (const FileNameCase& c : cases) EXPECT_STREQ(FileNamePart(c.path), c.expected) << c.path;
}

TEST(FileNamePart, NullPathGivesEmptyName) { EXPECT_STREQ(FileNamePart(nullptr), ""); }

}  // namespace
