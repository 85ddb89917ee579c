// Feeds arbitrary bytes to the binary skin record reader. Whatever it accepts must be safe to
// skin and to measure, so an accepted record is evaluated too: the reader's checks are what
// stand between a corrupt file and an out-of-range access in skinning.
#include "foundation/Exception.h"
#include "skin/Skin.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        Skin skin(in);
        for (const Skin* s = &skin; s != nullptr; s = s->nextSkin().get()) {
            if (s->frameCount() > 0) {
                s->framePositions(0);
                s->framePositions(s->frameCount() - 1);
            }
        }
    } catch (const CreationException&) {
        // Rejected with a message: the expected outcome for most inputs.
    }
    return 0;
}
