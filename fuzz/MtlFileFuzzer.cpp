// Feeds arbitrary text to the MTL reader: bad lines end in CreationException, never in a
// crash, and every material it keeps can be found by its name.
#include "QuietStandardError.h"

#include "foundation/Exception.h"
#include "skin/ObjMaterial.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QuietStandardError quiet;
    ObjMaterialLibrary library(ObjMaterialLibrary::Empty{}, "fuzz.mtl");
    try {
        library.parse(std::string(reinterpret_cast<const char*>(data), size), "fuzz.mtl");
    } catch (const CreationException&) {
        return 0;
    }
    for (const auto& material : library.materials())
        if (!library.material(material->name())) std::abort();
    return 0;
}
