#pragma once

#include <functional>
#include <string>

class wxWindow;

// Receives every error report in place of the modal box. Installed by in-process GUI tests,
// which must read exact captions and messages without a person clicking "OK".
using ErrorBoxHook = std::function<void(const std::string& caption, const std::string& message)>;

// Installs hook (an empty function removes it) and returns the one it replaces, so a test can
// restore the previous state.
ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook);

// Tells the user that a command failed: a modal wxMessageDialog with caption, message, an OK
// button and the error icon, centred on parent (null: no parent), destroyed once dismissed.
// Captions and messages are UTF-8.
//
// Where the report goes, first match wins:
//  1. the hook set with setErrorBoxHook;
//  2. the file named by the environment variable FLEXHERD_ERROR_LOG, when it is set and not
//     empty: one line "caption<TAB>message" is appended per report, with backslash, tab and
//     newline inside the texts written as "\\", "\t" and "\n" so a record is always one line.
//     Scripted runs of the viewer (screenshots, smoke tests) use it, since nobody is there to
//     dismiss a modal box. If the file cannot be opened the dialog is shown instead;
//  3. the dialog.
void showErrorBox(const std::string& caption, const std::string& message, wxWindow* parent);
