#include "cli/input_discovery.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include <assimp/Importer.hpp>

#include "format/tool_text.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// Not lexically_normal alone: the same file reached by two spellings is one file.
std::string Identity(const fs::path& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal().string() : canonical.string();
}

// The files and folders a search passes over (the output folder, the report), by identity.
using LeftOut = std::set<std::pair<dev_t, ino_t>>;

bool IsLeftOut(const LeftOut& leftOut, const fs::path& path) {
    struct stat info;
    return !leftOut.empty() && ::lstat(path.c_str(), &info) == 0 && leftOut.count({info.st_dev, info.st_ino}) != 0;
}

// Until DiscoverInputs names it, a file's output is its path under outDir with its own extension.
void AddFolder(const fs::path& folder, const LeftOut& leftOut, std::vector<BatchInput>* found, std::size_t* skipped) {
    std::vector<fs::path> files;
    std::error_code ec;
    // Links to folders are not followed: a link back up the tree would never end.
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        // A run's own outputs and report are not its inputs, nor counted as skipped.
        if (IsLeftOut(leftOut, it->path())) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(fileEc)) continue;
        if (IsConvertibleName(it->path().string())) files.push_back(it->path());
        else ++*skipped;
    }
    if (ec) found->push_back({folder.string(), "", "cannot read the folder: " + ec.message()});
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) found->push_back({file.string(), file.lexically_relative(folder).string(), ""});
}

fs::path WithWux(fs::path relative, bool keepExtension, int number) {
    std::string name = keepExtension ? relative.filename().string() : relative.stem().string();
    if (number > 1) name += "-" + std::to_string(number);
    return relative.replace_filename(name + ".wux");
}

}  // namespace

bool IsConvertibleName(const std::string& path) {
    const std::string ext = Lower(fs::path(path).extension().string());
    if (ext.size() < 2) return false;
    if (ext == ".json") return true;
    static const Assimp::Importer importer;
    return importer.IsExtensionSupported(ext);
}

Discovery DiscoverInputs(const std::vector<std::string>& paths, const std::string& outDir, const std::string& report) {
    Discovery discovery;
    std::vector<BatchInput> found;
    LeftOut leftOut;
    for (const std::string& path : {outDir, report}) {
        struct stat info;
        if (!path.empty() && ::stat(path.c_str(), &info) == 0) leftOut.insert({info.st_dev, info.st_ino});
    }
    for (const std::string& path : paths) {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (fs::is_directory(status)) AddFolder(path, leftOut, &found, &discovery.skipped);
        else if (fs::exists(status)) found.push_back({path, fs::path(path).filename().string(), ""});
        else found.push_back({path, "", "no such file or folder"});
    }

    // Drop repeats of one file; count who wants each output name. The folders outputs go
    // into (an input folder named x.wux) take their names as a file would.
    std::set<std::string> seen, taken;
    std::map<std::string, int> plainUsers;
    for (BatchInput& f : found) {
        if (f.error.empty() && !seen.insert(Identity(f.input)).second) continue;
        if (f.error.empty()) {
            ++plainUsers[WithWux(f.output, false, 1).string()];
            for (fs::path folder = fs::path(f.output).parent_path(); !folder.empty(); folder = folder.parent_path())
                if (taken.insert(folder.string()).second) ++plainUsers[folder.string()];
        }
        discovery.inputs.push_back(std::move(f));
    }
    for (BatchInput& input : discovery.inputs) {
        if (!input.error.empty()) continue;
        const bool keepExtension = plainUsers[WithWux(input.output, false, 1).string()] > 1;
        fs::path relative;
        for (int number = 1;; ++number) {
            relative = WithWux(input.output, keepExtension, number);
            if (taken.insert(relative.string()).second) break;
        }
        input.output = (fs::path(outDir) / relative).string();
    }
    return discovery;
}

}  // namespace wux
