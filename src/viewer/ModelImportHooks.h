#pragma once

#include "bake/ImportProcess.h"
#include "foundation/Exception.h"

#include <filesystem>
#include <functional>
#include <string>

// What the window shows while a model file is imported (a progress dialog with Cancel). The
// viewer core calls begin before the importer starts, update whenever the importer reports,
// and end once it has finished, failed or been cancelled.
class ImportProgressDisplay {
public:
    virtual ~ImportProgressDisplay() = default;
    virtual void begin(const std::string& modelPath) = 0;
    // The share done (0 to 1) and the step's description; false cancels the import.
    virtual bool update(double fraction, const std::string& step) = 0;
    virtual void end() = 0;
};

// Turns a model file into skins: the model's path, the directory for the import's files and
// the progress to report to. Returns the skins and their directory, no skins when cancelled;
// throws ModelImportException for a model that cannot be imported. importModelFile (the
// flexherd-import child process with the default options) is the viewer's.
using ModelImporter = std::function<SkinFile(const std::string& modelPath, const std::filesystem::path& outputDirectory,
                                             const ImportRunProgress& progress)>;

// The user cancelled the import of a model named by a herd file: the herd file's loading
// stops there, and nothing is reported.
class ModelImportCancelled : public Exception {
public:
    using Exception::Exception;
};
