#pragma once

#include "herd/HerdCreator.h"

// The "Rectangular" choice: herds queued in a band (LineRandomHerd) of the given half-width,
// which the dialog takes as half its "Width" field.
class LineHerdCreator : public HerdCreator {
public:
    explicit LineHerdCreator(double halfWidth) : m_halfWidth(halfWidth) {}

    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override;
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override;
    // Another LineHerdCreator with the same half-width.
    bool equals(const HerdCreator& other) const override;

    double halfWidth() const { return m_halfWidth; }

private:
    double m_halfWidth;
};
