#pragma once

#include "herd/MovingHerd.h"
#include "herd/RandomGenerator.h"

// Animals queued in a band of the given half-width along x, filling from z = 0 towards -z:
// each new animal tries places a little further back until one is free. The list is kept
// ordered by decreasing box minimum z, so a query skips by binary search every animal lying
// wholly in front of it. Owns its random generator.
class LineRandomHerd : public MovingHerd {
public:
    // An empty band seeded from the operating system.
    LineRandomHerd(std::shared_ptr<Skin> skin, double halfWidth);
    // An empty band drawing from the given generator (reproducible placement).
    LineRandomHerd(std::shared_ptr<Skin> skin, double halfWidth, RandomGenerator random);

    // Does the box (scene space) come within the collision tolerance of any animal?
    bool intersects(const BoundingBox& box) const override;
    // Tries x in (-halfWidth, halfWidth) and z just behind the next depth, moving the next
    // depth back 0.02 per try, until the collection reports the place free. After 1000 failed
    // tries of one call every further failed try doubles the step, so that no obstacle blocks
    // for more than about 1,300 tries.
    void addAnimal(const HerdCollection& collection) override;
    // Drops the last animal of the list (the rearmost); nothing when empty.
    void removeAnimal() override;

    double halfWidth() const { return m_halfWidth; }
    // Where the next try starts; only ever decreases.
    double nextDepth() const { return m_nextDepth; }

private:
    RandomGenerator m_random;
    double m_halfWidth;
    double m_nextDepth = 0.0;
    // The largest z extent of any box placed so far: a query can stop scanning once the boxes
    // start too far behind it to reach it.
    float m_maxDepthExtent = 0.0f;
};
