#include "herd/SingleHerdCreator.h"

#include "herd/HerdOfOne.h"

std::shared_ptr<Herd> SingleHerdCreator::create(std::shared_ptr<Skin> skin) const
{
    return std::make_shared<HerdOfOne>(std::move(skin));
}

std::shared_ptr<Herd> SingleHerdCreator::create(std::shared_ptr<Skin> skin, RandomGenerator) const
{
    // One animal at the origin: nothing to draw at random.
    return create(std::move(skin));
}

bool SingleHerdCreator::equals(const HerdCreator& other) const
{
    return dynamic_cast<const SingleHerdCreator*>(&other) != nullptr;
}
