#include "app/LoadFailureReport.h"

#include "bake/ImportProcess.h"
#include "camera/CameraKeysFile.h"
#include "foundation/Exception.h"
#include "herd/HerdFile.h"

LoadFailureReport loadFailureReport(FileKind kind, const Exception& failure, const std::string& commandCaption)
{
    const bool skinFile = dynamic_cast<const CreationException*>(&failure) != nullptr;
    // A model file that could not be imported, opened itself or named by a herd file.
    if (dynamic_cast<const ModelImportException*>(&failure)) return {"Error importing model", true};
    switch (kind) {
    case FileKind::CameraKeys:
        if (dynamic_cast<const CameraKeysReadError*>(&failure)) return {"Error reading camera keys", true};
        break;
    case FileKind::Herd:
        // Whatever is not the herd file's own fault comes from a skin file it names.
        if (dynamic_cast<const HerdFileException*>(&failure)) break;
        return {skinFile ? "Error reading skin" : "Error reading file", true};
    case FileKind::TextSkin:
    case FileKind::BinarySkin:
        if (skinFile) return {"Error reading skin", true};
        break;
    }
    return {commandCaption, false};
}
