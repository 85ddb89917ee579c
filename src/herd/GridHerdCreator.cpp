#include "herd/GridHerdCreator.h"

#include "herd/GridHerd.h"

std::shared_ptr<Herd> GridHerdCreator::create(std::shared_ptr<Skin> skin) const
{
    return create(std::move(skin), RandomGenerator());
}

std::shared_ptr<Herd> GridHerdCreator::create(std::shared_ptr<Skin> skin, RandomGenerator random) const
{
    return std::make_shared<GridHerd>(std::move(skin), m_rows, m_columns, random);
}

bool GridHerdCreator::equals(const HerdCreator& other) const
{
    const auto* grid = dynamic_cast<const GridHerdCreator*>(&other);
    return grid != nullptr && grid->m_rows == m_rows && grid->m_columns == m_columns;
}
