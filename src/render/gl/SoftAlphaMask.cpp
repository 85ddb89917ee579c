#include "render/gl/SoftAlphaMask.h"

#include "foundation/Exception.h"
#include "render/gl/GLError.h"
#include "render/gl/GLState.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

std::shared_ptr<GLTexture>& shared()
{
    static std::shared_ptr<GLTexture> texture;
    return texture;
}

} // namespace

std::vector<std::uint8_t> SoftAlphaMask::image()
{
    std::vector<std::uint8_t> values(static_cast<std::size_t>(kSize) * kSize);
    const double half = 0.5 * (kSize - 1);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            // Distance from the centre, 1 at the middle of each edge; everything from there
            // outwards (the border and the corners) is fully transparent.
            const double r = std::hypot((x - half) / half, (y - half) / half);
            const double t = std::clamp(1.0 - r, 0.0, 1.0);
            // Smooth at both ends: no visible ring where the fade starts or ends.
            const double s = t * t * (3.0 - 2.0 * t);
            values[static_cast<std::size_t>(y) * kSize + x] = static_cast<std::uint8_t>(std::lround(kPeak * s));
        }
    return values;
}

std::shared_ptr<GLTexture> SoftAlphaMask::texture()
{
    std::shared_ptr<GLTexture>& texture = shared();
    if (texture) return texture;
    const std::vector<std::uint8_t> values = image();
    auto made = std::make_shared<GLTexture>();
    {
        GLTexture::Binding binding(*made);
        GLState::UnpackAlignment alignment(1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        const GLint result =
            gluBuild2DMipmaps(GL_TEXTURE_2D, GL_ALPHA, kSize, kSize, GL_ALPHA, GL_UNSIGNED_BYTE, values.data());
        if (result != 0)
            throw OpenGLException(std::string("Unable to build the mipmaps of the alpha mask: ") +
                                  reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(result))));
        checkGLError("gluBuild2DMipmaps");
    }
    texture = std::move(made);
    return texture;
}

void SoftAlphaMask::release()
{
    shared().reset();
}
