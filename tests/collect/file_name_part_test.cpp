#include "collect/file_name_part.h"

#include <gtest/gtest.h>

namespace {

struct FileNameCase {
    const char* path;
    const char* expected;
};

TEST(FileNamePart, KeepsWhatFollowsTheLastBackslash) {
    const FileNameCase cases[] = {
        {"C:\\maps\\brick.bmp", "brick.bmp"},
        {"brick.bmp", "brick.bmp"},
        {"C:\\maps\\", ""},
        {"", ""},
        {"\\\\server\\share\\textures\\wall.tga", "wall.tga"},
        // Only the backslash separates: slashes and drive colons stay.
        {"C:/maps/brick.bmp", "C:/maps/brick.bmp"},
        {"C:\\maps/sub/brick.bmp", "maps/sub/brick.bmp"},
        {"C:brick.bmp", "C:brick.bmp"},
        {"\\", ""},
    };
    for (const FileNameCase& c : cases) EXPECT_EQ(FileNamePart(c.path), c.expected) << c.path;
}

TEST(FileNamePart, NullPathGivesEmptyName) { EXPECT_EQ(FileNamePart(nullptr), ""); }

}  // namespace
