// Hostile counts must be refused before anything is allocated for them. This program
// replaces the global allocation functions to watch the largest request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "tests/tools/wux_bytes_builder.h"
#include "format/wux_checker.h"

namespace {
std::size_t largestRequest = 0;
}

// GCC sees the replaced new and delete inlined into their callers and takes the free() in
// delete for a mismatch; the pair below is matched by construction (malloc and free).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (size > largestRequest) largestRequest = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(WuxAllocation, HostileCountsAllocateNothingLarge) {
    const wuxtest::Built built = wuxtest::Build(wuxtest::RichFile());
    const std::size_t fields[] = {
        built.meshes[0] + 20,              // vertex count
        built.meshes[0] + 24,              // face count
        built.materials[0] + 12,           // name padded length
        built.materials[0] + 100,          // map count
        built.bounds + 28,                 // sphere count
        built.references + 12,             // entry count
    };
    for (const std::size_t at : fields) {
        for (const std::uint32_t value : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu}) {
            wuxtest::Bytes bytes = built.bytes;
            bytes.PatchU32(at, value);
            largestRequest = 0;
            const auto report = wux::CheckWux(bytes.Span());
            EXPECT_FALSE(report.Valid());
            EXPECT_LT(largestRequest, std::size_t{64 * 1024}) << "field at " << at << " = " << value;
        }
    }
}

}  // namespace
