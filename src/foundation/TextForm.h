#pragma once

// The bracketed text form of vectors and 3x3 matrices ("[1 2 3]"), used by the cameras'
// stored form. Readers never throw: on bad input they write a message to standard error,
// set the stream's fail state and leave the target unchanged.

#include "foundation/Matrix3f.h"
#include "foundation/Vector2f.h"
#include "foundation/Vector3f.h"

#include <iosfwd>

// The caller's field width applies to every number.
std::ostream& operator<<(std::ostream& os, const Vector2f& v);
std::ostream& operator<<(std::ostream& os, const Vector3f& v);
// Three bracketed rows inside one pair of brackets, one row per line.
std::ostream& operator<<(std::ostream& os, const Matrix3f& m);

std::istream& operator>>(std::istream& is, Vector2f& v);
std::istream& operator>>(std::istream& is, Vector3f& v);
std::istream& operator>>(std::istream& is, Matrix3f& m);
