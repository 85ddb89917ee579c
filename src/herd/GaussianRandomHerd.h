#pragma once

#include "herd/MovingHerd.h"
#include "herd/RandomGenerator.h"

#include <vector>

// Animals scattered around the origin: each new animal starts a random walk with normally
// distributed steps from the centre and stops at the first place that the collection reports
// free. The spread of the steps starts at the skin's footprint and then follows the crowd's
// size. A grid of about one animal per cell over the herd box lets a query visit only the
// animals near it and skip the whole herd when it misses the herd box. Owns its random
// generator. The herd file stores herds of this kind (addInstance).
class GaussianRandomHerd : public MovingHerd {
public:
    // An empty herd seeded from the operating system.
    explicit GaussianRandomHerd(std::shared_ptr<Skin> skin);
    // An empty herd drawing from the given generator (reproducible placement).
    GaussianRandomHerd(std::shared_ptr<Skin> skin, RandomGenerator random);

    // Does the box (scene space) come within the collision tolerance of any animal in the
    // grid? Animals added by addInstance count only after the next rebuild.
    bool intersects(const BoundingBox& box) const override;
    // Walks from the centre until the collection reports the place free, then files the
    // animal in the grid, or rebuilds the grid when the animal lies outside the herd box.
    // After 1000 failed steps of one walk every further failed step doubles the step size,
    // so that no obstacle holds a walk for more than about 1,300 steps.
    void addAnimal(const HerdCollection& collection) override;
    // Drops the last animal (rebuilding first when stale); nothing when empty.
    void removeAnimal() override;

    // Appends an animal as read from a herd file: no collision check, grid and herd box left
    // as they are (the herd becomes stale until the next rebuild).
    void addInstance(std::uint32_t offset, const Matrix4f& placement);
    // Sizes the grid to the animal count, recomputes herd box and spread and files every
    // animal; clears the stale flag.
    void rebuild();

    // The standard deviation of the walk's steps.
    float spread() const { return m_spread; }
    // n: the grid has (n + 1) x (n + 1) cells; 0 before the first rebuild.
    int gridResolution() const { return m_resolution; }
    std::size_t cellCount() const { return m_cells.size(); }
    // The instance indices filed in cell (cx, cz), 0 <= cx, cz <= n.
    const std::vector<unsigned>& cell(int cx, int cz) const { return m_cells[cellIndex(cx, cz)]; }
    const BoundingBox& herdBox() const { return m_herdBox; }
    bool isStale() const { return m_stale; }

private:
    std::size_t cellIndex(int cx, int cz) const
    {
        return static_cast<std::size_t>(cx) * static_cast<std::size_t>(m_resolution + 1) + static_cast<std::size_t>(cz);
    }
    // The cell column (axis 0) or row (axis 2) of a coordinate, clamped to [0, n].
    int cellOf(float value, int axis) const;
    // Adds index to (or removes it from) every cell the box covers.
    void fileInCells(unsigned index, const BoundingBox& box);
    void unfileFromCells(unsigned index, const BoundingBox& box);

    RandomGenerator m_random;
    float m_spread;
    int m_resolution = 0;
    std::vector<std::vector<unsigned>> m_cells;
    BoundingBox m_herdBox;
    bool m_stale = false;
};
