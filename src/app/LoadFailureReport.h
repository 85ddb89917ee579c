#pragma once

#include "skin/FileDispatch.h"

#include <string>

class Exception;

// How a command that loads a file reports a failure of the loader. A failure that is the
// file's own keeps its caption whichever command loaded the file, and what was loaded before
// it counts as loaded (the menus are rebuilt as after a load that worked): "Error reading
// skin" for a skin file that is not usable, "Error reading file" for the mesh of a text skin
// named by a herd file, "Error reading camera keys" for a keys file that ends early, "Error
// importing model" for a model file that could not be imported (opened or named by a herd
// file). Any other failure is the command's, shown under its caption, and nothing counts as
// loaded.
// Free of the toolkit so that the rules are tested without a display.
struct LoadFailureReport {
    std::string caption;
    bool loadCompleted = false;
    bool operator==(const LoadFailureReport&) const = default;
};

LoadFailureReport loadFailureReport(FileKind kind, const Exception& failure, const std::string& commandCaption);
