#pragma once

#include <functional>
#include <string>

class ViewerCore;

// How the viewer opens a file named on the command line, in the open dialog or dropped on the
// window, without the window: the loader its name asks for, a relative name not found from the
// working directory looked up in the installed data directory (findDataFile), and every failure
// told to report(caption, message) so that a bad file never ends the program or the loading of
// the files after it. A failure that is the file's own keeps its caption and what was loaded
// before it counts as loaded (see loadFailureReport); any other is shown under "Error reading
// file", a path the file system rejects under "Error reading skin" / "Invalid path: 'PATH'.".
//
// prepare runs after every load that counts (the caller makes the renderers of new herds; an
// unreadable texture it throws is that file's failure). Returns whether the load counts.
bool openFileReporting(ViewerCore& core, const std::string& requested, const std::function<void()>& prepare,
                       const std::function<void(const std::string& caption, const std::string& message)>& report);
