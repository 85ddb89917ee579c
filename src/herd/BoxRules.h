#pragma once

// The box rules every herd shares: when two animals touch, how boxes are widened and how a
// box follows a transform. Kept in one place so that placement (which avoids touching) and
// the queries (which detect it) can never disagree.

#include "foundation/BoundingBox.h"
#include "foundation/Matrix4f.h"

// Scene units by which animals are kept apart, so that they never quite touch.
constexpr float kCollisionTolerance = 0.2f;

// True unless, on some axis, a lies more than tolerance below b or b more than tolerance
// below a. Empty boxes overlap nothing, and a box holding a NaN never overlaps either, so a
// corrupt placement cannot block the whole scene.
bool overlap(const BoundingBox& a, const BoundingBox& b, float tolerance);

// The box moved out by d on every side; an empty box stays empty.
BoundingBox grow(const BoundingBox& box, float d);

// The box of the eight transformed corners (w = 1, no divide); an empty box is returned as is.
BoundingBox transformBox(const BoundingBox& box, const Matrix4f& m);

// max - min along an axis, and 0 for an empty box (whose raw difference would be -infinity).
float boxExtent(const BoundingBox& box, int axis);
