#pragma once

#include <string>

// A stream error met while writing or reading a camera keys file. The view shows it in an
// error box rather than raising it, because the records read before the error stay in force
// and the command should not report them as lost.
struct CameraKeysFailure {
    std::string caption; // "Error saving camera keys" or "Error reading camera keys"
    std::string message; // "Error writing file 'PATH': ..." or "Error reading file 'PATH': ..."
    bool operator==(const CameraKeysFailure&) const = default;
};
