#include "WriterFaults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace faultinjection {

namespace {

std::set<std::string> entries(const fs::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

void putBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What each file held before a write: nothing a writer could produce.
std::string previousBytes(const std::string& file)
{
    return "previous contents of " + file + "\n" + std::string(3000, '\x7f') + "\n";
}

void putPrevious(const WriterUnderTest& writer, const fs::path& directory)
{
    for (const std::string& file : writer.files) putBytes(directory / file, previousBytes(file));
}

// The file of the writer that the message names in quotes, if any.
std::optional<std::string> namedFile(const WriterUnderTest& writer, const fs::path& directory, const std::string& message)
{
    for (const std::string& file : writer.files)
        if (message.find("'" + (directory / file).string() + "'") != std::string::npos) return file;
    return std::nullopt;
}

// Runs a write as the effective user "nobody" when this process is root, so that permission
// bits hold for it as for any user.
class AsUnprivilegedUser {
public:
    AsUnprivilegedUser()
    {
        if (::geteuid() != 0) return;
        constexpr uid_t kNobody = 65534;
        m_switched = ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
        if (!m_switched) ADD_FAILURE() << "cannot take the effective user 'nobody' to make a directory read-only for root";
    }
    ~AsUnprivilegedUser()
    {
        if (!m_switched) return;
        if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
    }
    AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
    AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

private:
    bool m_switched = false;
};

const FaultPlan kNoFault{};

ExpectedFailure expectedFailure(Fault fault)
{
    switch (fault) {
    case Fault::NoSpace:
    case Fault::ShortWriteThenNoSpace: return {false, ENOSPC};
    case Fault::CreateFails: return {true, EACCES};
    default: return {false, EIO};
    }
}

} // namespace

std::string ExpectedFailure::reason() const
{
    return std::system_category().message(error);
}

namespace expected {

std::string atomicWriter(const std::string& path, const ExpectedFailure& failure)
{
    return failure.creating ? "Unable to open file '" + path + "' for writing: " + failure.reason() + "."
                            : "Unable to write to file '" + path + "': " + failure.reason() + ".";
}

std::string herdFile(const std::string& path, const ExpectedFailure& failure)
{
    return failure.creating ? "Unable to open file '" + path + "' for writing.\n"
                            : "Error writing file '" + path + "': " + failure.reason() + ".";
}

std::string cameraKeys(const std::string& path, const ExpectedFailure& failure)
{
    return failure.creating ? "Error opening keys file '" + path + "' for writing."
                            : "Error writing file '" + path + "': " + failure.reason();
}

std::string objFile(const std::string& path, const ExpectedFailure& failure)
{
    return failure.creating ? "Unable to open file '" + path + "' for writing." : atomicWriter(path, failure);
}

std::string image(const std::string& path)
{
    return "Unable to write to image '" + path + "'.";
}

} // namespace expected

std::optional<std::string> fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::function<Attempt(const fs::path&, const FaultPlan&)>
inProcess(std::function<std::optional<std::string>(const fs::path& directory)> write)
{
    return [write = std::move(write)](const fs::path& directory, const FaultPlan& plan) {
        Attempt attempt;
        FaultPlan armed = plan;
        if (armed.directory.empty()) armed.directory = directory;
        arm(armed);
        try {
            attempt.error = write(directory);
        } catch (const std::exception& e) {
            attempt.outcome = disarm();
            ADD_FAILURE() << "the writer let an exception escape: " << e.what();
            attempt.error = e.what();
            return attempt;
        }
        attempt.outcome = disarm();
        return attempt;
    };
}

int FaultTally::total() const
{
    int sum = 0;
    for (const auto& [fault, count] : injected) sum += count;
    return sum;
}

FaultTally expectSoundUnderEveryFault(const WriterUnderTest& writer, const fs::path& directory,
                                      const FaultCheckOptions& options)
{
    FaultTally tally;
    const std::set<std::string> listing(writer.files.begin(), writer.files.end());
    putPrevious(writer, directory);

    // Without a fault: counts the calls of one write and gives the bytes every write must leave.
    const Attempt clean = writer.write(directory, FaultPlan{directory, Fault::None, 0});
    if (clean.error) {
        ADD_FAILURE() << writer.name << " failed without a fault: " << *clean.error;
        return tally;
    }
    std::map<std::string, std::string> expected;
    for (const std::string& file : writer.files) {
        expected[file] = fileBytes(directory / file).value_or("");
        EXPECT_NE(expected[file], previousBytes(file)) << writer.name << " did not write " << file;
    }
    if (writer.readBack) writer.readBack(directory);
    const Counts counts = clean.outcome.counts;
    tally.callsPerWrite = counts;
    // One temporary file per file: made, written, flushed to the disk, closed and renamed once.
    const int files = static_cast<int>(writer.files.size());
    EXPECT_EQ(counts[Call::Create], files) << writer.name;
    EXPECT_GE(counts[Call::Write], files) << writer.name;
    EXPECT_EQ(counts[Call::Sync], files) << writer.name;
    EXPECT_EQ(counts[Call::Close], files) << writer.name;
    EXPECT_EQ(counts[Call::Rename], files) << writer.name;

    const auto expectNextWriteWorks = [&] {
        const Attempt next = writer.write(directory, FaultPlan{directory, Fault::None, 0});
        EXPECT_FALSE(next.error.has_value()) << "the next write failed: " << next.error.value_or("");
        for (const std::string& file : writer.files)
            EXPECT_EQ(fileBytes(directory / file), expected[file]) << "the next write of " << file;
        EXPECT_EQ(entries(directory), listing);
    };
    for (const Fault fault : options.faults) {
        const int calls = counts[callOf(fault)];
        for (int call = 1; call <= calls; ++call) {
            SCOPED_TRACE(writer.name + ": " + nameOf(fault) + " at call " + std::to_string(call) + " of " +
                         std::to_string(calls));
            putPrevious(writer, directory);
            const Attempt attempt = writer.write(directory, FaultPlan{directory, fault, call});
            ++tally.injected[fault];
            EXPECT_TRUE(attempt.outcome.fired) << "the fault was never injected";
            EXPECT_EQ(entries(directory), listing) << "a temporary file was left behind";
            if (failsTheWriter(fault)) {
                if (!attempt.error) {
                    ADD_FAILURE() << "the failure was reported as success";
                } else {
                    const std::optional<std::string> named = namedFile(writer, directory, *attempt.error);
                    EXPECT_TRUE(named.has_value()) << "the error names no file: " << *attempt.error;
                    if (named) {
                        EXPECT_EQ(fileBytes(directory / *named), previousBytes(*named))
                            << "the failed write changed " << *named;
                        if (writer.checkError) writer.checkError(*attempt.error, (directory / *named).string(), expectedFailure(fault));
                    }
                }
                // Files written before the failure (in a sequence) are new and whole, the rest as before.
                for (const std::string& file : writer.files) {
                    const std::string now = fileBytes(directory / file).value_or("(unreadable)");
                    EXPECT_TRUE(now == previousBytes(file) || now == expected[file]) << file << " is neither old nor new";
                }
            } else {
                EXPECT_FALSE(attempt.error.has_value()) << *attempt.error;
                for (const std::string& file : writer.files)
                    EXPECT_EQ(fileBytes(directory / file), expected[file]) << file << " is not whole";
            }
            // And the writer goes on working.
            if (options.nextWriteAfterEachFault) expectNextWriteWorks();
        }
    }
    if (!options.nextWriteAfterEachFault) {
        SCOPED_TRACE(writer.name + ": after the faults");
        putPrevious(writer, directory);
        expectNextWriteWorks();
    }
    if (writer.readBack) writer.readBack(directory);

    std::cout << "[ faults   ] " << writer.name << ": one write makes " << counts[Call::Create] << " files with "
              << counts[Call::Write] << " write calls; injected " << tally.total() << " faults (";
    bool first = true;
    for (const Fault fault : options.faults) {
        std::cout << (first ? "" : ", ") << nameOf(fault) << " " << tally.injected[fault];
        first = false;
    }
    std::cout << ")\n";
    return tally;
}

void expectSoundOnUnwritablePaths(const WriterUnderTest& writer, const fs::path& directory, bool readOnlyDirectory)
{
    const std::string& first = writer.files.front();
    if (readOnlyDirectory) {
        SCOPED_TRACE(writer.name + ": a read-only directory");
        const fs::path readOnly = directory / "read-only";
        fs::create_directory(readOnly);
        putPrevious(writer, readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
        Attempt attempt;
        {
            const AsUnprivilegedUser nobody;
            // AT_EACCESS: asked with the effective user, as the writer will be.
            EXPECT_NE(::faccessat(AT_FDCWD, readOnly.c_str(), W_OK, AT_EACCESS), 0)
                << "the directory can be written: the case would prove nothing";
            attempt = writer.write(readOnly, kNoFault);
        }
        fs::permissions(readOnly, fs::perms::owner_all, fs::perm_options::add);
        ASSERT_TRUE(attempt.error.has_value()) << "writing into a read-only directory was reported as success";
        const std::optional<std::string> named = namedFile(writer, readOnly, *attempt.error);
        EXPECT_TRUE(named.has_value()) << *attempt.error;
        if (named && writer.checkError) writer.checkError(*attempt.error, (readOnly / *named).string(), {true, EACCES});
        for (const std::string& file : writer.files) EXPECT_EQ(fileBytes(readOnly / file), previousBytes(file));
        EXPECT_EQ(entries(readOnly), std::set<std::string>(writer.files.begin(), writer.files.end()));
        const Attempt next = writer.write(readOnly, kNoFault);
        EXPECT_FALSE(next.error.has_value()) << next.error.value_or("");
        if (writer.readBack) writer.readBack(readOnly);
    }
    {
        SCOPED_TRACE(writer.name + ": a path that is a directory");
        const fs::path parent = directory / "taken";
        fs::create_directories(parent / first);
        putBytes(parent / first / "kept", "kept");
        const Attempt attempt = writer.write(parent, kNoFault);
        ASSERT_TRUE(attempt.error.has_value()) << "replacing a directory was reported as success";
        EXPECT_NE(attempt.error->find("'" + (parent / first).string() + "'"), std::string::npos) << *attempt.error;
        if (writer.checkError) writer.checkError(*attempt.error, (parent / first).string(), {false, EISDIR});
        EXPECT_EQ(fileBytes(parent / first / "kept"), "kept");
        EXPECT_EQ(entries(parent), std::set<std::string>{first}) << "something was left beside the directory";
    }
    {
        SCOPED_TRACE(writer.name + ": a path under a plain file");
        const fs::path plain = directory / "plain";
        putBytes(plain, "plain");
        const Attempt attempt = writer.write(plain, kNoFault);
        ASSERT_TRUE(attempt.error.has_value()) << "writing under a plain file was reported as success";
        EXPECT_NE(attempt.error->find("'" + (plain / first).string() + "'"), std::string::npos) << *attempt.error;
        if (writer.checkError) writer.checkError(*attempt.error, (plain / first).string(), {true, ENOTDIR});
        EXPECT_EQ(fileBytes(plain), "plain");
    }
    // Still working.
    const fs::path good = directory / "good";
    fs::create_directory(good);
    const Attempt next = writer.write(good, kNoFault);
    EXPECT_FALSE(next.error.has_value()) << next.error.value_or("");
    for (const std::string& file : writer.files) EXPECT_TRUE(fs::is_regular_file(good / file)) << file;
    if (writer.readBack) writer.readBack(good);
}

} // namespace faultinjection
