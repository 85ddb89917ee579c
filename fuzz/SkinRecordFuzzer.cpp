// Feeds arbitrary bytes to the binary skin file reader: every record of the file, each a level
// of detail, with its chain of next skins. Whatever it accepts must be safe to skin and to
// measure, so the first and last frame of every accepted skin are evaluated too: the reader's
// checks are what stand between a corrupt file and an out-of-range access in skinning.
#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"
#include "skin/Skin.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    SkinFile file;
    try {
        file = readBinarySkinFile(in, "fuzz.bin");
    } catch (const CreationException&) {
        // Rejected with a message: the expected outcome for most inputs.
        return 0;
    }
    // An accepted file has at least one level.
    if (file.skins.empty()) std::abort();
    for (const auto& level : file.skins)
        for (const Skin* s = level.get(); s != nullptr; s = s->nextSkin().get()) {
            if (s->frameCount() > 0) {
                if (s->framePositions(0).size() != s->vertexCount()) std::abort();
                s->framePositions(s->frameCount() - 1);
            }
        }
    return 0;
}
