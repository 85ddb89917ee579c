#include "herd/Herd.h"

#include "skin/Skin.h"

Herd::Herd(std::shared_ptr<Skin> skin) : m_skin(std::move(skin)) {}

Herd::~Herd() = default;

void Herd::update() {}

std::uint32_t Herd::frameAt(std::uint32_t offset, int time) const
{
    const unsigned frames = m_skin ? m_skin->frameCount() : 0u;
    if (frames == 0) return 0;
    // Unsigned wrap-around is the defined behaviour wanted here: times are never negative in
    // use, and offsets are below the frame count except in loaded files.
    return (offset + static_cast<std::uint32_t>(time)) % frames;
}
