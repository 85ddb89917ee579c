#pragma once

#include "foundation/BoundingBox.h"

#include <deque>
#include <memory>

class Herd;
class HierarchicalHerd;

// The box around every animal of the herds: the union of their instances' boxes in scene
// space, as the herds report them for the current frame. Empty when there are no animals.
BoundingBox instanceBounds(const Herd& herd);
BoundingBox instanceBounds(const std::deque<std::shared_ptr<HierarchicalHerd>>& herds);
