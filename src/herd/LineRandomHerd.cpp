#include "herd/LineRandomHerd.h"

#include "herd/BoxRules.h"
#include "herd/HerdCollection.h"

#include <algorithm>
#include <cmath>

namespace {

// How far back each try moves the next depth.
constexpr double kDepthStep = 0.02;
// Tries at that pace before the steps start doubling. A band blocked over 20 units is far
// beyond what crowds of animals do (a few dozen tries at most), but an obstacle of absurd
// depth (a skin whose box spans the scene) would otherwise hold the search for practically
// ever. From then on every failed try doubles the step, so that any depth the float range
// holds is passed within a few hundred more tries.
constexpr unsigned kPatientAttempts = 1000;

} // namespace

LineRandomHerd::LineRandomHerd(std::shared_ptr<Skin> skin, double halfWidth)
    : LineRandomHerd(std::move(skin), halfWidth, RandomGenerator())
{
}

LineRandomHerd::LineRandomHerd(std::shared_ptr<Skin> skin, double halfWidth, RandomGenerator random)
    : MovingHerd(std::move(skin)), m_random(random), m_halfWidth(halfWidth)
{
}

bool LineRandomHerd::intersects(const BoundingBox& box) const
{
    const BoundingBox q = grow(toHerdSpace(box), kCollisionTolerance);
    if (q.isEmpty()) return false;
    // Everything before the first box starting at or behind q's far end lies wholly in front.
    const auto first = std::partition_point(m_instances.begin(), m_instances.end(), [&](const HerdInstance& i) {
        return i.box.minimum.z > q.maximum.z;
    });
    // Boxes further down start further back; once even the deepest box could not reach q's
    // near end, none can. The margin covers the rounding of min + extent.
    const float reach = m_maxDepthExtent + 1e-3f + 1e-5f * std::fabs(q.minimum.z);
    for (auto it = first; it != m_instances.end(); ++it) {
        if (it->box.minimum.z + reach < q.minimum.z) break;
        if (overlap(q, it->box, 0.0f)) return true;
    }
    return false;
}

void LineRandomHerd::addAnimal(const HerdCollection& collection)
{
    const std::uint32_t offset = randomOffset(m_random);
    HerdInstance candidate;
    double depthStep = kDepthStep;
    for (unsigned attempt = 1;; ++attempt) {
        const double x = m_random.uniformReal(-m_halfWidth, m_halfWidth);
        const double z = m_random.uniformReal(m_nextDepth - 1.0, m_nextDepth);
        m_nextDepth -= depthStep;
        candidate = placed(offset, Matrix4f::translation({static_cast<float>(x), 0.0f, static_cast<float>(z)}));
        if (!collection.intersects(toSceneSpace(candidate.box))) break;
        if (attempt >= kPatientAttempts) depthStep *= 2.0;
    }
    const float minZ = candidate.box.minimum.z;
    const auto position = std::partition_point(m_instances.begin(), m_instances.end(),
                                               [&](const HerdInstance& i) { return i.box.minimum.z > minZ; });
    m_instances.insert(position, candidate);
    if (!candidate.box.isEmpty())
        m_maxDepthExtent = std::max(m_maxDepthExtent, candidate.box.maximum.z - candidate.box.minimum.z);
}

void LineRandomHerd::removeAnimal()
{
    if (!m_instances.empty()) m_instances.pop_back();
}
