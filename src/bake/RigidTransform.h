#pragma once

#include "bake/Quaternion.h"

#include "foundation/AffineTransform.h"
#include "foundation/Vector3d.h"

// A rotation followed by a translation, p' = R p + t: every bone pose of the generated
// animals is rigid, which is what lets dual-quaternion skinning serve as their reference.
struct RigidTransform {
    Quaternion rotation;
    Vector3d translation;

    constexpr Vector3d apply(const Vector3d& p) const { return rotation.rotate(p) + translation; }
    constexpr Vector3d applyToDirection(const Vector3d& d) const { return rotation.rotate(d); }

    // (a * b)(p) = a(b(p)).
    constexpr RigidTransform operator*(const RigidTransform& b) const
    {
        return {rotation * b.rotation, rotation.rotate(b.translation) + translation};
    }
    constexpr RigidTransform inverse() const
    {
        const Quaternion r = rotation.conjugate();
        return {r, -r.rotate(translation)};
    }

    static constexpr RigidTransform translationBy(const Vector3d& t) { return {Quaternion{}, t}; }
    // Rotation by q about the point `pivot`: p' = q (p - pivot) + pivot.
    static constexpr RigidTransform rotationAbout(const Vector3d& pivot, const Quaternion& q)
    {
        return {q, pivot - q.rotate(pivot)};
    }

    // The float form the skin files store.
    AffineTransform toAffine() const { return {rotation.toMatrix(), translation.toVector3f()}; }
};
