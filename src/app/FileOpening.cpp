#include "app/FileOpening.h"

#include "app/DataFiles.h"
#include "app/LoadFailureReport.h"
#include "foundation/Exception.h"
#include "skin/FileDispatch.h"
#include "viewer/ModelImportHooks.h"
#include "viewer/ViewerCore.h"

#include <filesystem>
#include <new>

bool openFileReporting(ViewerCore& core, const std::string& requested, const std::function<void()>& prepare,
                       const std::function<void(const std::string& caption, const std::string& message)>& report)
{
    // A bare sample name also finds the installed samples.
    const std::string path = findDataFile(requested);
    try {
        try {
            core.openFile(path);
        } catch (const ModelImportCancelled&) {
            // The user's choice, not a failure: the herds before the cancelled model stay.
            prepare();
            return true;
        } catch (const Exception& e) {
            const LoadFailureReport failure = loadFailureReport(fileKindOf(path), e, "Error reading file");
            if (!failure.loadCompleted) throw;
            // The file's own failure: what was loaded before it stays and counts as loaded.
            prepare();
            report(failure.caption, e.message());
            return true;
        }
        // An unreadable texture is this file's failure, reported as such.
        prepare();
        return true;
    } catch (const std::filesystem::filesystem_error&) {
        report("Error reading skin", "Invalid path: '" + path + "'.");
    } catch (const Exception& e) {
        // Not only IOException: a malformed OBJ mesh named by a text skin raises
        // ParserException, which must not end the program.
        report("Error reading file", e.message());
    } catch (const std::bad_alloc&) {
        // A file too large for this machine is that file's failure, not the program's end.
        report("Error reading file", "Not enough memory to read '" + path + "'.");
    }
    return false;
}
