#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// The meshes that fuzzed text skins name, in a directory of this process removed at exit:
// "mesh.obj" (five vertices, the fifth in no face, with a texture coordinate and a normal)
// and "quad.obj" (one quad, which text skins refuse).
class MeshDirectory {
public:
    explicit MeshDirectory(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() / ("flexherd-fuzz-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(m_path);
        std::ofstream(m_path / "mesh.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 2 2\nvt 0.5 0.5\nvn 0 0 1\n"
                                              "g body\nf 1/1/1 2/1/1 3/1/1\nf 2 4 3\n";
        std::ofstream(m_path / "quad.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 4 3\n";
    }
    ~MeshDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    MeshDirectory(const MeshDirectory&) = delete;
    MeshDirectory& operator=(const MeshDirectory&) = delete;

    // The path a fuzzed skin is read as, beside the meshes.
    std::string skinPath() const { return (m_path / "fuzz.txt").string(); }

private:
    std::filesystem::path m_path;
};
