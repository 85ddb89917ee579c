#include "herd/GaussianRandomHerd.h"

#include "herd/BoxRules.h"
#include "herd/HerdCollection.h"
#include "skin/Skin.h"

#include <boost/random/normal_distribution.hpp>

#include <algorithm>
#include <cmath>

namespace {

// The smallest step deviation a walk uses. Animals keep 2 x kCollisionTolerance apart, so a
// walk with much smaller steps (a skin of no footprint, say, whose spread is 0) would take
// practically forever, or literally forever, to leave an occupied spot.
constexpr float kMinimumWalkSpread = 0.1f * kCollisionTolerance;

bool hasNaN(const BoundingBox& box)
{
    for (int axis = 0; axis < 3; ++axis)
        if (std::isnan(box.minimum[axis]) || std::isnan(box.maximum[axis])) return true;
    return false;
}

// Tries a walk makes with its own step size before the steps start doubling. Walks in real
// crowds end within a few dozen tries; an obstacle much larger than the steps (a skin whose
// box spans the scene, or an animal of a herd file scaled by 1e38) would otherwise hold a
// walk for practically ever. From then on every failed try doubles the step, so that a walk
// crosses any obstacle the float range holds within a few hundred more tries (doubling only
// every thousand tries took over a hundred thousand, half a second per animal).
constexpr unsigned kPatientAttempts = 1000;

float largerFootprint(const BoundingBox& box)
{
    return std::max(boxExtent(box, 0), boxExtent(box, 2));
}

} // namespace

GaussianRandomHerd::GaussianRandomHerd(std::shared_ptr<Skin> skin)
    : GaussianRandomHerd(std::move(skin), RandomGenerator())
{
}

GaussianRandomHerd::GaussianRandomHerd(std::shared_ptr<Skin> skin, RandomGenerator random)
    : MovingHerd(std::move(skin)), m_random(random), m_spread(largerFootprint(this->skin()->boundingBox()))
{
}

int GaussianRandomHerd::cellOf(float value, int axis) const
{
    const double lo = m_herdBox.minimum[axis];
    const double hi = m_herdBox.maximum[axis];
    const double t = (static_cast<double>(value) - lo) / (hi - lo) * m_resolution;
    // NaN (a zero-width or infinite herd box, a NaN coordinate) lands in cell 0 rather than
    // in an undefined conversion.
    if (!(t >= 0.0)) return 0;
    if (t >= m_resolution) return m_resolution;
    return static_cast<int>(std::floor(t));
}

void GaussianRandomHerd::fileInCells(unsigned index, const BoundingBox& box)
{
    const int x0 = cellOf(box.minimum.x, 0), x1 = cellOf(box.maximum.x, 0);
    const int z0 = cellOf(box.minimum.z, 2), z1 = cellOf(box.maximum.z, 2);
    for (int cx = x0; cx <= x1; ++cx)
        for (int cz = z0; cz <= z1; ++cz) m_cells[cellIndex(cx, cz)].push_back(index);
}

void GaussianRandomHerd::unfileFromCells(unsigned index, const BoundingBox& box)
{
    const int x0 = cellOf(box.minimum.x, 0), x1 = cellOf(box.maximum.x, 0);
    const int z0 = cellOf(box.minimum.z, 2), z1 = cellOf(box.maximum.z, 2);
    for (int cx = x0; cx <= x1; ++cx)
        for (int cz = z0; cz <= z1; ++cz) std::erase(m_cells[cellIndex(cx, cz)], index);
}

