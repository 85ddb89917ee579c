#include "foundation/PortableMath.h"

#include <cmath>
#include <limits>

// Range reduction followed by truncated series in Horner form. Only +, -, *, /, sqrt, floor,
// ldexp and frexp are used: each is exactly rounded (or exact), so the order of operations
// alone fixes the result.

namespace portable {
namespace {

// pi/2 in three parts: the first two have 33 significant bits, so k times either is exact for
// |k| < 2^20, and x - k * (pi/2) keeps its accuracy far from zero.
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi = 0x1.921fb54442d18p+0;
constexpr double kPi = 0x1.921fb54442d18p+1;
// ln 2 in two parts, the first with 32 significant bits.
constexpr double kLn2High = 0x1.62e42feep-1;
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
constexpr double kLog2E = 0x1.71547652b82fep+0;
constexpr double kSqrtHalf = 0x1.6a09e667f3bcdp-1;

// 1/n!, n = 2 .. 19, rounded to nearest.
constexpr double kInverseFactorial[] = {
    0x1.0p-1,               0x1.5555555555555p-3, 0x1.5555555555555p-5, 0x1.1111111111111p-7,
    0x1.6c16c16c16c17p-10,  0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-16, 0x1.71de3a556c734p-19,
    0x1.27e4fb7789f5cp-22,  0x1.ae64567f544e4p-26, 0x1.1eed8eff8d898p-29, 0x1.6124613a86d09p-33,
    0x1.93974a8c07c9dp-37,  0x1.ae7f3e733b81fp-41, 0x1.ae7f3e733b81fp-45, 0x1.952c77030ad4ap-49,
    0x1.6827863b97d97p-53,  0x1.2f49b46814157p-57,
};
constexpr double inverseFactorial(int n)
{
    return kInverseFactorial[n - 2];
}

// sin r and cos r for |r| <= pi/4: Taylor series to r^19 and r^18, whose next terms are below
// 1e-19 of the result there.
double sinReduced(double r)
{
    const double r2 = r * r;
    double sum = -inverseFactorial(19);
    for (int n = 17; n >= 3; n -= 2) sum = (n % 4 == 1 ? inverseFactorial(n) : -inverseFactorial(n)) + r2 * sum;
    return r + r * (r2 * sum);
}

double cosReduced(double r)
{
    const double r2 = r * r;
    double sum = -inverseFactorial(18);
    for (int n = 16; n >= 2; n -= 2) sum = (n % 4 == 0 ? inverseFactorial(n) : -inverseFactorial(n)) + r2 * sum;
    return 1.0 + r2 * sum;
}

// x = k pi/2 + r with |r| <= pi/4 (a little more when rounding puts x at the edge).
double reduce(double x, long long& quadrant)
{
    const double k = std::floor(x * kTwoOverPi + 0.5);
    quadrant = static_cast<long long>(k);
    return ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
}

// atan x for |x| <= tan(pi/16) ~ 0.199: alternating series to x^27, next term below 1e-19.
double atanSmall(double x)
{
    const double x2 = x * x;
    double sum = -1.0 / 27.0;
    for (int n = 25; n >= 3; n -= 2) sum = (n % 4 == 1 ? 1.0 : -1.0) / n + x2 * sum;
    return x + x * (x2 * sum);
}

// atan x for |x| <= 1: two halvings, atan x = 2 atan(x / (1 + sqrt(1 + x^2))), bring the
// argument under tan(pi/16).
double atanUnit(double x)
{
    for (int i = 0; i < 2; ++i) x = x / (1.0 + std::sqrt(1.0 + x * x));
    return 4.0 * atanSmall(x);
}

} // namespace

double sin(double x)
{
    if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
    long long quadrant = 0;
    const double r = reduce(x, quadrant);
    switch (quadrant & 3) {
    case 0: return sinReduced(r);
    case 1: return cosReduced(r);
    case 2: return -sinReduced(r);
    default: return -cosReduced(r);
    }
}

double cos(double x)
{
    if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
    long long quadrant = 0;
    const double r = reduce(x, quadrant);
    switch (quadrant & 3) {
    case 0: return cosReduced(r);
    case 1: return -sinReduced(r);
    case 2: return -cosReduced(r);
    default: return sinReduced(r);
    }
}

double exp(double x)
{
    if (std::isnan(x)) return x;
    if (x > 709.8) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0.0;
    // x = k ln2 + r, |r| <= ln2 / 2; Taylor series of e^r to r^13 (next term below 5e-18).
    const double k = std::floor(x * kLog2E + 0.5);
    const double r = (x - k * kLn2High) - k * kLn2Low;
    double sum = inverseFactorial(13);
    for (int n = 12; n >= 2; --n) sum = inverseFactorial(n) + r * sum;
    const double e = 1.0 + (r + r * (r * sum));
    return std::ldexp(e, static_cast<int>(k));
}

double log(double x)
{
    if (std::isnan(x) || x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); log m = 2 atanh s, s = (m - 1) / (m + 1), |s| <
    // 0.172, by its series to s^25 (next term below 1e-19).
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < kSqrtHalf) {
        m *= 2.0;
        --e;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 1.0 / 25.0;
    for (int n = 23; n >= 3; n -= 2) sum = 1.0 / n + s2 * sum;
    const double logM = 2.0 * s + 2.0 * s * (s2 * sum);
    return e * kLn2High + (e * kLn2Low + logM);
}

double pow(double x, double y)
{
    if (y == 0.0) return 1.0;
    if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return y > 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    if (x < 0.0) {
        if (std::floor(y) != y) return std::numeric_limits<double>::quiet_NaN();
        const double magnitude = exp(y * log(-x));
        return std::fmod(y, 2.0) == 0.0 ? magnitude : -magnitude;
    }
    return exp(y * log(x));
}

double atan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0 && y == 0.0) return 0.0;
    // The angle of the first octant's mirror image, then the octant.
    const double ax = std::fabs(x), ay = std::fabs(y);
    double angle = ay <= ax ? atanUnit(ay / ax) : kHalfPi - atanUnit(ax / ay);
    if (x < 0.0) angle = kPi - angle;
    return y < 0.0 ? -angle : angle;
}

double acos(double x)
{
    if (!(x >= -1.0 && x <= 1.0)) return std::numeric_limits<double>::quiet_NaN();
    return atan2(std::sqrt((1.0 - x) * (1.0 + x)), x);
}

double hypot(double x, double y)
{
    const double ax = std::fabs(x), ay = std::fabs(y);
    const double larger = ax > ay ? ax : ay, smaller = ax > ay ? ay : ax;
    if (larger == 0.0 || std::isinf(larger)) return larger;
    const double ratio = smaller / larger;
    return larger * std::sqrt(1.0 + ratio * ratio);
}

} // namespace portable
