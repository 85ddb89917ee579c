#pragma once

#include "herd/HerdCreator.h"

// The "Grid" choice: a fixed block of rows x columns animals (GridHerd) per skin.
class GridHerdCreator : public HerdCreator {
public:
    GridHerdCreator(int rows, int columns) : m_rows(rows), m_columns(columns) {}

    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override;
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override;
    // Another GridHerdCreator with the same rows and columns.
    bool equals(const HerdCreator& other) const override;

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }

private:
    int m_rows;
    int m_columns;
};
