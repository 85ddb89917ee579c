#include "herd/WrapperHerd.h"

#include "herd/BoxRules.h"
#include "skin/Skin.h"

WrapperHerd::WrapperHerd(std::shared_ptr<Herd> wrapped, std::shared_ptr<Skin> skin)
    : Herd(std::move(skin)), m_wrapped(std::move(wrapped))
{
}

bool WrapperHerd::intersects(const BoundingBox& box) const
{
    return m_wrapped->intersects(box);
}

void WrapperHerd::setFrame(int, bool) {}

void WrapperHerd::addAnimal(const HerdCollection&) {}

void WrapperHerd::removeAnimal() {}

unsigned WrapperHerd::instanceCount() const
{
    return m_wrapped->instanceCount();
}

HerdInstance WrapperHerd::instance(unsigned i) const
{
    HerdInstance result = m_wrapped->instance(i);
    result.box = transformBox(skin()->boundingBox(), result.transform);
    return result;
}
