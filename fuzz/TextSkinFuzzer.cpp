// Feeds arbitrary text to the text skin reader over a small mesh ("mesh.obj" beside the fuzzed
// file; "quad.obj" holds a quad): every error must be an exception of the family, and an
// accepted skin must be safe to skin and draw: every frame evaluates within its arrays.
#include "QuietStandardError.h"

#include "foundation/Exception.h"
#include "skin/TextSkinReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The meshes the fuzzed files name, in a directory of this process removed at exit.
class MeshDirectory {
public:
    MeshDirectory()
        : m_path(std::filesystem::temp_directory_path() / ("flexherd-fuzz-text-skin-" + std::to_string(::getpid())))
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
    std::string skinPath() const { return (m_path / "fuzz.txt").string(); }

private:
    std::filesystem::path m_path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const MeshDirectory directory;
    const QuietStandardError quiet;
    std::shared_ptr<Skin> skin;
    try {
        skin = parseTextSkin(std::string_view(reinterpret_cast<const char*>(data), size), directory.skinPath(), "", "fuzz");
    } catch (const Exception&) {
        return 0;
    }
    // The reader evaluated every frame already; touch the results and the draw data.
    for (unsigned f = 0; f < skin->frameCount(); ++f)
        if (skin->framePositions(f).size() != skin->vertexCount()) std::abort();
    for (const PrimitiveGroup& group : skin->primitiveGroups())
        for (std::uint16_t index : group.indices)
            if (index >= skin->vertexCount()) std::abort();
    return 0;
}
