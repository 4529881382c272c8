#include "plugin/model_exporter.h"

#include <algorithm>

#include "collect/file_name_part.h"
#include "collect/node_collector.h"
#include "model/export_model.h"
#include "plugin/failure_message.h"
#include "writer/save_result.h"

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
            NodeCollector collector;
            ei->theScene->EnumTree(&collector);
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
            char message[kMessageBufferSize];
            FormatCannotCreateMessage(message, sizeof(message), FileNamePart(name));
            MessageBoxA(GetActiveWindow(), message, kCannotCreateCaption, MB_OK);
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
