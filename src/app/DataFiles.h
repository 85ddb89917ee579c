#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Where the program finds the files it ships with (the sample animals, their camera flight and
// the sky image) once installed: the working directory first, as always, then the data
// directory of the installation.

// The installation's data directories, most specific first: the one next to the executable
// (<prefix>/share/flexherd for <prefix>/bin/flexherd, so a moved or relocated installation
// still finds its files) and the one of the configured install prefix. `executable` may be
// empty when unknown; then only the configured one is listed. The program of a build tree,
// not installed yet, lists the build's samples directory last.
std::vector<std::filesystem::path> installedDataDirectories(const std::filesystem::path& executable);

// The data directories of the running program (from /proc/self/exe on Linux).
const std::vector<std::filesystem::path>& installedDataDirectories();

// `name` itself when it names an existing file, when it is absolute or when no data directory
// holds it; otherwise the path of the first data directory that has a file of that name. Names
// the file system rejects are returned unchanged, for the loader to report.
std::string findDataFile(const std::string& name, const std::vector<std::filesystem::path>& dataDirectories);
std::string findDataFile(const std::string& name);
