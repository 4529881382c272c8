#pragma once

#include "host/max_sdk.h"

// The scene exporter the host talks to: describes the WUX file type to the export
// dialog and runs one export per DoExport call. Stateless; the class descriptor
// makes a new one whenever the host asks.
class ModelExporter : public SceneExport {
public:
    ModelExporter() = default;
    ~ModelExporter() override = default;

    int ExtCount() override;
    const TCHAR* Ext(int n) override;
    const TCHAR* LongDesc() override;
    const TCHAR* ShortDesc() override;
    const TCHAR* AuthorName() override;
    const TCHAR* CopyrightMessage() override;
    const TCHAR* OtherMessage1() override;
    const TCHAR* OtherMessage2() override;
    unsigned int Version() override;
    void ShowAbout(HWND hWnd) override;
    // Collects the scene into a new export model and writes it to name; tells the
    // user when the file cannot be created. Always returns 1, whatever happened.
    int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i,
                 BOOL suppressPrompts = FALSE, DWORD options = 0) override;
    BOOL SupportsOptions(int ext, DWORD options) override;
};
