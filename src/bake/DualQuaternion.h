#pragma once

#include "bake/Quaternion.h"
#include "bake/RigidTransform.h"

// Dual quaternion q0 + eps qe of a rigid transform. Blending unit dual quaternions and
// normalising gives a rigid transform again, so skinning with them never shrinks a joint the
// way blending matrices does: the generator's reference deformation.
struct DualQuaternion {
    Quaternion real{0, 0, 0, 0};
    Quaternion dual{0, 0, 0, 0};

    static DualQuaternion fromRigid(const RigidTransform& t)
    {
        const Quaternion translation{0, t.translation.x, t.translation.y, t.translation.z};
        return {t.rotation, translation * t.rotation * 0.5};
    }

    DualQuaternion operator*(double s) const { return {real * s, dual * s}; }
    DualQuaternion operator+(const DualQuaternion& o) const { return {real + o.real, dual + o.dual}; }

    // The rigid transform of a blend; the real part must not be zero.
    RigidTransform toRigid() const
    {
        const double n = real.norm();
        const Quaternion r = real * (1.0 / n);
        const Quaternion d = dual * (1.0 / n);
        const Quaternion t = d * r.conjugate() * 2.0;
        return {r, {t.x, t.y, t.z}};
    }
};
