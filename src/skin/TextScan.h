#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

// Small scanners over one line of a text file, shared by the OBJ, MTL and text skin readers.
// Each takes a cursor into the line and advances it past what it read; on failure the cursor
// is left where it was. Numbers go through std::from_chars: a mesh file holds millions of them.
namespace textscan {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline const char* skipBlanks(const char* p, const char* end)
{
    while (p != end && isBlank(*p)) ++p;
    return p;
}

// A number must end at a blank or at the end of the line: "1x" and "1,2" are not numbers.
inline bool endsToken(const char* p, const char* end)
{
    return p == end || isBlank(*p);
}

// A decimal real after optional blanks: optional sign, digits with an optional fraction and
// exponent. "inf" and "nan" are not numbers here, whatever from_chars would make of them.
inline bool readReal(const char*& cursor, const char* end, double& value)
{
    const char* p = skipBlanks(cursor, end);
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || !(isDigit(*p) || (*p == '.' && p + 1 != end && isDigit(p[1])))) return false;
    double magnitude = 0.0;
    const auto result = std::from_chars(p, end, magnitude, std::chars_format::general);
    // A value beyond double's range ("1e999") is no number either: it would only become an
    // infinity in a bounding box.
    if (result.ec != std::errc() || !endsToken(result.ptr, end)) return false;
    value = negative ? -magnitude : magnitude;
    cursor = result.ptr;
    return true;
}

// A signed decimal integer after optional blanks that fits T; with `wholeToken` it must end
// at a blank or the end of the line.
template <typename T>
inline bool readInteger(const char*& cursor, const char* end, T& value, bool wholeToken = true)
{
    const char* p = skipBlanks(cursor, end);
    if (p != end && *p == '+' && p + 1 != end && isDigit(p[1])) ++p;
    T parsed{};
    const auto result = std::from_chars(p, end, parsed);
    if (result.ec != std::errc()) return false;
    if (wholeToken && !endsToken(result.ptr, end)) return false;
    value = parsed;
    cursor = result.ptr;
    return true;
}

// True when only blanks are left.
inline bool atEnd(const char* p, const char* end)
{
    return skipBlanks(p, end) == end;
}

// The printable non-blank characters of [p, end) run together: OBJ and MTL name arguments
// never hold spaces, and blanks between parts of a name are dropped.
inline std::string_view::size_type appendName(const char* p, const char* end, std::string& name)
{
    std::string_view::size_type count = 0;
    for (; p != end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c > 0x20 && c < 0x7f) {
            name += static_cast<char>(c);
            ++count;
        }
    }
    return count;
}

} // namespace textscan
