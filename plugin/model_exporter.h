#pragma once

#include "host/max_sdk.h"

// The scene exporter the host talks to: describes the WUX file type to the export
// dialog and runs one export per DoExport call. Stateless; the class descriptor
// makes a new one whenever the host asks.
class ModelExporter : public SceneExport {
public:
    ModelExporter() = default;
    ~ModelExporter() override = default;

    // The host calls every operation from frames of another compiler, so none of
    // them lets an exception out (noexcept makes a slip end the process here, not
    // undefined unwinding in the host).
    int ExtCount() noexcept override;
    const TCHAR* Ext(int n) noexcept override;
    const TCHAR* LongDesc() noexcept override;
    const TCHAR* ShortDesc() noexcept override;
    const TCHAR* AuthorName() noexcept override;
    const TCHAR* CopyrightMessage() noexcept override;
    const TCHAR* OtherMessage1() noexcept override;
    const TCHAR* OtherMessage2() noexcept override;
    unsigned int Version() noexcept override;
    void ShowAbout(HWND hWnd) noexcept override;
    // Collects the scene into a new export model and writes it to name. IMPEXP_SUCCESS
    // when the file was written; IMPEXP_FAIL when it cannot be created or a node could
    // not be collected (then nothing is written), after telling the user unless
    // suppressPrompts.
    int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i,
                 BOOL suppressPrompts = FALSE, DWORD options = 0) noexcept override;
    BOOL SupportsOptions(int ext, DWORD options) noexcept override;
};
