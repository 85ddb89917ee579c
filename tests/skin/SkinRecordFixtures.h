#pragma once

#include "skin/BinarySkinWriter.h"

#include <filesystem>
#include <memory>
#include <string>

// Small, valid skin records for the tests: each reads back without complaint.
namespace fixtures {

// A unit quad (4 vertices, 2 triangles) bound to two bones over `frames` frames: bone 0
// stays put, bone 1 moves up by the frame number. Vertices 0 and 1 follow bone 0, vertices
// 2 and 3 split 0.5 / 0.5 between the bones. Mean lighting, one lighting basis vector and
// `frames` lighting frames make it pass the lighting checks.
SkinRecord quad(const std::string& name = "quad", unsigned frames = 3);

// A w x h grid of quads (two triangles each) with one bone and no animation frames.
SkinRecord grid(const std::string& name, unsigned w, unsigned h);

// The bytes of the records written back to back.
std::string bytesOf(const std::vector<SkinRecord>& records);

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes; named after the process and a counter so parallel tests never share.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Writes bytes into a file of the directory and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};

} // namespace fixtures
