#include "herd/HerdCollection.h"

#include "herd/Herd.h"

void HerdCollection::add(std::shared_ptr<Herd> herd)
{
    m_herds.push_back(std::move(herd));
}

bool HerdCollection::intersects(const BoundingBox& box) const
{
    for (const auto& herd : m_herds)
        if (herd->intersects(box)) return true;
    return false;
}
