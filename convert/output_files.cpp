#include "convert/output_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace wux {
namespace fs = std::filesystem;

void OutputFiles::Add(const std::string& path, std::vector<std::uint8_t> bytes) {
    paths_.push_back(path);
    contents_.push_back(std::move(bytes));
}

void OutputFiles::Add(const std::string& path, const std::string& text) {
    Add(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

namespace {

// Writes the bytes to path; messages name the target the file stands in for.
bool WriteWhole(const std::string& path, const std::string& target, const std::vector<std::uint8_t>& bytes,
                std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        *error = target + ": cannot create: " + std::strerror(errno);
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        *error = target + ": cannot write: " + std::strerror(written ? errno : savedErrno);
        return false;
    }
    return true;
}

}  // namespace

bool OutputFiles::Commit(std::string* error) {
    std::vector<std::string> temporaries;
    auto cleanUp = [&] {
        std::error_code ec;
        for (const std::string& t : temporaries) fs::remove(t, ec);
    };
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const std::string temporary = paths_[i] + ".tmp" + std::to_string(::getpid());
        temporaries.push_back(temporary);
        if (!WriteWhole(temporary, paths_[i], contents_[i], error)) {
            cleanUp();
            return false;
        }
    }
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        std::error_code ec;
        fs::rename(temporaries[i], paths_[i], ec);
        if (ec) {
            *error = paths_[i] + ": cannot move into place: " + ec.message();
            cleanUp();
            return false;
        }
    }
    return true;
}

}  // namespace wux
