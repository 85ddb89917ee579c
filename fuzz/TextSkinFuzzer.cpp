// Feeds arbitrary text to the text skin reader over a small mesh ("mesh.obj" beside the fuzzed
// file; "quad.obj" holds a quad): every error must be an exception of the family, and an
// accepted skin must be safe to skin and draw: every frame evaluates within its arrays.
#include "MeshDirectory.h"
#include "QuietStandardError.h"

#include "foundation/Exception.h"
#include "skin/TextSkinReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const MeshDirectory directory("text-skin");
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
