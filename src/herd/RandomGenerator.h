#pragma once

#include <boost/random/inversive_congruential.hpp>

#include <cstdint>

// The one random generator type of the system: Boost's hellekalek1995 inversive congruential
// engine, seeded once from the operating system's random source. Every placing herd and the
// scene own one each; nothing is shared, so no herd's draws depend on another's.
class RandomGenerator {
public:
    using Engine = boost::random::hellekalek1995;

    // Seeded from getrandom(); when that fails, warns on standard error and uses the time.
    RandomGenerator();
    // Seeded with |seed| (a zero seed is replaced as the OS path would): reproducible runs
    // for tests and benchmarks.
    explicit RandomGenerator(std::int32_t seed);

    // U{0..n-1}; n must be at least 1.
    unsigned uniformIndex(unsigned n);
    // U(lo, hi); the bounds may come in either order, and an empty interval gives lo.
    double uniformReal(double lo, double hi);
    // One sample of a fresh N(0, s) distribution.
    double normal(double s);

    // For callers that draw successive samples of one distribution object.
    Engine& engine() { return m_engine; }

    // The seed the operating system gives: 4 random bytes, never 0.
    static std::int32_t systemSeed();
    // A seed for stream number `stream` of a seeded owner: the same pair gives the same seed on
    // every run, and different streams look unrelated (consecutive seeds of the inversive
    // congruential engine would start off alike). Never 0.
    static std::int32_t derivedSeed(std::int32_t seed, std::uint32_t stream);

private:
    void seedWith(std::int32_t seed);

    Engine m_engine;
};
