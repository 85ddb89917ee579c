#include "TextFormat.h"

#include <charconv>
#include <cstdio>

void appendFloat(std::string& out, float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendObjNumber(std::string& out, float value)
{
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%.10g", static_cast<double>(value));
    out.append(buffer, static_cast<std::size_t>(length));
}
