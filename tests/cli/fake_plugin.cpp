// Plug-in libraries that break the rules the host relies on, one kind per build
// (FAKE_PLUGIN_KIND), for the loader's and the export command's error paths.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include "collect/file_name_part.h"
#include "host/max_sdk.h"

#define KIND_GOOD_BUT_BROKEN_FILE 1  // everything right, but the file written is not WUX
#define KIND_WRONG_VERSION 2
#define KIND_TWO_CLASSES 3
#define KIND_NOT_AN_EXPORTER 4
#define KIND_NO_VERSION_ENTRY 5
#define KIND_WRITES_NOTHING 6
#define KIND_THROWS 7
#define KIND_BAD_HEADER_COUNTS 8  // a file the reader reads but the checker faults
#define KIND_REPORTS_FAILURE 9    // writes nothing and names the file as the real one does
#define KIND_WAITS 10             // writes a readable file once a file "go" is beside it (a minute at most)

namespace {

class FakeExporter : public SceneExport {
public:
    int ExtCount() override { return 1; }
    const TCHAR* Ext(int) override { return "WUX"; }
    const TCHAR* LongDesc() override { return "fake"; }
    const TCHAR* ShortDesc() override { return "fake"; }
    const TCHAR* AuthorName() override { return ""; }
    const TCHAR* CopyrightMessage() override { return ""; }
    const TCHAR* OtherMessage1() override { return ""; }
    const TCHAR* OtherMessage2() override { return ""; }
    unsigned int Version() override { return 100; }
    void ShowAbout(HWND) override {}
    int DoExport(const TCHAR* name, ExpInterface*, Interface*, BOOL, DWORD) override {
#if FAKE_PLUGIN_KIND == KIND_THROWS
        (void)name;
        throw std::runtime_error("fake failure");
#elif FAKE_PLUGIN_KIND == KIND_WRITES_NOTHING
        (void)name;
#elif FAKE_PLUGIN_KIND == KIND_REPORTS_FAILURE
        // Only the file's own name, as the real failure message shows it.
        const std::string text = std::string("cannot create ") + FileNamePart(name);
        MessageBoxA(nullptr, text.c_str(), "fake", MB_OK);
#else
#if FAKE_PLUGIN_KIND == KIND_WAITS
        const std::string path = name, go = path.substr(0, path.find_last_of('/') + 1) + "go";
        for (int i = 0; i < 6000 && access(go.c_str(), F_OK) != 0; ++i) usleep(10 * 1000);
#endif
        if (FILE* f = std::fopen(name, "wb")) {
#if FAKE_PLUGIN_KIND == KIND_BAD_HEADER_COUNTS || FAKE_PLUGIN_KIND == KIND_WAITS
            // The empty scene's 108 bytes, but with a mesh count of 1 and no GVTX chunk.
            static const unsigned char bytes[108] = {
                'L', 'I', 'B', 'F', 108, 0, 0, 0, 'I', 'D', 'F', 'M',
                'G', 'N', 'F', 'O', 80, 0, 0, 0, 100, 0, 0, 0,
                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                0, 0, 0x80, 0x3F, 1, 0, 0, 0, 0, 0, 0, 0,
                'G', 'B', 'N', 'D', 32, 0, 0, 0, 100, 0, 0, 0,
                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                'G', 'R', 'E', 'F', 16, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0};
            std::fwrite(bytes, 1, sizeof bytes, f);
#else
            std::fputs("not a WUX file", f);
#endif
            std::fclose(f);
        }
#endif
        return 1;
    }
};

class FakeClassDesc : public ClassDesc {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new FakeExporter(); }
    const TCHAR* ClassName() override { return "Fake"; }
#if FAKE_PLUGIN_KIND == KIND_NOT_AN_EXPORTER
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
#else
    SClass_ID SuperClassID() override { return SCENE_EXPORT_CLASS_ID; }
#endif
    Class_ID ClassID() override { return Class_ID(1, 2); }
    const TCHAR* Category() override { return ""; }
};

FakeClassDesc fakeClassDesc;

}  // namespace

extern "C" {
__attribute__((visibility("default"))) const TCHAR* LibDescription() { return "fake plug-in"; }
__attribute__((visibility("default"))) int LibNumberClasses() {
    return FAKE_PLUGIN_KIND == KIND_TWO_CLASSES ? 2 : 1;
}
__attribute__((visibility("default"))) ClassDesc* LibClassDesc(int i) { return i == 0 ? &fakeClassDesc : nullptr; }
#if FAKE_PLUGIN_KIND != KIND_NO_VERSION_ENTRY
__attribute__((visibility("default"))) ULONG LibVersion() {
    return FAKE_PLUGIN_KIND == KIND_WRONG_VERSION ? 0x1F400F00UL : VERSION_3DSMAX;
}
#endif
}
