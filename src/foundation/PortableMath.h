#pragma once

// Elementary functions that give the same bits on every x86-64 processor. The C library picks
// a version of sin, cos, pow, atan2 and friends for the processor at load time (with fused
// multiply-adds where the processor has them), and the versions may differ in the last bit;
// the sample files are pinned byte for byte, so the generator computes these itself from
// exactly rounded operations in a fixed order. Accurate to a few units in the last place for
// the arguments the generator uses (|x| below a million for sin and cos).
namespace portable {

double sin(double x);
double cos(double x);
// exp and log of finite arguments; log(0) is -infinity, log of a negative number NaN.
double exp(double x);
double log(double x);
// x^y for x >= 0 (0^y is 0 for y > 0, 1 for y = 0); for x < 0 only integer y, else NaN.
double pow(double x, double y);
// The angle of (x, y) in [-pi, pi]; atan2(0, 0) is 0.
double atan2(double y, double x);
// acos of x in [-1, 1], in [0, pi]; NaN outside.
double acos(double x);
// sqrt(x^2 + y^2) without overflow or underflow on the way.
double hypot(double x, double y);

} // namespace portable
