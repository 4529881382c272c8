// Loads wux.dle the way the host does and checks it from the outside:
//   wux_windows_test_host <path of wux.dle> <path of the file to export>
// Resolves the four exports by name and by ordinal, checks their results and the
// exporter's texts, then exports the sample scene to the given file and checks that its box
// (six smoothing groups) has hard corners; then exports to a missing folder, with and without
// prompts suppressed, and checks the failure code and that a message box comes up only when
// prompts are allowed.
// Prints one line per failed check and exits non-zero when any check failed.
#include <windows.h>

#include <cstdint>
#include <string>
#include <cstdio>
#include <cstring>
#include <vector>

#include "format/wux_format.h"
#include "host/max_sdk.h"
#include "tests/support/sample_scene.h"

namespace {

using LibDescriptionFn = const TCHAR* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = ULONG (*)();

int failures = 0;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

bool SameText(const char* actual, const char* expected)
{
    return actual != nullptr && std::strcmp(actual, expected) == 0;
}

FARPROC Resolve(HMODULE module, const char* name, WORD ordinal)
{
    FARPROC byName = GetProcAddress(module, name);
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (byName == nullptr || byOrdinal == nullptr || byName != byOrdinal) {
        std::printf("FAILED: %s by name %p, by ordinal %u %p\n", name,
                    reinterpret_cast<void*>(byName), static_cast<unsigned>(ordinal),
                    reinterpret_cast<void*>(byOrdinal));
        ++failures;
        return nullptr;
    }
    return byName;
}

template <typename Fn>
Fn As(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

void CheckExporter(SceneExport* exporter)
{
    Check(exporter->ExtCount() == 1, "ExtCount is 1");
    Check(SameText(exporter->Ext(0), "WUX"), "Ext(0) is WUX");
    Check(SameText(exporter->Ext(1), ""), "Ext(1) is empty");
    Check(SameText(exporter->Ext(-1), ""), "Ext(-1) is empty");
    Check(SameText(exporter->LongDesc(), "My export first plugin"), "LongDesc");
    Check(SameText(exporter->ShortDesc(), "My exporter"), "ShortDesc");
    Check(exporter->AuthorName() != nullptr, "AuthorName");
    Check(exporter->CopyrightMessage() != nullptr, "CopyrightMessage");
    Check(SameText(exporter->OtherMessage1(), ""), "OtherMessage1");
    Check(SameText(exporter->OtherMessage2(), ""), "OtherMessage2");
    Check(exporter->Version() == 100, "Version is 100");
    Check(exporter->SupportsOptions(0, 0) == FALSE, "SupportsOptions(0, 0)");
    Check(exporter->SupportsOptions(0, 0xFFFFFFFF) == FALSE, "SupportsOptions(0, all)");
}

std::uint32_t U32At(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

// The first mesh of the sample scene is its box, each side in a smoothing group of its own:
// every corner's normal is its side's axis, never a blend across an edge.
void CheckBoxHasHardCorners(const char* path)
{
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path, "rb")) {
        unsigned char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    std::size_t at = 12;
    while (at + wux_file::kMeshHeadSize <= bytes.size() && std::memcmp(&bytes[at], wux_file::kMeshTag, 4) != 0) ++at;
    if (at + wux_file::kMeshHeadSize > bytes.size()) return Check(false, "the export holds a mesh");
    const std::uint32_t vertices = U32At(bytes, at + wux_file::kMeshVertexCountOffset);
    const std::uint32_t faces = U32At(bytes, at + wux_file::kMeshFaceCountOffset);
    const std::size_t normals = at + wux_file::kMeshHeadSize + wux_file::kVertexSize * vertices + wux_file::kTriangleSize * faces;
    Check(vertices == 36 && normals + wux_file::kNormalSize * vertices <= bytes.size(), "the box has 36 corners");
    // Each triangle's three corners share one axis, and the sides' six axes each come twice.
    int sides[3][2] = {};
    for (std::uint32_t t = 0; vertices == 36 && t < faces; ++t) {
        float n[3][3];
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t bits = U32At(bytes, normals + wux_file::kNormalSize * (3 * t + k) + 4 * c);
                std::memcpy(&n[k][c], &bits, 4);
            }
        int axis = -1;
        for (int c = 0; c < 3; ++c) {
            if (n[0][c] == 1.0f || n[0][c] == -1.0f) axis = c;
        }
        bool flat = axis >= 0;
        for (int k = 0; k < 3 && flat; ++k)
            for (int c = 0; c < 3; ++c) flat = flat && n[k][c] == (c == axis ? n[0][axis] : 0.0f);
        if (!flat) return Check(false, "every corner of the box has its side's normal");
        ++sides[axis][n[0][axis] > 0.0f ? 1 : 0];
    }
    for (const auto& axis : sides) Check(axis[0] == 2 && axis[1] == 2, "the box's six sides have two triangles each");
}

int windowsCreated = 0;

LRESULT CALLBACK CountWindows(int code, WPARAM w, LPARAM l)
{
    if (code == HCBT_CREATEWND) ++windowsCreated;
    return CallNextHookEx(nullptr, code, w, l);
}

// A folder that does not exist: the export fails with the failure code, shows its message
// only when prompts are allowed, and writes nothing.
void CheckFailureAndPrompts(SceneExport* exporter, const char* written)
{
    std::string missing(written);
    missing += ".missing\\scene.wux";
    HHOOK hook = SetWindowsHookExA(WH_CBT, CountWindows, nullptr, GetCurrentThreadId());
    for (BOOL suppress : {TRUE, FALSE}) {
        windowsCreated = 0;
        SampleScene scene;
        Check(exporter->DoExport(missing.c_str(), scene.exportInterface(), scene.hostInterface(), suppress) ==
                  IMPEXP_FAIL,
              "DoExport to a missing folder returns IMPEXP_FAIL");
        Check(suppress ? windowsCreated == 0 : windowsCreated > 0,
              suppress ? "no message box under suppressPrompts" : "the message box comes up without suppressPrompts");
    }
    UnhookWindowsHookEx(hook);
    Check(GetFileAttributesA(missing.c_str()) == INVALID_FILE_ATTRIBUTES, "nothing is written to a missing folder");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::printf("usage: wux_windows_test_host <wux.dle> <output.wux>\n");
        return 2;
    }
    // Let the plug-in find wuxhost.dll beside itself, as the host's own DLLs are found.
    HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        std::printf("FAILED: LoadLibrary(%s), error %lu\n", argv[1], GetLastError());
        return 1;
    }

    auto libDescription = As<LibDescriptionFn>(Resolve(module, "LibDescription", 1));
    auto libNumberClasses = As<LibNumberClassesFn>(Resolve(module, "LibNumberClasses", 2));
    auto libClassDesc = As<LibClassDescFn>(Resolve(module, "LibClassDesc", 3));
    auto libVersion = As<LibVersionFn>(Resolve(module, "LibVersion", 4));
    if (libDescription == nullptr || libNumberClasses == nullptr || libClassDesc == nullptr ||
        libVersion == nullptr) {
        return 1;
    }

    Check(SameText(libDescription(), "My first export file plugin"), "LibDescription");
    Check(libNumberClasses() == 1, "LibNumberClasses is 1");
    Check(libVersion() == 0x1F401100UL, "LibVersion is 0x1F401100");
    Check(libClassDesc(1) == nullptr, "LibClassDesc(1) is null");
    Check(libClassDesc(-1) == nullptr, "LibClassDesc(-1) is null");

    ClassDesc* desc = libClassDesc(0);
    if (desc == nullptr || desc != libClassDesc(0)) {
        std::printf("FAILED: LibClassDesc(0) is null or not the same object twice\n");
        return 1;
    }
    Check(desc->IsPublic() != 0, "IsPublic");
    Check(SameText(desc->ClassName(), "Tolvar"), "ClassName");
    Check(SameText(desc->Category(), ""), "Category");
    Check(desc->SuperClassID() == SCENE_EXPORT_CLASS_ID, "SuperClassID is 0xA20");
    Check(desc->ClassID() == Class_ID(0x280D4A49, 0x4ABE3694), "ClassID");

    auto* first = static_cast<SceneExport*>(desc->Create(FALSE));
    auto* second = static_cast<SceneExport*>(desc->Create(TRUE));
    Check(first != nullptr && second != nullptr && first != second, "two Create calls, two objects");
    if (first == nullptr || second == nullptr) {
        return 1;
    }
    CheckExporter(first);
    delete second;

    {
        SampleScene scene;
        Check(first->DoExport(argv[2], scene.exportInterface(), scene.hostInterface()) == IMPEXP_SUCCESS,
              "DoExport returns IMPEXP_SUCCESS");
    }
    DWORD attributes = GetFileAttributesA(argv[2]);
    Check(attributes != INVALID_FILE_ATTRIBUTES, "the export file exists");
    CheckBoxHasHardCorners(argv[2]);
    CheckFailureAndPrompts(first, argv[2]);
    delete first;

    FreeLibrary(module);
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
