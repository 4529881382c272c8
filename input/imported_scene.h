// What the importers of node scenes (Assimp's formats, glTF) share: texture files looked for
// beside the source, embedded textures written beside the output, and the list of materials
// that merges identical ones and keeps names unique.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "input/assimp_import.h"

namespace wux {

constexpr float kDefaultHelperSize = 20.0f;
constexpr int kSphereSegments = 32;
// Deeper hierarchies than this are refused rather than walked recursively.
constexpr int kMaxNodeDepth = 2000;

class TextureResolver {
public:
    TextureResolver(const std::string& sourcePath, const AssimpImportOptions& options, Warnings* warnings);

    // The path handed to the host for a texture file the source names (relative to its folder).
    std::string External(const std::string& reference);
    // The host path of the embedded texture known by key, when it is known.
    bool Known(const std::string& key, std::string* hostPath) const;
    // Names an embedded texture beside the output (after ownName, else MATERIAL_KIND) and
    // keeps it until WritePending; extension is a format hint such as "png".
    std::string Embedded(const std::string& key, std::vector<unsigned char> bytes, const std::string& ownName,
                         std::string extension, const std::string& materialName, int slot);
    // Writes the embedded textures, once the whole import has succeeded.
    ToolResult<void> WritePending() const;

private:
    struct PendingTexture {
        std::string fileName;  // in the output's folder
        std::vector<unsigned char> bytes;
        bool write = true;  // false when the folder already holds these very bytes under that name
    };
    std::string FindIgnoringCase(const std::filesystem::path& dir, const std::string& fileName);

    TextureFiles* files_;
    Warnings* warnings_;
    std::filesystem::path sourceDir_, outputDir_;
    std::string outputStem_;
    std::map<std::string, std::string> external_, embedded_;
    std::map<std::string, std::map<std::string, std::string>> listings_;
    std::set<std::string> usedNames_;
    std::map<std::string, int> nextSuffix_;
    std::vector<PendingTexture> pending_;
};

// The scene's materials: a material identical to one already added under the same source
// name is that one (counted in *merged); a different one whose name is taken gets a name of
// its own, as the exporter tells materials apart by name alone.
class MaterialList {
public:
    MaterialList(std::vector<SceneMaterial>* out, std::size_t* merged, Warnings* warnings)
        : out_(out), merged_(merged), warnings_(warnings) {}
    int Add(SceneMaterial material);

private:
    std::vector<SceneMaterial>* out_;
    std::size_t* merged_;
    Warnings* warnings_;
    std::map<std::string, std::vector<int>> bySourceName_;  // scene indices of the materials of each source name
    std::set<std::string> names_;
    std::map<std::string, int> nextSuffix_;  // per name, so many equal names stay linear
};

}  // namespace wux
