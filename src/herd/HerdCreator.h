#pragma once

#include "herd/RandomGenerator.h"

#include <memory>

class Herd;
class Skin;

// The user's current choice of herd kind, made in the herd dialog: the view asks it for a new
// herd whenever it needs one for a skin. Creators are shared by the view and the dialog.
class HerdCreator {
public:
    virtual ~HerdCreator() = default;

    // A new herd of this kind for the skin, placing its animals with a generator seeded from
    // the operating system.
    virtual std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const = 0;
    // The same kind of herd drawing its placements from the given generator, so that a scene
    // with a seed lays every herd out the same way on every run.
    virtual std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const = 0;
    // True when other is a creator of the same kind with the same parameters; the view keeps
    // its herds when the dialog hands it an equal creator.
    virtual bool equals(const HerdCreator& other) const = 0;
};
