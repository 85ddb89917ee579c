#include "render/ProgramText.h"

#include <algorithm>
#include <sstream>

std::string stripCommentLines(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        if (text[start] != '#') result.append(text.substr(start, end - start));
        start = end;
    }
    return result;
}

std::string programErrorMessage(std::string_view loadedText, long position, std::string_view driverError)
{
    std::ostringstream message;
    if (position >= 0) {
        const std::size_t from = std::min(static_cast<std::size_t>(position), loadedText.size());
        message << "Caught error at position: " << position << ": '" << loadedText.substr(from, 10) << "'\n";
    }
    message << driverError;
    return message.str();
}
