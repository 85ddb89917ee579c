#pragma once

#include <cstddef>
#include <functional>

// Runs body(i) for every i in [0, count) on up to `threads` threads (0: one per processor).
// Every item must write only its own results: items are independent, so the results do not
// depend on the thread count or the order in which the threads take them. The first
// exception thrown by any item is rethrown here once all threads have stopped.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body, unsigned threads = 0);
