#pragma once

#include "herd/Herd.h"

#include <vector>

// A stored list of finished instances: frames and transforms already include whatever time
// and motion added, so the herd ignores time. The hierarchical herd fills one per detail level
// every frame and the renderers draw them. Clearing keeps the storage, so refilling a herd of
// the size it had before allocates nothing: with a hundred thousand animals redistributed
// every frame, the memory allocator would otherwise be called for every few of them.
class SimpleHerd : public Herd {
public:
    explicit SimpleHerd(std::shared_ptr<Skin> skin);

    // True at the first stored instance (in list order) that overlaps the box.
    bool intersects(const BoundingBox& box) const override;
    // The stored instances are final: time, adding and removing change nothing.
    void setFrame(int frame, bool moving) override;
    void addAnimal(const HerdCollection& collection) override;
    void removeAnimal() override;
    unsigned instanceCount() const override { return static_cast<unsigned>(m_instances.size()); }
    HerdInstance instance(unsigned i) const override { return m_instances[i]; }

    // Drops every instance.
    void clear() { m_instances.clear(); }
    // Adds a copy at the back.
    void append(const HerdInstance& instance) { m_instances.push_back(instance); }

private:
    std::vector<HerdInstance> m_instances;
};
