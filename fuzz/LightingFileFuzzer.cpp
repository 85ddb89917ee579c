// Feeds arbitrary bytes to the lighting file reader as the lighting of a small text skin (the
// five vertices of "mesh.obj", two bones, three frames). The reader's checks are what stand
// between a corrupt file and the renderers reading past an array, so an accepted skin is lit
// as the renderers light it: the software renderer's colours of every frame (which throw
// when the arrays disagree) and the hardware renderer's coefficients of every frame.
#include "MeshDirectory.h"
#include "QuietStandardError.h"

#include "foundation/Exception.h"
#include "render/PrtColors.h"
#include "skin/TextSkinReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

const char* const kSkinText = "*OBJFILENAME\n"
                              "mesh.obj\n"
                              "*BONEANIMATION, NFRAMES=3, BONEINDEX=0\n"
                              "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                              "1 1 0 0 1 0 1 0 0 0 0 1 0 0 0 0 1\n"
                              "2 1 0 0 2 0 1 0 0 0 0 1 0 0 0 0 1\n"
                              "*BONEANIMATION, NFRAMES=3, BONEINDEX=1\n"
                              "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                              "1 1 0 0 0 0 1 0 1 0 0 1 0 0 0 0 1\n"
                              "2 1 0 0 0 0 1 0 2 0 0 1 0 0 0 0 1\n"
                              "*VERTEXWEIGHTS, NVERTICES=5\n"
                              "0 0 1\n1 0 0.5 1 0.5\n2 1 1\n3 1 1\n4 0 1\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const MeshDirectory directory("lighting-file");
    const QuietStandardError quiet;
    std::istringstream lighting(std::string(reinterpret_cast<const char*>(data), size));
    std::shared_ptr<Skin> skin;
    try {
        skin = parseTextSkin(kSkinText, directory.skinPath(), lighting, "fuzz.light", "fuzz");
    } catch (const CreationException&) {
        return 0; // rejected with a message
    }
    const unsigned frames = skin->frameCount();
    try {
        const auto colors = prtFrameColors(skin->meanLighting(), skin->lightingBasis(), skin->lightingCoordinates(),
                                           skin->vertexColors(), frames);
        for (const auto& frame : colors)
            if (frame.size() != 3 * std::size_t(skin->vertexCount())) std::abort();
    } catch (const Exception&) {
        std::abort(); // an accepted file the software renderer cannot light
    }
    // The hardware renderer hands coefficient j of frame f to the vertex program for every
    // basis vector j it uses.
    const DenseMatrix& coordinates = skin->lightingCoordinates();
    const unsigned basisCount = skin->lightingBasisCount();
    if (basisCount > 0 && (coordinates.rows() < basisCount || coordinates.columns() < frames)) std::abort();
    volatile float read = 0.0f; // the reads are kept, so the address sanitizer sees them
    for (unsigned f = 0; f < frames; ++f)
        for (unsigned j = 0; j < basisCount; ++j) read = coordinates(j, f);
    (void)read;
    return 0;
}
