#pragma once

#include "AnimalMesh.h"
#include "BodyPlan.h"
#include "ProceduralNoise.h"

#include "foundation/Vector3f.h"

#include <vector>

// Per-vertex coat colours painted in rest-pose space, so that the pattern runs on across
// parts and every level of detail shows the same animal: black patches on white for the
// quadruped, brown cells in a net of cream lines for the long-necked one, with dark hooves,
// eyes and tail tuft and a lighter muzzle. The viewer multiplies these colours with the
// lighting, and with the texture where it draws one.
class CoatPattern {
public:
    explicit CoatPattern(const BodyPlan& plan);

    Vector3f colour(const Vector3d& restPosition, const SurfacePoint& where) const;
    std::vector<Vector3f> colours(const AnimalMesh& mesh) const;

private:
    double markings(const Vector3d& p) const;

    const BodyPlan& m_plan;
    ProceduralNoise m_noise;
    Vector3d m_eyes[2];
};
