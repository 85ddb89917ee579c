#pragma once

#include <array>

// The inverse of a 4x4 matrix (any element order: the inverse of the transpose is the
// transpose of the inverse) by cofactor expansion in double precision, as gluUnProject does
// it. Returns false and leaves out untouched for a singular or non-finite matrix.
bool invert4x4(const std::array<double, 16>& a, std::array<double, 16>& out);
