#pragma once

#include <cstdint>
#include <string>

// The seed of the random scenes the tests build: FLEXHERD_TEST_SEED when it is set (to repeat
// a failing run, or to try others), else a fixed one, so that every run draws the same herds.
// Tests print it with every failure (seedTrace).
std::int32_t testSeed();

// "random seed N (set FLEXHERD_TEST_SEED=N to repeat)", for SCOPED_TRACE.
std::string seedTrace(std::int32_t seed);
