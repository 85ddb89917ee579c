// Feeds arbitrary bytes to the lighting file reader. The first byte picks the animation's
// frame count (0 to 3) for a mesh of five vertices; the rest is the file. The reader's checks
// are what stand between a corrupt file and the renderers reading past an array, so whatever
// it accepts is lit as the renderers light it: the software renderer's colours of every frame
// (which throw when the arrays disagree) and the hardware renderer's coefficients of every
// frame and basis vector.
#include "foundation/Exception.h"
#include "render/PrtColors.h"
#include "skin/LightingFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    constexpr std::size_t kVertices = 5;
    const unsigned frames = data[0] % 4;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    LightingData lighting;
    try {
        lighting = readLightingFile(in, "fuzz.light", kVertices, frames);
    } catch (const CreationException&) {
        return 0; // rejected with a message
    }
    try {
        const auto colors =
            prtFrameColors(lighting.meanLighting, lighting.basis, lighting.coordinates, lighting.vertexColors, frames);
        for (const auto& frame : colors)
            if (frame.size() != 3 * kVertices) std::abort();
    } catch (const Exception&) {
        std::abort(); // an accepted file the software renderer cannot light
    }
    const DenseMatrix& coordinates = lighting.coordinates;
    const unsigned basisCount = lighting.basis.columns();
    if (basisCount > 0 && (lighting.basis.rows() != kVertices || coordinates.rows() < basisCount ||
                           coordinates.columns() < frames))
        std::abort();
    volatile float read = 0.0f; // the reads are kept, so the address sanitizer sees them
    for (unsigned f = 0; f < frames; ++f)
        for (unsigned j = 0; j < basisCount; ++j) read = coordinates(j, f);
    (void)read;
    return 0;
}
