#include "app/DataFiles.h"

#include <system_error>

#ifndef FLEXHERD_INSTALL_DATADIR
#define FLEXHERD_INSTALL_DATADIR "/usr/local/share/flexherd"
#endif
#ifndef FLEXHERD_BINDIR_TO_DATADIR
#define FLEXHERD_BINDIR_TO_DATADIR "../share/flexherd"
#endif

namespace fs = std::filesystem;

std::vector<fs::path> installedDataDirectories(const fs::path& executable)
{
    std::vector<fs::path> directories;
    if (!executable.empty())
        directories.push_back((executable.parent_path() / FLEXHERD_BINDIR_TO_DATADIR).lexically_normal());
    const fs::path configured = fs::path(FLEXHERD_INSTALL_DATADIR).lexically_normal();
    if (directories.empty() || directories.front() != configured) directories.push_back(configured);
#if defined(FLEXHERD_BUILD_PROGRAM_DIR) && defined(FLEXHERD_BUILD_DATADIR)
    // The program as built, not yet installed, runs from any directory too: its data are the
    // build's samples. Only the build's own program looks there.
    std::error_code error;
    if (!executable.empty() && fs::equivalent(executable.parent_path(), FLEXHERD_BUILD_PROGRAM_DIR, error))
        directories.push_back(fs::path(FLEXHERD_BUILD_DATADIR).lexically_normal());
#endif
    return directories;
}

const std::vector<fs::path>& installedDataDirectories()
{
    static const std::vector<fs::path> directories = [] {
        std::error_code error;
        const fs::path executable = fs::read_symlink("/proc/self/exe", error);
        return installedDataDirectories(error ? fs::path() : executable);
    }();
    return directories;
}

std::string findDataFile(const std::string& name, const std::vector<fs::path>& dataDirectories)
{
    std::error_code error;
    const fs::path path(name);
    if (name.empty() || path.is_absolute() || fs::exists(path, error)) return name;
    for (const fs::path& directory : dataDirectories) {
        const fs::path candidate = directory / path;
        if (fs::is_regular_file(candidate, error)) return candidate.string();
    }
    return name;
}

std::string findDataFile(const std::string& name)
{
    return findDataFile(name, installedDataDirectories());
}
