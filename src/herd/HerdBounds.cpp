#include "herd/HerdBounds.h"

#include "herd/HierarchicalHerd.h"

BoundingBox instanceBounds(const Herd& herd)
{
    BoundingBox bounds;
    const unsigned count = herd.instanceCount();
    for (unsigned i = 0; i < count; ++i) {
        const BoundingBox box = herd.instance(i).box;
        // An animal without extent (an empty skin) has nothing to frame.
        if (!box.isEmpty()) bounds.grow(box);
    }
    return bounds;
}

BoundingBox instanceBounds(const std::deque<std::shared_ptr<HierarchicalHerd>>& herds)
{
    BoundingBox bounds;
    for (const auto& herd : herds)
        if (herd) bounds.grow(instanceBounds(*herd));
    return bounds;
}
