// Feeds arbitrary bytes to the image decoder that reads skin textures and the sky picture. Its
// checks stand between a corrupt or hostile file and a crash or an allocation of the size a
// header merely claims.
#include "foundation/Exception.h"
#include "skin/ImageFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const PixelImage image = decodeImage(data, size, "fuzz.png");
        // What the texture upload relies on.
        if (image.width < 1 || image.height < 1 || image.width > kMaxDecodedImageSide ||
            image.height > kMaxDecodedImageSide ||
            image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3)
            std::abort();
    } catch (const IOException&) {
        // Refused with a message, as a texture that cannot be read is.
    }
    return 0;
}
