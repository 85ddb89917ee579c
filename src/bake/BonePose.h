#pragma once

#include "bake/Matrix3d.h"
#include "bake/RigidTransform.h"

#include "foundation/AffineTransform.h"

#include <vector>

// One bone's pose in one frame, mapping rest-pose space to the posed frame, in the two forms
// the bakers need: the linear part and translation that linear blend skinning (the viewer's
// skinning) blends, and the rigid transform that dual-quaternion blending (the reference the
// corrections steer towards) takes. A pose that is not rigid (a scaled bone) is
// linear = rotation * stretch: the reference then blends the stretches linearly and the
// rigid parts as dual quaternions.
struct BonePose {
    RigidTransform rigid;
    Matrix3d linear = identityMatrix3d();
    Matrix3d stretch = identityMatrix3d();
    bool stretched = false;

    // A rigid pose: linear is the rotation's matrix, no stretch.
    static BonePose fromRigid(const RigidTransform& rigid);
    // Any pose p' = linear p + translation; linear should have a positive determinant
    // (a mirroring pose has no rotation to blend and is treated as its mirror image's rotation).
    static BonePose fromAffine(const Matrix3d& linear, const Vector3d& translation);

    const Vector3d& translation() const { return rigid.translation; }
    Vector3d apply(const Vector3d& p) const { return multiply(linear, p) + rigid.translation; }
    // The float form the skin files store.
    AffineTransform toAffine() const { return {toMatrix3f(linear), rigid.translation.toVector3f()}; }
};

// Poses of every bone in every frame: poses[frame][bone].
using FramePoses = std::vector<std::vector<BonePose>>;

// The rotation of the polar decomposition m = R S (R a rotation, S symmetric), by Higham's
// iteration R <- (R + R^-T) / 2 from R = m; a fixed iteration count keeps it deterministic.
// m must be invertible; a mirroring m gives the rotation of -m.
Matrix3d polarRotation(const Matrix3d& m);

// The rotation matrix of a unit quaternion (columns are the turned axes).
Matrix3d rotationMatrix(const Quaternion& q);
