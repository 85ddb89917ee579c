#pragma once

#include "bake/ImportOptions.h"
#include "foundation/Exception.h"

#include "skin/BinarySkinLoader.h"
#include "skin/Skin.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Running the import in a child process, so that a parser crash or a runaway allocation on a
// hostile model file ends the child, not the viewer: the child is flexherd-import writing a
// binary skin file into a directory of the caller's, which is then read back as skins.

// What a finished (or cancelled) import gives.
struct ImportRun {
    bool cancelled = false;
    // The levels of detail, finest first, as the binary skin loader reads them, each with its
    // file name set to the model's path (so a herd saved with them names the model).
    std::vector<std::shared_ptr<Skin>> skins;
    // Where the skins' texture file lies: their texture names are relative to it.
    std::filesystem::path directory;
    // The binary skin file the child wrote.
    std::filesystem::path skinFile;
    // The child's warnings ("Texture 'x' ... was not found"), its summary lines.
    std::vector<std::string> warnings;
    std::string summary;
};

// Called on the calling thread with the child's progress (share done, 0 to 1, and the step's
// description) whenever it reports, and at least every tenth of a second while it runs, so a
// progress dialog can keep its window alive. Returning false cancels: the child is killed.
using ImportRunProgress = std::function<bool(double fraction, const std::string& step)>;

// Imports `modelPath` with `options` by running `program` (flexherd-import) with its output in
// `outputDirectory` (which must exist; the skin file is named after the model, "name-2.bin"
// and so on when an earlier import's files are there). Returns once the child has ended. On
// cancel returns with `cancelled` set and leaves no output behind. If `progress` throws, the
// child is killed and the exception passes on.
// Throws IOException naming the model when the import fails, with the child's own message
// ("Unable to import model '...': ..."), or saying that the importer crashed (with the
// signal) or could not be started. Every call waits for its child; none is left running.
ImportRun runImportProcess(const std::string& modelPath, const ImportOptions& options,
                           const std::filesystem::path& outputDirectory, const ImportRunProgress& progress,
                           const std::filesystem::path& program, std::size_t memoryLimitMiB);

// The same with the program found by findImportProgram and defaultImportMemoryLimit.
ImportRun runImportProcess(const std::string& modelPath, const ImportOptions& options,
                           const std::filesystem::path& outputDirectory, const ImportRunProgress& progress);

// A model the import could not turn into skins: what runImportProcess throws, with its
// message. Told apart from the failures of skin files so that the viewer shows it under
// "Error importing model".
class ModelImportException : public IOException {
public:
    using IOException::IOException;
};

// The import as the viewer's file loading takes a skin file (BinarySkinLoader.h), with the
// default options, findImportProgram and defaultImportMemoryLimit: the skins and the directory
// their texture names are relative to. Throws ModelImportException for a model that cannot be
// imported, with the message runImportProcess would throw. A cancelled import gives no skins.
SkinFile importModelFile(const std::string& modelPath, const std::filesystem::path& outputDirectory,
                         const ImportRunProgress& progress);

// flexherd-import beside the running program (the installed layout), else the one this build
// made, else the bare name, looked up in PATH when it is run.
std::filesystem::path findImportProgram();

// Three quarters of the machine's memory, at least 1 GiB: what the child may allocate before
// its allocations fail (a hostile file asking for hundreds of gigabytes fails at once).
std::size_t defaultImportMemoryLimit();

// A new private directory for import outputs, "<temp>/flexherd-import-<pid>-<n>"; the caller
// removes it (with removeImportDirectory) once the skins' textures are no longer needed.
// Throws IOException when it cannot be made.
std::filesystem::path createImportDirectory();
void removeImportDirectory(const std::filesystem::path& directory);
