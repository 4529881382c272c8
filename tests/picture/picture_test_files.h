// What the picture tests share: the red box scene as WUX bytes (checked by the checker
// before any test uses them), a scratch folder, the built wux command, and PNG pixels.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/picture_scene.h"
#include "picture/rasteriser.h"
#include "tests/support/run_command.h"
#include "tests/support/wux_bytes.h"

namespace picturetest {

// A red box two units wide centred on the origin, seen through a bounding sphere of
// radius 2 around it and a helper whose cube (half extent 1.5) is centred on it too.
wuxtest::File RedBoxFile();

// A card two units square standing in the XZ plane, facing the front view, in a material
// whose diffuse map is `mapName` (amount 1). Its texture coordinates run with the image:
// u left to right, v (as stored) top to bottom.
wuxtest::File TexturedCardFile(const std::string& mapName);
// The card's map, a 2 x 2 PNG: red top left, green top right, blue bottom left, yellow
// bottom right.
constexpr std::array<std::array<std::uint8_t, 3>, 4> kCardColours{{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}}};
std::vector<std::uint8_t> CardMapPng();

// The colour of rgb, whatever the light: each channel within tolerance of expected scaled
// by the brightest channel.
bool IsHue(const std::uint8_t* rgb, std::array<std::uint8_t, 3> expected, int tolerance);

// The file's bytes; fails the calling test when the checker finds the file invalid.
std::vector<std::uint8_t> CheckedBytes(const wuxtest::File& file);

// The scene a picture draws of the file, its maps looked for as `maps` says.
wux::PictureScene SceneOf(const wuxtest::File& file, const wux::TextureSearch& maps = {});

// The default background, as the renderer writes it and the viewer clears to.
constexpr std::array<std::uint8_t, 3> kBackground{0x2e, 0x33, 0x3d};

bool IsRed(const std::uint8_t* rgb);
bool IsColour(const std::uint8_t* rgb, std::array<std::uint8_t, 3> expected, int tolerance);
// Pixels within tolerance of the colour (0 to 1 channels), in the columns from fromX on.
std::size_t CountColour(const wux::Image& image, wux::Rgb colour, int tolerance, int fromX = 0);

// An 8-bit RGB PNG read back; width 0 when the file is not one.
wux::Image LoadPng(const std::string& path);

// A folder of its own for the running test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

using wuxtest::CommandRun;
using wuxtest::RunCommand;
// The built wux command with the given arguments (already quoted as the shell needs), and
// the same run.
std::string WuxCommand(const std::string& arguments);
CommandRun RunWux(const std::string& arguments);
inline std::string Quoted(const std::string& text) { return wuxtest::ShellQuoted(text); }

}  // namespace picturetest
