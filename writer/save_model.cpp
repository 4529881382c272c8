#include <exception>
#include <new>

#include "model/export_model.h"
#include "writer/byte_buffer.h"
#include "writer/file_sink.h"
#include "writer/model_serializer.h"
#include "writer/save_result.h"

namespace {

SaveError lastFailure;

// Writes model as a WUX file at path through the file layer (writer/file_sink.h), or fills *report.
bool WriteWux(const ExportModel& model, const char* path, SaveError* report) {
    try {
        // Measure first: a model that cannot be written must not touch the disk.
        ModelLayout layout;
        if (!MeasureModel(model, &layout, report)) {
            report->message = "cannot write \"" + std::string(path != nullptr ? path : "") + "\": " + report->message;
            return false;
        }
        FileSink file;
        if (!file.open(path, report)) return false;
        ByteBuffer out(file);
        if (!SerializeModel(model, out, report) || !out.flush()) {
            if (file.writeError().kind != SaveError::Kind::None) *report = file.writeError();
            return false;  // the file's destructor removes the temporary file
        }
        return file.finish(report);
    } catch (const std::bad_alloc&) {
        *report = SaveError{SaveError::Kind::OutOfMemory,
                            "out of memory while writing \"" + std::string(path != nullptr ? path : "") + "\"",
                            "out of memory"};
    } catch (const std::exception& e) {
        *report = SaveError{SaveError::Kind::WriteFailed, std::string("writing failed: ") + e.what(), e.what()};
    }
    return false;
}

}  // namespace

SaveError& LastSaveFailure() { return lastFailure; }

int ExportModel::Save(const char* path) const {
    SaveError error;
    const bool saved = WriteWux(*this, path, &error);
    lastFailure = saved ? SaveError{} : std::move(error);
    return saved ? 0 : 1;
}
