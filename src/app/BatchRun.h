#pragma once

#include "app/BatchOptions.h"

#include <optional>

class MyFrame;

// The command line applied to the running viewer: settings as menu clicks, the animal count
// and frame, and in batch mode the action, run once the window can draw, after which the
// program ends with the action's exit status.

// Sets a menu item as a user's click would (a check item to checked, a radio item checked)
// and sends the frame the item's command. False when the frame has no such item or it is
// disabled, since a user could not click it either.
bool chooseMenuItem(MyFrame& frame, int id, bool checked);

// The settings that need no loaded files (and the seed of the herds): call before loading
// them. An item the settings
// before it disabled ("Display lists" with "--software") is reported with showErrorBox.
void applyStartupChoices(MyFrame& frame, const BatchOptions& options);
// What needs the loaded herds: the fixed detail level, the animal count (else the top-up to
// ten) and the start frame. A level the herds do not have is reported with showErrorBox.
void applyLoadedChoices(MyFrame& frame, const BatchOptions& options);

// Batch mode: from now on error boxes are written to standard error as "caption: message"
// and mark the run as failed. Then, from the event loop, waits for the view's GL context,
// runs the action, and closes the frame, which ends the program.
void startBatchRun(MyFrame& frame, const BatchOptions& options);
// Installs the standard-error reporting alone (done first, so load errors are caught too).
void reportErrorsOnStandardError();

// The status the program should end with, once a batch run has finished; empty otherwise.
std::optional<int> batchExitStatus();
