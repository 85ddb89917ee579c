#include "herd/GaussianHerdCreator.h"

#include "herd/GaussianRandomHerd.h"

std::shared_ptr<Herd> GaussianHerdCreator::create(std::shared_ptr<Skin> skin) const
{
    return create(std::move(skin), RandomGenerator());
}

std::shared_ptr<Herd> GaussianHerdCreator::create(std::shared_ptr<Skin> skin, RandomGenerator random) const
{
    return std::make_shared<GaussianRandomHerd>(std::move(skin), random);
}

bool GaussianHerdCreator::equals(const HerdCreator& other) const
{
    return dynamic_cast<const GaussianHerdCreator*>(&other) != nullptr;
}
