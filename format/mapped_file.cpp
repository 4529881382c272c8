#include "format/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

namespace wux {

MappedFile::~MappedFile() {
    if (data_ != nullptr) munmap(data_, size_);
}

bool MappedFile::Open(const std::string& path, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) != 0) {
        *error = std::string("cannot read its size: ") + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        *error = "cannot open: not a regular file";
    } else if (static_cast<std::uint64_t>(st.st_size) > std::numeric_limits<std::uint32_t>::max()) {
        // A WUX file states its size in 32 bits; anything larger cannot be one.
        *error = "too large to be a WUX file (" + std::to_string(st.st_size) + " bytes)";
    } else if (st.st_size == 0) {
        ok = true;  // nothing to map; an empty span
    } else {
        void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            *error = std::string("cannot map: ") + std::strerror(errno);
        } else {
            data_ = p;
            size_ = static_cast<std::size_t>(st.st_size);
            ok = true;
        }
    }
    close(fd);
    return ok;
}

}  // namespace wux
