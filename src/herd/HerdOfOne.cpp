#include "herd/HerdOfOne.h"

#include "herd/BoxRules.h"
#include "skin/Skin.h"

HerdOfOne::HerdOfOne(std::shared_ptr<Skin> skin) : Herd(std::move(skin)) {}

bool HerdOfOne::intersects(const BoundingBox& box) const
{
    return overlap(box, instance(0).box, kCollisionTolerance);
}

void HerdOfOne::setFrame(int frame, bool)
{
    m_frame = frame;
}

void HerdOfOne::addAnimal(const HerdCollection&) {}

void HerdOfOne::removeAnimal() {}

HerdInstance HerdOfOne::instance(unsigned) const
{
    HerdInstance result;
    result.frame = frameAt(0, m_frame);
    result.transform = Matrix4f::identity();
    result.box = transformBox(skin()->boundingBox(), result.transform);
    return result;
}
