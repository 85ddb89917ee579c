#include "render/ExportNaming.h"

#include "foundation/Exception.h"

#include <cctype>
#include <climits>
#include <iomanip>
#include <sstream>

long parseLeadingInteger(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        // Saturate instead of overflowing: a huge number must still read as out of range.
        if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::string sequenceFrameName(const std::string& path, int frameIndex)
{
    const std::size_t nameStart = path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) throw IOException("Invalid filename: " + path);
    std::ostringstream name;
    name << path.substr(0, dot) << '.' << std::setw(4) << std::setfill('0') << frameIndex << path.substr(dot);
    return name.str();
}

std::string timedemoReport(int frames, double seconds)
{
    std::ostringstream report;
    report << "timedemo complete.\n"
           << "\tframes:\t" << frames << "\n"
           << "\ttotal time:\t" << seconds << "s\n"
           << "\ttime per frame:\t" << (seconds / frames) << "s/frame\n"
           << "\taverage fps:\t" << (frames / seconds) << "fps\n";
    return report.str();
}

std::string videoFrameFailure(const std::string& path, const std::string& message)
{
    const std::string imagePrefix = "Unable to write to image '" + path + "'";
    if (message.rfind(imagePrefix, 0) != 0) return message;
    return "Unable to write video '" + path + "'" + message.substr(imagePrefix.size());
}
