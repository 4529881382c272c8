#include "plugin/model_exporter.h"

#include <algorithm>

#include "collect/file_name_part.h"
#include "model/export_model.h"
#include "plugin/failure_message.h"
#include "plugin/library_objects.h"
#include "plugin/show_message.h"
#include "writer/save_result.h"

namespace {

void ReportCannotCreate(const TCHAR* name)
{
    char message[kMessageBufferSize];
    FormatCannotCreateMessage(message, sizeof(message), FileNamePart(name));
    ShowMessage(message, kCannotCreateCaption, MB_OK);
}

}  // namespace

int ModelExporter::ExtCount() noexcept
{
    return 1;
}

const TCHAR* ModelExporter::Ext(int n) noexcept
{
    return n == 0 ? "WUX" : "";
}

const TCHAR* ModelExporter::LongDesc() noexcept
{
    return "My export first plugin";
}

const TCHAR* ModelExporter::ShortDesc() noexcept
{
    return "My exporter";
}

const TCHAR* ModelExporter::AuthorName() noexcept
{
    return "Tolvar";
}

const TCHAR* ModelExporter::CopyrightMessage() noexcept
{
    return "Copyright Tolvar";
}

const TCHAR* ModelExporter::OtherMessage1() noexcept
{
    return "";
}

const TCHAR* ModelExporter::OtherMessage2() noexcept
{
    return "";
}

unsigned int ModelExporter::Version() noexcept
{
    return 100;
}

void ModelExporter::ShowAbout(HWND hWnd) noexcept
{
    try {
        MessageBoxA(hWnd, "First exporter plugin", "About", MB_OK);
    } catch (...) {
        // Only a stand-in's message box can throw; the host's frames must not see it.
    }
}

// The failure message is the export's only prompt: under suppressPrompts (a script, an
// unattended machine) it is not shown, and the result alone tells the host.
int ModelExporter::DoExport(const TCHAR* name, ExpInterface* ei, Interface* i,
                            BOOL suppressPrompts, DWORD /*options*/) noexcept
{
    // Nothing may unwind into the host: running out of memory (or anything else
    // thrown while collecting or writing) ends the export like a file that cannot
    // be created. The node callback catches what collecting throws and stops the
    // walk; the writer leaves no partial file behind.
    int saveResult = 1;
    currentModel = nullptr;
    collectionFailed = false;
    LastSaveFailure() = SaveError{};
    exportOutcome.clear();
    materialSources.clear();
    try {
        currentModel = new ExportModel();
        hostInterface = i;
        if (ei != nullptr && ei->theScene != nullptr) {
            ei->theScene->EnumTree(&nodeCollector);
        }
        // Material 0 is another mesh's only when some material is written.
        const auto noMaterial = [](const OutcomeEntry& e) { return e.kind == OutcomeKind::NoStandardMaterial; };
        if (currentModel->materialCount == 0)
            exportOutcome.erase(std::remove_if(exportOutcome.begin(), exportOutcome.end(), noMaterial), exportOutcome.end());
        // A model with a node missing is not the scene: nothing is written.
        if (!collectionFailed) {
            saveResult = currentModel->Save(name);
        }
    } catch (...) {
        saveResult = 1;
    }

    if (saveResult != 0 && !suppressPrompts) {
        try {
            ReportCannotCreate(name);
        } catch (...) {
            // The message could not be shown; the export still ends normally.
        }
    }

    delete currentModel;
    currentModel = nullptr;
    hostInterface = nullptr;
    collectionFailed = false;
    return saveResult == 0 ? IMPEXP_SUCCESS : IMPEXP_FAIL;
}

BOOL ModelExporter::SupportsOptions(int /*ext*/, DWORD /*options*/) noexcept
{
    return FALSE;
}
