#include "herd/MovingHerd.h"

#include "herd/BoxRules.h"
#include "skin/Skin.h"

MovingHerd::MovingHerd(std::shared_ptr<Skin> skin) : Herd(std::move(skin)) {}

void MovingHerd::setFrame(int frame, bool moving)
{
    m_time = frame;
    if (moving) {
        const Vector3f offset = kVelocity * static_cast<float>(frame);
        m_motion = Matrix4f::translation(offset);
        // The exact inverse of a translation; a general inversion would round.
        m_inverseMotion = Matrix4f::translation(-offset);
    } else {
        m_motion = Matrix4f::identity();
        m_inverseMotion = Matrix4f::identity();
    }
}

HerdInstance MovingHerd::instance(unsigned i) const
{
    const HerdInstance& stored = m_instances[i];
    HerdInstance result;
    result.frame = frameAt(stored.frame, m_time);
    // The motion is a translation t, so motion x placement is the placement with t times its
    // last row added to the first three rows: the full product's result for a quarter of the
    // work, which every drawn frame spends on every animal.
    const Matrix4f& p = stored.transform;
    Matrix4f& m = result.transform;
    for (int r = 0; r < 3; ++r) {
        const float t = m_motion(r, 3);
        for (int c = 0; c < 4; ++c) m(r, c) = p(r, c) + t * p(3, c);
    }
    for (int c = 0; c < 4; ++c) m(3, c) = p(3, c);
    result.box = transformBox(skin()->boundingBox(), result.transform);
    return result;
}

HerdInstance MovingHerd::placed(std::uint32_t offset, const Matrix4f& placement) const
{
    HerdInstance result;
    result.frame = offset;
    result.transform = placement;
    result.box = transformBox(skin()->boundingBox(), placement);
    return result;
}

std::uint32_t MovingHerd::randomOffset(RandomGenerator& random) const
{
    const unsigned frames = skin()->frameCount();
    return frames == 0 ? 0u : random.uniformIndex(frames);
}

BoundingBox MovingHerd::toHerdSpace(const BoundingBox& box) const
{
    return transformBox(box, m_inverseMotion);
}

BoundingBox MovingHerd::toSceneSpace(const BoundingBox& box) const
{
    return transformBox(box, m_motion);
}
