#pragma once

#include "camera/KeyableAttribute.h"

#include <memory>
#include <vector>

// Something with animatable parameters: it lists them, in its own fixed order, as keyables
// for the view to wrap in key animations.
template <typename T>
class HasKeyable {
public:
    virtual ~HasKeyable() = default;

    // A new list of keyables bound to this object's parameters, in the owner's fixed order.
    virtual std::vector<std::shared_ptr<KeyableAttribute<T>>> keyables() = 0;
};
