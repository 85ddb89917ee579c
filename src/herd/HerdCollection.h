#pragma once

#include "herd/BoundsCheckable.h"

#include <deque>
#include <memory>

class Herd;

// Every herd of the scene, in the order they were added: the placing herds ask it whether a
// candidate animal would touch any animal of any herd. Shares ownership of the herds with
// the view; the view makes a new, empty collection whenever it clears its scene.
class HerdCollection : public BoundsCheckable {
public:
    // Appends a herd.
    void add(std::shared_ptr<Herd> herd);
    // True at the first herd, in adding order, that reports the box touching one of its
    // animals; false for an empty collection.
    bool intersects(const BoundingBox& box) const override;

    std::size_t size() const { return m_herds.size(); }

private:
    std::deque<std::shared_ptr<Herd>> m_herds;
};
