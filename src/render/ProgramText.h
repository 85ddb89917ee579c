#pragma once

// Text handling around ARB vertex programs that needs no GL: what is handed to the driver and
// how a driver's rejection is reported. The generated programs carry '#' comment lines for
// people reading them in the "Show vertex program..." dialog; the driver gets them without.

#include <string>
#include <string_view>

// The text with every line whose first character is '#' removed together with its line feed.
// Other lines are kept whole, including a '#' later in the line and a last line without a
// line feed.
std::string stripCommentLines(std::string_view text);

// The message for a program the driver rejected: when position is not negative,
// "Caught error at position: " position ": '" up to ten characters of the loaded text from
// there "'" and a line feed; then the driver's error string. A position past the end quotes
// nothing rather than reading beyond the text.
std::string programErrorMessage(std::string_view loadedText, long position, std::string_view driverError);
