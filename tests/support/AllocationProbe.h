#pragma once

#include <cstddef>

// Watches the sizes the program asks operator new for while a probe lives, so that a reader
// test can check that a count claiming gigabytes is refused before anything of that size is
// allocated (a timer would only notice the allocations that are slow, and only on slow
// machines). Linking this file replaces the global operator new and delete of the program with
// ones that forward to malloc and free. One probe at a time; not thread-safe.
class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    // The largest single request since the probe was made, in bytes.
    std::size_t largest() const;
};
