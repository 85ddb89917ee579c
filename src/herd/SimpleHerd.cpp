#include "herd/SimpleHerd.h"

#include "herd/BoxRules.h"

SimpleHerd::SimpleHerd(std::shared_ptr<Skin> skin) : Herd(std::move(skin)) {}

bool SimpleHerd::intersects(const BoundingBox& box) const
{
    for (const HerdInstance& instance : m_instances)
        if (overlap(instance.box, box, kCollisionTolerance)) return true;
    return false;
}

void SimpleHerd::setFrame(int, bool) {}

void SimpleHerd::addAnimal(const HerdCollection&) {}

void SimpleHerd::removeAnimal() {}
