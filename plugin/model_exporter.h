#pragma once

#include <cstddef>

#include "host/max_sdk.h"

// The library's entry point. Stores the module handle in hInstance on every call; the first
// call initialises the host's custom controls and the Windows common controls and sets
// controlsInitialized. The reason is not looked at: the first notification is the process
// attach.
extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);
extern HINSTANCE hInstance;
extern bool controlsInitialized;

// The host calls every operation of both classes from frames of another compiler, so none
// of them lets an exception out (noexcept makes a slip end the process here, not undefined
// unwinding in the host).

// The scene exporter the host talks to: describes the WUX file type to the export
// dialog and runs one export per DoExport call. Stateless; the class descriptor
// makes a new one whenever the host asks.
class ModelExporter : public SceneExport {
public:
    int ExtCount() noexcept override { return 1; }
    const TCHAR* Ext(int n) noexcept override { return n == 0 ? "WUX" : ""; }
    const TCHAR* LongDesc() noexcept override { return "My export first plugin"; }
    const TCHAR* ShortDesc() noexcept override { return "My exporter"; }
    const TCHAR* AuthorName() noexcept override { return "Tolvar"; }
    const TCHAR* CopyrightMessage() noexcept override { return "Copyright Tolvar"; }
    const TCHAR* OtherMessage1() noexcept override { return ""; }
    const TCHAR* OtherMessage2() noexcept override { return ""; }
    unsigned int Version() noexcept override { return 100; }
    void ShowAbout(HWND hWnd) noexcept override;
    // Collects the scene into a new export model and writes it to name. IMPEXP_SUCCESS
    // when the file was written; IMPEXP_FAIL when it cannot be created or a node could
    // not be collected (then nothing is written), after telling the user unless
    // suppressPrompts.
    int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i,
                 BOOL suppressPrompts = FALSE, DWORD options = 0) noexcept override;
    BOOL SupportsOptions(int /*ext*/, DWORD /*options*/) noexcept override { return FALSE; }
};

// The two words of the exporter's class identifier.
constexpr ULONG kModelExporterClassIdA = 0x280D4A49;
constexpr ULONG kModelExporterClassIdB = 0x4ABE3694;

// Describes the exporter class to the host and makes exporters on request.
// Every operation the host may call later keeps the SDK's default.
class ModelExporterClassDesc : public ClassDesc {
public:
    int IsPublic() noexcept override { return TRUE; }
    // A new ModelExporter on every call; the caller owns it. Null when there is
    // no memory for one.
    void* Create(BOOL loading = FALSE) noexcept override;
    const TCHAR* ClassName() noexcept override { return "Tolvar"; }
    SClass_ID SuperClassID() noexcept override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() noexcept override { return Class_ID(kModelExporterClassIdA, kModelExporterClassIdB); }
    const TCHAR* Category() noexcept override { return ""; }
};

// The one class descriptor, alive as long as the library is loaded; LibClassDesc(0) returns it.
extern ModelExporterClassDesc exporterClassDesc;

// The texts of the message shown when the export file cannot be created. They are
// Windows-1251 bytes, shown unchanged through the ANSI message box.

// "Не могу создать файл %s. Экспорт не произведен." (47 bytes; %s is the file name)
extern const char kCannotCreateFormat[];
// "WUX экспорт"
extern const char kCannotCreateCaption[];

// The message text is formatted into a buffer of this many bytes.
constexpr std::size_t kMessageBufferSize = 500;

// Writes the message naming fileName into buffer (bufferSize bytes, NUL-terminated).
// A file name too long for the buffer is cut so that the rest of the text still fits;
// nothing is written past bufferSize bytes.
void FormatCannotCreateMessage(char* buffer, std::size_t bufferSize, const char* fileName);
