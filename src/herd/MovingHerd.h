#pragma once

#include "foundation/Vector3f.h"
#include "herd/Herd.h"
#include "herd/RandomGenerator.h"

#include <deque>

// The common part of the two herds that grow one animal at a time and can walk: the placed
// animals (start-frame offset, placement transform and placement box, all in herd space) and
// the herd's time and motion. Placements never change while the crowd walks; only instance()
// and the box queries apply the motion (queries its inverse), so animals keep their places
// relative to each other.
class MovingHerd : public Herd {
public:
    // Scene units per frame that a walking crowd covers along +z.
    static constexpr Vector3f kVelocity{0.0f, 0.0f, 0.167364776f};

    // time = frame; motion = translation by frame x kVelocity when moving, identity otherwise.
    void setFrame(int frame, bool moving) override;
    unsigned instanceCount() const override { return static_cast<unsigned>(m_instances.size()); }
    // Frame from the offset and the time; transform = motion x placement; its box.
    HerdInstance instance(unsigned i) const override;

    int time() const { return m_time; }
    const Matrix4f& motion() const { return m_motion; }
    // The stored animal i as placed: offset in frame, placement transform and placement box.
    const HerdInstance& placement(unsigned i) const { return m_instances[i]; }

protected:
    explicit MovingHerd(std::shared_ptr<Skin> skin);

    // A new animal in herd space: offset, placement and the skin's box under the placement.
    HerdInstance placed(std::uint32_t offset, const Matrix4f& placement) const;
    // A start offset U{0..frames-1}, or 0 for a skin without frames.
    std::uint32_t randomOffset(RandomGenerator& random) const;
    // A scene-space box mapped into herd space (inverse motion) and back.
    BoundingBox toHerdSpace(const BoundingBox& box) const;
    BoundingBox toSceneSpace(const BoundingBox& box) const;

    std::deque<HerdInstance> m_instances;

private:
    Matrix4f m_motion = Matrix4f::identity();
    // Kept with the motion so that queries, which run thousands of times per placement, need
    // no matrix inversion.
    Matrix4f m_inverseMotion = Matrix4f::identity();
    int m_time = 0;
};
