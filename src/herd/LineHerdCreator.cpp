#include "herd/LineHerdCreator.h"

#include "herd/LineRandomHerd.h"

std::shared_ptr<Herd> LineHerdCreator::create(std::shared_ptr<Skin> skin) const
{
    return create(std::move(skin), RandomGenerator());
}

std::shared_ptr<Herd> LineHerdCreator::create(std::shared_ptr<Skin> skin, RandomGenerator random) const
{
    return std::make_shared<LineRandomHerd>(std::move(skin), m_halfWidth, random);
}

bool LineHerdCreator::equals(const HerdCreator& other) const
{
    const auto* line = dynamic_cast<const LineHerdCreator*>(&other);
    return line != nullptr && line->m_halfWidth == m_halfWidth;
}
