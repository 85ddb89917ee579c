#pragma once

#include "bake/RigidTransform.h"

#include "foundation/Vector3f.h"
#include "skin/BinarySkinWriter.h"

#include <string>
#include <vector>

// One body bone that carries the shadow: the joint it turns about in rest-pose space and its
// pose in every frame.
struct ShadowBone {
    Vector3d pivot;
    std::vector<RigidTransform> poses;
};

// The soft shadow an animal carries as its next skin: a flat elliptic disc just above the
// ground under the body. The viewer paints the ground in vertex 0's colour times the disc's
// largest mean lighting, then blends the disc over it in mean lighting x vertex colour under
// a soft alpha mask. So every vertex has the ground colour, vertex 0 lies on the rim, the mean
// lighting is 1 (the ground's own brightness) at the rim and falls to kCentreLighting at the
// centre, which reads as a shadow darkening towards the middle of the animal.
//
// Its bones (one, or two such as pelvis and chest) are body bones flattened onto the ground
// (their sideways and forward motion and their turn about the vertical, never a tilt or a
// lift), so the disc follows the body's sway while staying flat at kHeight. With two bones
// the disc blends from the first to the second along x between their pivots.
class ShadowBlob {
public:
    static constexpr double kHeight = 0.01;
    static constexpr double kCentreLighting = 0.45;
    static constexpr Vector3f kGroundColour{0.45f, 0.55f, 0.3f};

    // How the disc's angles are turned into coordinates: with the maths library's sine,
    // cosine and arc tangent (as the sample animals were made), or with square roots only,
    // which gives the same bits on every processor (library versions may differ by processor).
    enum class Angles { Library, SquareRoots };

    // A disc centred on (centreX, 0) with half-axes radiusX and radiusZ, following one or two
    // bones whose poses cover the same frames.
    ShadowBlob(std::string name, double centreX, double radiusX, double radiusZ, std::vector<ShadowBone> bones,
               Angles angles = Angles::Library);

    // The disc as a complete skin record: no texture or corrections, lighting data with a
    // mean per vertex and an empty basis. Frame boxes are left to the skin reader to measure.
    SkinRecord record() const;

    // A body bone's pose with everything but ground-plane motion removed.
    static RigidTransform flattened(const RigidTransform& pose, const Vector3d& pivot);
    // The same turn found with square roots only (half-angle formulas).
    static RigidTransform flattenedExactly(const RigidTransform& pose, const Vector3d& pivot);

private:
    static constexpr int kRings = 8;
    static constexpr int kSegments = 24;

    std::string m_name;
    double m_centreX;
    double m_radiusX;
    double m_radiusZ;
    std::vector<ShadowBone> m_bones;
    Angles m_angles;
};
