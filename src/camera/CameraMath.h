#pragma once

// Double-precision helpers shared by the two cameras: rotations built from a quaternion,
// guarded normalisation and the little-endian float32 stored form. Internal to the camera
// library.

#include "foundation/Matrix3f.h"
#include "foundation/Vector3d.h"

#include <iosfwd>

namespace cameramath {

// R(axis, angle) x v, the rotation built from the quaternion (sin(angle/2) axis, cos(angle/2)).
Vector3d rotate(const Vector3f& axis, double angle, const Vector3d& v);
// The 3x3 matrix of the same rotation.
Matrix3f rotation(const Vector3f& axis, double angle);
// v / |v|, or the fallback when v has no usable length (zero, infinite or NaN).
Vector3d normalizedOr(const Vector3d& v, const Vector3d& fallback);

void writeFloats(std::ostream& out, const float* values, int count);
// All count floats, or false with the stream failed and values partly written.
bool readFloats(std::istream& in, float* values, int count);

} // namespace cameramath
