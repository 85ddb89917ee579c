#pragma once

#include <functional>
#include <iosfwd>
#include <string>

// How far a batch export is, for a person watching a terminal: "TITLE: frame 12 of 48"
// rewritten in place on out (a carriage return before each), at most once per whole percent,
// and a line end after the last frame. Never asks to stop. Batch runs use it only when
// standard error is a terminal, so logs and pipes get no progress lines.
std::function<bool(int done, int total)> terminalProgress(std::ostream& out, std::string title);
