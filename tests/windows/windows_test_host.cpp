// Loads wux.dle the way the host does and checks it from the outside:
//   wux_windows_test_host <path of wux.dle> <path of the file to export>
// Resolves the four exports by name and by ordinal, checks their results and the
// exporter's texts, then exports the sample scene to the given file.
// Prints one line per failed check and exits non-zero when any check failed.
#include <windows.h>

#include <cstdio>
#include <cstring>

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
        Check(first->DoExport(argv[2], scene.exportInterface(), scene.hostInterface()) == 1,
              "DoExport returns 1");
    }
    delete first;

    DWORD attributes = GetFileAttributesA(argv[2]);
    Check(attributes != INVALID_FILE_ATTRIBUTES, "the export file exists");

    FreeLibrary(module);
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
