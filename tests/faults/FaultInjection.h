#pragma once

// A failing disk for the writer tests. FaultInjection.cpp defines the C library's open, write,
// writev, pwrite, fsync, fdatasync, close, rename and renameat; linked into a test program
// (or preloaded into a child with LD_PRELOAD=libflexherd_faultshim.so) these take the place of
// the library's own and pass every call through, except while armed: then they count the
// calls on regular files in one watched directory and make the chosen one fail.
//
// A child is armed through its environment (environmentFor) and writes what happened to a
// report file when it exits (readReport).

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace faultinjection {

// The system calls that are counted.
enum class Call { Create, Write, Sync, Close, Rename };
constexpr int kCallKinds = 5;

enum class Fault {
    None,                  // count only
    NoSpace,               // the write fails with ENOSPC
    IOError,               // the write fails with EIO
    ShortWrite,            // the write takes half its bytes; later writes succeed
    ShortWriteThenNoSpace, // the write takes half its bytes and the next one on that file fails with ENOSPC
    Interrupted,           // the write fails with EINTR before taking anything
    SyncFails,             // fsync or fdatasync fails with EIO
    CloseFails,            // close releases the descriptor but fails with EIO (a delayed write error)
    RenameFails,           // rename fails with EIO and renames nothing
    CreateFails,           // creating a file fails with EACCES, as in a read-only directory
};

// Every fault but None, in the order the tests try them.
constexpr std::array<Fault, 9> kAllFaults = {Fault::NoSpace,     Fault::IOError,   Fault::ShortWrite,
                                             Fault::ShortWriteThenNoSpace, Fault::Interrupted,
                                             Fault::SyncFails,   Fault::CloseFails, Fault::RenameFails,
                                             Fault::CreateFails};

// The call a fault strikes.
Call callOf(Fault fault);
// Whether a sound writer must report the fault; a short write or an interrupted call is
// carried on from and the file written whole.
bool failsTheWriter(Fault fault);
const char* nameOf(Fault fault);
std::optional<Fault> faultNamed(std::string_view name);

struct Counts {
    std::array<int, kCallKinds> calls{};
    int& operator[](Call call) { return calls[static_cast<int>(call)]; }
    int operator[](Call call) const { return calls[static_cast<int>(call)]; }
};

// What an armed stretch saw: the calls counted, and whether the fault was injected.
struct Outcome {
    Counts counts;
    bool fired = false;
};

struct FaultPlan {
    std::filesystem::path directory; // only calls on files in this directory count
    Fault fault = Fault::None;
    int call = 0; // the 1-based number of the call of callOf(fault) that fails
};

// In this process: arm, run, disarm.
void arm(const FaultPlan& plan);
Outcome disarm();

// For a child process: the variables to set ("NAME=VALUE"), and its report once it exited.
// A child that never wrote its report (crashed, or not preloaded) gives nullopt.
std::array<std::string, 4> environmentFor(const FaultPlan& plan, const std::filesystem::path& report);
std::optional<Outcome> readReport(const std::filesystem::path& report);

} // namespace faultinjection
