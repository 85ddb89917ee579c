#pragma once

// The writer fault check every writer goes through, in-process or as a child program:
// the disk fails at each counted call in turn with each fault, and after every fault the
// error must be reported naming the file, the file there before must be intact byte for byte,
// no temporary file may be left in the directory, and the next write without a fault must
// succeed. Then the same for paths that cannot be written: a read-only directory, a path that
// is a directory and a path under a plain file.

#include "FaultInjection.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace faultinjection {

// One write attempt: the error the writer reported (caption and message as the user sees
// them), or nullopt when it reported success, and what the fault layer saw.
struct Attempt {
    std::optional<std::string> error;
    Outcome outcome;
};

// What a sound writer met: whether the file could not even be made (a read-only or missing
// directory), and the system's error.
struct ExpectedFailure {
    bool creating = false;
    int error = 0;
    // The system's text for the error ("No space left on device").
    std::string reason() const;
};

struct WriterUnderTest {
    std::string name;
    // The files one write makes in its directory, in the order it writes them.
    std::vector<std::string> files;
    // Writes the files into the directory under the plan (the directory is the plan's, or,
    // for the unwritable paths, one the writer cannot use).
    std::function<Attempt(const std::filesystem::path& directory, const FaultPlan& plan)> write;
    // Checks written files through a reader of their format; may be empty.
    std::function<void(const std::filesystem::path& directory)> readBack;
    // Checks the wording of a reported error about the file at `path`; may be empty.
    std::function<void(const std::string& error, const std::string& path, const ExpectedFailure& expected)> checkError;
};

// Wraps a writer that runs in this process: arms before and disarms after.
std::function<Attempt(const std::filesystem::path&, const FaultPlan&)>
inProcess(std::function<std::optional<std::string>(const std::filesystem::path& directory)> write);

// How many faults of each kind a check injected.
struct FaultTally {
    std::map<Fault, int> injected;
    Counts callsPerWrite;
    int total() const;
};

struct FaultCheckOptions {
    // The faults tried, each at every call it can strike.
    std::vector<Fault> faults{kAllFaults.begin(), kAllFaults.end()};
    // Write once more without a fault after every fault (else once at the end): for a writer
    // in this process, which must go on working; a child program starts afresh anyway.
    bool nextWriteAfterEachFault = true;
};

// Every fault at every call the writer makes. `directory` must exist and be empty; the
// tally is also printed so that a run shows its figures.
FaultTally expectSoundUnderEveryFault(const WriterUnderTest& writer, const std::filesystem::path& directory,
                                      const FaultCheckOptions& options = {});

// A read-only directory, a path that is a directory and a path under a plain file. The
// directory is made read-only for real: mode 0555, and when the tests run as root (whom
// permission bits do not stop) the write runs with the effective user "nobody", so the
// kernel's own check refuses it. `readOnlyDirectory` false leaves that case out, for a child
// program that could not reach its X display as another user.
void expectSoundOnUnwritablePaths(const WriterUnderTest& writer, const std::filesystem::path& directory,
                                  bool readOnlyDirectory = true);

// The messages the writers report for a failure with the file at path, as the commands'
// error boxes and batch mode show them after the caption.
namespace expected {
std::string atomicWriter(const std::string& path, const ExpectedFailure& failure);
std::string herdFile(const std::string& path, const ExpectedFailure& failure);
std::string cameraKeys(const std::string& path, const ExpectedFailure& failure);
std::string objFile(const std::string& path, const ExpectedFailure& failure);
std::string image(const std::string& path);
} // namespace expected

// The whole contents of a file; nullopt when it cannot be read.
std::optional<std::string> fileBytes(const std::filesystem::path& path);

} // namespace faultinjection
