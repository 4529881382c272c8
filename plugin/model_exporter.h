#pragma once

#include "host/max_sdk.h"

// The scene exporter the host talks to: describes the WUX file type to the export
// dialog and runs one export per DoExport call. Stateless; the class descriptor
// makes a new one whenever the host asks.
class ModelExporter : public SceneExport {
public:
    // The host calls every operation from frames of another compiler, so none of
    // them lets an exception out (noexcept makes a slip end the process here, not
    // undefined unwinding in the host).
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
