// Finding map files: one listing of each folder serves every lookup of a conversion, so a file
// naming thousands of missing maps costs one read of the folder, not one per name.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "format/texture_lookup.h"
#include "tests/support/temp_folder.h"

namespace wux {
namespace {

void Touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

TEST(TextureFolders, EachFolderIsListedOnceForEveryLookup) {
    TempFolder first, second;
    Touch(first.Path("Brick.BMP"));
    Touch(second.Path("glass.png"));
    TextureFolders folders({first.Root(), second.Root()});

    EXPECT_EQ(folders.Find("Brick.BMP"), first.Path("Brick.BMP"));
    EXPECT_EQ(folders.Find("brick.bmp"), first.Path("Brick.BMP"));  // letter case ignored second
    EXPECT_EQ(folders.Find("glass.png"), second.Path("glass.png"));
    for (const char* outside : {"", ".", "..", "../glass.png", "sub/glass.png"})
        EXPECT_EQ(folders.Find(outside), std::nullopt) << outside;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(folders.Find("missing" + std::to_string(i) + ".png"), std::nullopt);

    // A file that appears after the first lookup is not seen: the folders were read once.
    Touch(first.Path("late.png"));
    EXPECT_EQ(folders.Find("late.png"), std::nullopt);
}

}  // namespace
}  // namespace wux
