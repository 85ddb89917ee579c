#pragma once

#include "herd/HerdCreator.h"

// The "Round" choice and the view's start-up creator: randomly scattered, growing herds
// (GaussianRandomHerd), each seeded from the operating system unless given a generator.
class GaussianHerdCreator : public HerdCreator {
public:
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override;
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override;
    // Any other GaussianHerdCreator.
    bool equals(const HerdCreator& other) const override;
};
