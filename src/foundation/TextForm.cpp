#include "foundation/TextForm.h"

#include <iostream>

namespace {

// Consumes the next non-blank character and tells whether it was the expected one.
bool expectChar(std::istream& is, char expected)
{
    is >> std::ws;
    const int c = is.get();
    return c == expected;
}

// The shared body of the vector readers: brackets around `count` numbers.
template <int count>
bool readBracketedNumbers(std::istream& is, float (&values)[count])
{
    if (!expectChar(is, '[')) {
        std::cerr << "Error: Expected '[' while reading vector\n";
        is.setstate(std::ios::failbit);
        return false;
    }
    for (float& value : values) is >> value;
    if (is.fail()) {
        std::cerr << "Error: Expected number while reading vector\n";
        return false;
    }
    if (!expectChar(is, ']')) {
        std::cerr << "Error: Expected ']' while reading vector\n";
        is.setstate(std::ios::failbit);
        return false;
    }
    return true;
}

} // namespace

std::ostream& operator<<(std::ostream& os, const Vector2f& v)
{
    // Width is reset by every formatted write, so it is taken once and re-applied per number.
    const std::streamsize width = os.width(0);
    os << '[';
    os.width(width);
    os << v.x << ' ';
    os.width(width);
    os << v.y << ']';
    return os;
}

std::ostream& operator<<(std::ostream& os, const Vector3f& v)
{
    const std::streamsize width = os.width(0);
    os << '[';
    os.width(width);
    os << v.x << ' ';
    os.width(width);
    os << v.y << ' ';
    os.width(width);
    os << v.z << ']';
    return os;
}

std::ostream& operator<<(std::ostream& os, const Matrix3f& m)
{
    const std::streamsize width = os.width(0);
    os << '[';
    for (int r = 0; r < 3; ++r) {
        os.width(width);
        os << m.row[r];
        if (r < 2) os << std::endl;
    }
    os << ']' << std::endl;
    return os;
}

std::istream& operator>>(std::istream& is, Vector2f& v)
{
    float values[2];
    if (readBracketedNumbers(is, values)) v = {values[0], values[1]};
    return is;
}

std::istream& operator>>(std::istream& is, Vector3f& v)
{
    float values[3];
    if (readBracketedNumbers(is, values)) v = {values[0], values[1], values[2]};
    return is;
}

std::istream& operator>>(std::istream& is, Matrix3f& m)
{
    if (!expectChar(is, '[')) {
        std::cerr << "Expected '[' while reading matrix\n";
        is.setstate(std::ios::failbit);
        return is;
    }
    Matrix3f read;
    for (auto& row : read.row)
        if (!(is >> row)) break; // one message per bad row, then the matrix's own
    if (is.fail()) {
        std::cerr << "Expected number while reading matrix\n";
        return is;
    }
    if (!expectChar(is, ']')) {
        std::cerr << "Expected ']' while reading matrix\n";
        is.setstate(std::ios::failbit);
        return is;
    }
    m = read;
    return is;
}
