#include "herd/RandomGenerator.h"

#include <boost/random/normal_distribution.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <boost/random/uniform_real_distribution.hpp>

#include <sys/random.h>

#include <cerrno>
#include <ctime>
#include <iostream>
#include <utility>

RandomGenerator::RandomGenerator()
{
    seedWith(systemSeed());
}

RandomGenerator::RandomGenerator(std::int32_t seed)
{
    seedWith(seed == 0 ? 1 : seed);
}

std::int32_t RandomGenerator::systemSeed()
{
    std::int32_t seed = 0;
    while (seed == 0) {
        ssize_t got = -1;
        do {
            got = getrandom(&seed, sizeof seed, 0);
        } while (got < 0 && errno == EINTR);
        if (got != static_cast<ssize_t>(sizeof seed)) {
            std::cerr << "Warning: unable to obtain random seed." << std::endl;
            seed = static_cast<std::int32_t>(std::time(nullptr));
        }
    }
    return seed;
}

std::int32_t RandomGenerator::derivedSeed(std::int32_t seed, std::uint32_t stream)
{
    // SplitMix64's finaliser over the pair: every input bit reaches every output bit.
    std::uint64_t z = (std::uint64_t(static_cast<std::uint32_t>(seed)) << 32 | stream) + 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    // 1 .. 2147483646: distinct values leave the engine (modulus 2147483647) in distinct states.
    return static_cast<std::int32_t>(z % 2147483646u) + 1;
}

void RandomGenerator::seedWith(std::int32_t seed)
{
    // |INT32_MIN| does not fit an int32, so the magnitude is taken in unsigned arithmetic.
    const std::uint32_t magnitude =
        seed < 0 ? std::uint32_t(0) - static_cast<std::uint32_t>(seed) : static_cast<std::uint32_t>(seed);
    m_engine.seed(magnitude);
}

unsigned RandomGenerator::uniformIndex(unsigned n)
{
    boost::random::uniform_int_distribution<unsigned> distribution(0, n == 0 ? 0 : n - 1);
    return distribution(m_engine);
}

double RandomGenerator::uniformReal(double lo, double hi)
{
    // Boost's real distribution redraws until the result is below hi, so an empty interval
    // (a band of width 0, say) would never return; such an interval has only lo to give.
    if (hi < lo) std::swap(lo, hi);
    if (!(lo < hi)) return lo;
    boost::random::uniform_real_distribution<double> distribution(lo, hi);
    return distribution(m_engine);
}

double RandomGenerator::normal(double s)
{
    // A zero, negative or NaN deviation has no distribution; no spread at all is the
    // reasonable reading.
    if (!(s > 0.0)) return 0.0;
    boost::random::normal_distribution<double> distribution(0.0, s);
    return distribution(m_engine);
}
