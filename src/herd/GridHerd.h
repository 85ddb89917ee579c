#pragma once

#include "herd/Herd.h"
#include "herd/RandomGenerator.h"

#include <vector>

// A fixed block of rows x columns animals on a slightly jittered grid, spaced by the skin's
// footprint, each with a start frame of 0 to 3. Laid out once at construction; it neither
// grows, shrinks nor walks, and nothing may overlap it (it reports no collisions).
class GridHerd : public Herd {
public:
    // Lays the grid out at once, drawing the jitter from an OS-seeded generator. Negative
    // counts are taken as 0.
    GridHerd(std::shared_ptr<Skin> skin, int rows, int columns);
    // The same with the given generator (reproducible layout).
    GridHerd(std::shared_ptr<Skin> skin, int rows, int columns, RandomGenerator random);

    // Always false: the grid is laid out without regard to other herds.
    bool intersects(const BoundingBox& box) const override;
    // time = frame; the grid never walks.
    void setFrame(int frame, bool moving) override;
    // The grid is fixed: these do nothing.
    void addAnimal(const HerdCollection& collection) override;
    void removeAnimal() override;
    unsigned instanceCount() const override { return static_cast<unsigned>(m_instances.size()); }
    // Frame from the offset and the time, the placement transform and its box.
    HerdInstance instance(unsigned i) const override;

    int time() const { return m_time; }
    // The stored animal i: offset in frame, placement transform and placement box.
    const HerdInstance& placement(unsigned i) const { return m_instances[i]; }

private:
    std::vector<HerdInstance> m_instances;
    int m_time = 0;
};
