// The generator's own elementary functions against the C library's: they must be as accurate
// to within a few units in the last place, over the arguments the generator uses and beyond.
#include "foundation/PortableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace {

// Distance in units in the last place of `expected`. The C library is itself within about one
// unit of the true value, so the bounds below allow for that.
double ulpsApart(double got, double expected)
{
    if (got == expected) return 0.0;
    if (std::isnan(got) || std::isnan(expected)) return std::numeric_limits<double>::infinity();
    const double unit = std::nextafter(std::fabs(expected), std::numeric_limits<double>::infinity()) - std::fabs(expected);
    return std::fabs(got - expected) / unit;
}

struct Worst {
    double ulps = 0.0;
    double argument = 0.0;
    void see(double got, double expected, double x)
    {
        const double u = ulpsApart(got, expected);
        if (u > ulps) {
            ulps = u;
            argument = x;
        }
    }
};

} // namespace

TEST(PortableMath, AgreesWithTheCLibraryToAFewUnitsInTheLastPlace)
{
    const std::uint32_t seed = 7;
    std::mt19937_64 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    Worst sin, cos, exp, log, atan2, acos, hypot, pow;
    for (int i = 0; i < 200000; ++i) {
        // Angles mostly where the generator's lie, some up to a million.
        const double angle = i % 10 == 0 ? uniform(-1e6, 1e6) : uniform(-20.0, 20.0);
        sin.see(portable::sin(angle), std::sin(angle), angle);
        cos.see(portable::cos(angle), std::cos(angle), angle);
        const double e = uniform(-700.0, 700.0);
        exp.see(portable::exp(e), std::exp(e), e);
        const double positive = std::exp2(uniform(-1000.0, 1000.0));
        log.see(portable::log(positive), std::log(positive), positive);
        const double y = uniform(-10.0, 10.0), x = uniform(-10.0, 10.0);
        atan2.see(portable::atan2(y, x), std::atan2(y, x), y);
        const double c = uniform(-1.0, 1.0);
        acos.see(portable::acos(c), std::acos(c), c);
        hypot.see(portable::hypot(x * 1e200, y * 1e200), std::hypot(x * 1e200, y * 1e200), x);
        // Exponents and bases as the generator's shapes and sky use them.
        const double base = uniform(0.0, 1.0), power = uniform(0.1, 8.0);
        pow.see(portable::pow(base, power), std::pow(base, power), base);
    }
    SCOPED_TRACE("seed " + std::to_string(seed));
    EXPECT_LE(sin.ulps, 2.0) << "at " << sin.argument;
    EXPECT_LE(cos.ulps, 2.0) << "at " << cos.argument;
    EXPECT_LE(exp.ulps, 2.0) << "at " << exp.argument;
    EXPECT_LE(log.ulps, 2.0) << "at " << log.argument;
    EXPECT_LE(atan2.ulps, 5.0) << "at " << atan2.argument;
    EXPECT_LE(acos.ulps, 6.0) << "at " << acos.argument;
    EXPECT_LE(hypot.ulps, 2.0) << "at " << hypot.argument;
    // pow goes through exp(y log x): the rounding of y log x grows with its size, here up to
    // about 8 * 700 ulps of log x's scale at the smallest bases; a few hundred units in the
    // last place are still ~1e-13 relative, far finer than the floats the files hold.
    EXPECT_LE(pow.ulps, 400.0) << "at " << pow.argument;
}

TEST(PortableMath, SpecialValues)
{
    const double pi = std::numbers::pi;
    EXPECT_EQ(portable::sin(0.0), 0.0);
    EXPECT_EQ(portable::cos(0.0), 1.0);
    EXPECT_EQ(portable::exp(0.0), 1.0);
    EXPECT_EQ(portable::log(1.0), 0.0);
    EXPECT_EQ(portable::log(8.0), 3.0 * portable::log(2.0));
    EXPECT_EQ(portable::pow(0.7, 0.0), 1.0);
    EXPECT_EQ(portable::pow(0.0, 0.3), 0.0);
    EXPECT_NEAR(portable::pow(-2.0, 3.0), -8.0, 1e-14);
    EXPECT_NEAR(portable::pow(-2.0, 2.0), 4.0, 1e-14);
    EXPECT_TRUE(std::isnan(portable::pow(-2.0, 0.5)));
    EXPECT_EQ(portable::atan2(0.0, 1.0), 0.0);
    EXPECT_EQ(portable::atan2(1.0, 0.0), pi / 2);
    EXPECT_EQ(portable::atan2(0.0, -1.0), pi);
    EXPECT_EQ(portable::atan2(-1.0, 0.0), -pi / 2);
    EXPECT_EQ(portable::atan2(0.0, 0.0), 0.0);
    EXPECT_EQ(portable::acos(1.0), 0.0);
    EXPECT_EQ(portable::acos(-1.0), pi);
    EXPECT_TRUE(std::isnan(portable::acos(1.5)));
    EXPECT_EQ(portable::hypot(3.0, 4.0), 5.0);
    EXPECT_EQ(portable::hypot(0.0, 0.0), 0.0);
    EXPECT_EQ(portable::exp(-800.0), 0.0);
    EXPECT_EQ(portable::exp(800.0), std::numeric_limits<double>::infinity());
    EXPECT_EQ(portable::log(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(portable::log(-1.0)));
    EXPECT_TRUE(std::isnan(portable::sin(std::numeric_limits<double>::infinity())));
    // sin(pi) is pi's own rounding error, which the reduction keeps.
    EXPECT_NEAR(portable::sin(pi), 1.2246467991473532e-16, 1e-31);
}
