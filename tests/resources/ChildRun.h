#pragma once

#include "foundation/Sanitizers.h"

#include <cstdint>
#include <functional>
#include <string>

// Runs a piece of reading in a child process, so that a reader which exhausts memory fails its
// test instead of the machine: the child gets an address-space limit (RLIMIT_AS, except under
// the address sanitizer, which needs terabytes of address space for its shadow) and reports how
// far its resident memory rose above where it started.
namespace childrun {

struct Outcome {
    bool finished = false;   // the child ended normally
    int signal = 0;          // the signal that ended it otherwise
    std::string result;      // what the reading returned, "std::bad_alloc", or a description
    double peakGrowthMiB = 0; // highest resident memory minus the resident memory at its start
};

// Extra address space the child may map beyond what it has at its start.
constexpr std::uint64_t kAddressSpaceAllowance = std::uint64_t(3) << 30;

// Memory the sanitizers add: the address sanitizer keeps up to 256 MiB of freed blocks in
// quarantine and pads every block.
constexpr bool kSanitized = kAddressSanitizer;

// The bound a test states, in MiB, as the child is measured: the same without sanitizers,
// widened for their padding and quarantine with them.
inline double allowedMiB(double bound)
{
    return kSanitized ? 2 * bound + 300 : bound;
}

// Runs read() in a forked child; its return value (or the message of whatever it throws)
// becomes the result.
Outcome run(const std::function<std::string()>& read);

// A named pipe at path whose writer, a second child, writes `header` once, then `next(i)` for
// i = 0, 1, ... until `total` bytes are written or the reader goes. Made by the constructor,
// gone with the object (the writer is stopped by its process id).
class GeneratedFile {
public:
    GeneratedFile(std::string path, std::string header, std::function<std::string(std::uint64_t)> next,
                  std::uint64_t total);
    ~GeneratedFile();
    GeneratedFile(const GeneratedFile&) = delete;
    GeneratedFile& operator=(const GeneratedFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    int m_writer = -1;
};

// Writes `header` at the start of a file of `size` bytes whose rest is a hole: a gigabyte of
// zeros that takes no disk space.
void writeSparseFile(const std::string& path, const std::string& header, std::uint64_t size);

} // namespace childrun
