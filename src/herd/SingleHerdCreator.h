#pragma once

#include "herd/HerdCreator.h"

// Gives every skin a herd of one animal (HerdOfOne).
class SingleHerdCreator : public HerdCreator {
public:
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override;
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override;
    // Any other SingleHerdCreator.
    bool equals(const HerdCreator& other) const override;
};
