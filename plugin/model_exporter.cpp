#include "plugin/model_exporter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "collect/file_name_part.h"
#include "collect/node_collector.h"
#include "model/export_model.h"
#include "writer/save_result.h"

// Byte escapes keep the texts independent of this file's encoding.
const char kCannotCreateFormat[] =
    "\xCD\xE5 \xEC\xEE\xE3\xF3 \xF1\xEE\xE7\xE4\xE0\xF2\xFC \xF4\xE0\xE9\xEB %s. "
    "\xDD\xEA\xF1\xEF\xEE\xF0\xF2 \xED\xE5 \xEF\xF0\xEE\xE8\xE7\xE2\xE5\xE4\xE5\xED.";
const char kCannotCreateCaption[] = "WUX \xFD\xEA\xF1\xEF\xEE\xF0\xF2";

ModelExporterClassDesc exporterClassDesc;

void* ModelExporterClassDesc::Create(BOOL /*loading*/) noexcept
{
    try {
        return new ModelExporter();
    } catch (...) {
        return nullptr;
    }
}

void FormatCannotCreateMessage(char* buffer, std::size_t bufferSize, const char* fileName)
{
    if (buffer == nullptr || bufferSize == 0) return;
    // The format's own bytes without "%s" and the terminating NUL.
    const std::size_t fixedLength = sizeof(kCannotCreateFormat) - 1 - 2;
    const std::size_t room = bufferSize > fixedLength + 1 ? bufferSize - fixedLength - 1 : 0;
    const int shown = static_cast<int>(std::min<std::size_t>(room, INT_MAX));
    // Precision instead of %s so that the cut name needs no copy (it stops at the name's
    // NUL too); the texts are single-byte, so a cut never splits a character.
    const char* percent = std::strstr(kCannotCreateFormat, "%s");
    std::snprintf(buffer, bufferSize, "%.*s%.*s%s",
        static_cast<int>(percent - kCannotCreateFormat), kCannotCreateFormat,
        shown, fileName != nullptr ? fileName : "", percent + 2);
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
            NodeCollector collector;
            ei->theScene->EnumTree(&collector);
        }
        // Material 0 is another mesh's only when some material is written.
        const auto noMaterial = [](const OutcomeEntry& e) { return e.kind == OutcomeKind::NoStandardMaterial; };
        if (currentModel->materialCount == 0)
            exportOutcome.erase(std::remove_if(exportOutcome.begin(), exportOutcome.end(), noMaterial), exportOutcome.end());
        // A model with a node missing is not the scene: nothing is written.
        if (!collectionFailed) saveResult = currentModel->Save(name);
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
