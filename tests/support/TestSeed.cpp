#include "TestSeed.h"

#include <cstdlib>
#include <stdexcept>

namespace {

constexpr std::int32_t kDefaultSeed = 20261207;

} // namespace

std::int32_t testSeed()
{
    const char* given = std::getenv("FLEXHERD_TEST_SEED");
    if (given == nullptr || *given == '\0') return kDefaultSeed;
    char* end = nullptr;
    const long value = std::strtol(given, &end, 10);
    if (*end != '\0' || value < INT32_MIN || value > INT32_MAX)
        throw std::invalid_argument(std::string("FLEXHERD_TEST_SEED is not a 32-bit integer: '") + given + "'");
    return static_cast<std::int32_t>(value);
}

std::string seedTrace(std::int32_t seed)
{
    return "random seed " + std::to_string(seed) + " (set FLEXHERD_TEST_SEED=" + std::to_string(seed) +
           " to repeat)";
}