void GaussianRandomHerd::rebuild()
{
    const std::size_t count = m_instances.size();
    m_resolution = std::max(1, static_cast<int>(std::floor(std::sqrt(static_cast<double>(count)))));
    const std::size_t cells = static_cast<std::size_t>(m_resolution + 1) * static_cast<std::size_t>(m_resolution + 1);
    // Emptied in place: the cells keep their storage, which the refill mostly reuses.
    for (auto& cell : m_cells) cell.clear();
    m_cells.resize(cells);

    m_herdBox.reset();
    for (const HerdInstance& instance : m_instances)
        if (!instance.box.isEmpty()) m_herdBox.grow(instance.box);
    m_spread = 0.1f * largerFootprint(m_herdBox);
    m_herdBox = grow(m_herdBox, kCollisionTolerance);
    m_herdBox = grow(m_herdBox, 0.1f * m_spread);
    m_herdBox = grow(m_herdBox, 0.1f * m_spread);

    for (std::size_t k = 0; k < count; ++k) fileInCells(static_cast<unsigned>(k), m_instances[k].box);
    m_stale = false;
}

bool GaussianRandomHerd::intersects(const BoundingBox& box) const
{
    const BoundingBox q = toHerdSpace(box);
    if (!overlap(q, m_herdBox, kCollisionTolerance)) return false;
    const int x0 = cellOf(q.minimum.x - kCollisionTolerance, 0), x1 = cellOf(q.maximum.x + kCollisionTolerance, 0);
    const int z0 = cellOf(q.minimum.z - kCollisionTolerance, 2), z1 = cellOf(q.maximum.z + kCollisionTolerance, 2);
    for (int cx = x0; cx <= x1; ++cx)
        for (int cz = z0; cz <= z1; ++cz)
            for (unsigned k : m_cells[cellIndex(cx, cz)])
                if (overlap(q, m_instances[k].box, kCollisionTolerance)) return true;
    return false;
}

void GaussianRandomHerd::addAnimal(const HerdCollection& collection)
{
    const std::uint32_t offset = randomOffset(m_random);
    // Written so that a NaN spread (from a herd box of infinities) takes the floor too.
    const float spread = m_spread >= kMinimumWalkSpread ? m_spread : kMinimumWalkSpread;
    boost::random::normal_distribution<double> step(0.0, spread);
    Matrix4f placement = Matrix4f::identity();
    HerdInstance candidate;
    double stride = 1.0;
    for (unsigned attempt = 1;; ++attempt) {
        const double x = stride * step(m_random.engine());
        step(m_random.engine()); // the y sample: drawn to keep the sequence, not used
        const double z = stride * step(m_random.engine());
        // Each retry moves on from the previous candidate, not from the centre.
        placement = placement * Matrix4f::translation({static_cast<float>(x), 0.0f, static_cast<float>(z)});
        candidate = placed(offset, placement);
        if (!collection.intersects(toSceneSpace(candidate.box))) break;
        if (attempt >= kPatientAttempts) stride *= 2.0;
    }
    const unsigned index = static_cast<unsigned>(m_instances.size());
    m_instances.push_back(candidate);

    // Filed at once when it lies within the herd box (give or take the tolerance), otherwise
    // the grid no longer covers the crowd and is rebuilt. A box with nothing to file (empty,
    // or NaN from a degenerate transform) cannot widen the crowd, so it needs no rebuild,
    // which would otherwise happen for every such animal.
    const BoundingBox& b = candidate.box;
    bool inside = m_resolution > 0;
    if (inside && !b.isEmpty() && !hasNaN(b))
        for (int axis = 0; axis < 3; ++axis)
            for (float v : {b.minimum[axis], b.maximum[axis]})
                inside = inside && v >= m_herdBox.minimum[axis] - kCollisionTolerance &&
                         v <= m_herdBox.maximum[axis] + kCollisionTolerance;
    if (inside)
        fileInCells(index, b);
    else
        rebuild();
}

void GaussianRandomHerd::removeAnimal()
{
    if (m_instances.empty()) return;
    if (m_stale || m_resolution == 0) rebuild();
    const unsigned last = static_cast<unsigned>(m_instances.size() - 1);
    unfileFromCells(last, m_instances.back().box);
    m_instances.pop_back();
}

void GaussianRandomHerd::addInstance(std::uint32_t offset, const Matrix4f& placement)
{
    m_instances.push_back(placed(offset, placement));
    m_stale = true;
}
