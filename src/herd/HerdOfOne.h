#pragma once

#include "herd/Herd.h"

// A single animal standing at the origin, playing the animation from frame 0. Used when the
// user wants to look at one animal rather than a crowd. Owns nothing but its share of the skin.
class HerdOfOne : public Herd {
public:
    explicit HerdOfOne(std::shared_ptr<Skin> skin);

    // The animal's box (the skin's overall box) against the query, with the collision tolerance.
    bool intersects(const BoundingBox& box) const override;
    // Only the time counts; a single animal never walks.
    void setFrame(int frame, bool moving) override;
    // A herd of one neither grows nor shrinks.
    void addAnimal(const HerdCollection& collection) override;
    void removeAnimal() override;
    unsigned instanceCount() const override { return 1; }
    // The one animal whatever i is: the current frame, identity transform, the skin's box.
    HerdInstance instance(unsigned i) const override;

private:
    int m_frame = 0;
};
