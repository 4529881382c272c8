// The JSON reader under an address-space limit, in a child process: a scene takes a small
// multiple of its size, and running out of memory reaches the caller as std::bad_alloc
// instead of ending the process.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "input/json_scene.h"
#include "tests/support/under_asan.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// The address space the process uses now, from /proc.
std::size_t AddressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    return 0;
}

enum ChildResult { kRead = 0, kRefused = 1, kOutOfMemory = 2 };

// Runs body in a child whose address space may grow by at most `extra` bytes; returns its
// wait status.
int RunWithLimit(std::size_t extra, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        const rlim_t limit = AddressSpaceInUse() + extra;
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_AS, &r) != 0) _exit(10);
        int code = 11;
        try {
            code = body();
        } catch (const std::bad_alloc&) {
            code = kOutOfMemory;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

class JsonSceneMemory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        path_ = fs::temp_directory_path() / ("wux_json_memory_" + std::to_string(getpid()) + ".json");
        std::ofstream out(path_, std::ios::binary);
        out << R"({"nodes": [{"name": "m", "object": {"type": "mesh", "verts": [)";
        for (int i = 0; i < 700000; ++i) out << (i ? "," : "") << "[0.123456,-0.654321," << i << ".5]";
        out << R"(], "faces": [[0,1,2]]}}]})";
        out.close();
        size_ = fs::file_size(path_);
    }
    static void TearDownTestSuite() { fs::remove(path_); }

    void SetUp() override {
#ifdef WUX_UNDER_ASAN
        GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    }

    static int Read() {
        const ToolResult<SceneDescription> scene = ReadJsonSceneFile(path_.string());
        if (!scene.Ok()) {
            std::fprintf(stderr, "%s\n", scene.Error().Text().c_str());
            return kRefused;
        }
        return scene->nodes.at(0).object.mesh.verts.size() == 700000 ? kRead : kRefused;
    }

    static fs::path path_;
    static std::size_t size_;
};

fs::path JsonSceneMemory::path_;
std::size_t JsonSceneMemory::size_ = 0;

// A reader that built a document tree first needed about eight times the text.
TEST_F(JsonSceneMemory, ReadsASceneInTwiceItsSize) {
    const int status = RunWithLimit(2 * size_, Read);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kRead);
}

TEST_F(JsonSceneMemory, RunningOutIsABadAllocNotAnAbort) {
    const int status = RunWithLimit(size_ / 8, Read);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kOutOfMemory);
}

}  // namespace
}  // namespace wux
