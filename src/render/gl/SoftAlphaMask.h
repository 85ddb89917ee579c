#pragma once

#include "render/gl/GLTexture.h"

#include <cstdint>
#include <memory>
#include <vector>

// The soft round mask that gives a blended overlay skin (an animal's shadow) its alpha: a
// 512 x 512 GL_ALPHA texture, 0 along the border and rising smoothly to about 250 in the
// middle, so that the overlay fades out towards its rim instead of ending in a hard edge.
// One texture for the whole process, made on first use in the context current then and kept
// until release (or the process ends). GUI thread only.
class SoftAlphaMask {
public:
    static constexpr int kSize = 512;
    // The value at the very centre; the mask never reaches full opacity, so even the darkest
    // part of a shadow lets some of the ground show through.
    static constexpr std::uint8_t kPeak = 250;

    SoftAlphaMask() = delete;

    // kSize x kSize 8-bit alpha values, row by row from the bottom (GL's order).
    static std::vector<std::uint8_t> image();

    // The mask as a mipmapped texture with linear filtering, uploaded on the first call.
    // Throws OpenGLException when GL refuses the upload (no texture is kept then).
    static std::shared_ptr<GLTexture> texture();

    // Drops the process's share of the texture (renderers still holding it keep it alive), so
    // that it can be deleted while its context is current; the next texture() makes a new one.
    static void release();
};
