#pragma once

#include "bake/ProxySphere.h"

#include "foundation/Vector2f.h"
#include "foundation/Vector3d.h"
#include "skin/Skin.h"

#include <cstddef>
#include <vector>

// Which body part a vertex was made for: the coat pattern darkens hooves and lightens muzzles.
enum class PartKind { Torso, Neck, Head, Ear, Headgear, Tail, Leg };

// A rectangle of texture space (u, v in [0, 1], v = 0 at the bottom as OpenGL has it).
struct TextureRegion {
    float u0 = 0.0f;
    float v0 = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

// Where on its part a vertex lies: t runs from the part's start (inside the body) to its end.
struct SurfacePoint {
    PartKind kind = PartKind::Torso;
    float t = 0.0f;
};

// A generated mesh at one level of detail in its rest pose, in double precision until it is
// written. Influences are sorted by weight, at most four per vertex, summing to 1.
struct AnimalMesh {
    std::vector<Vector3d> positions;
    std::vector<Vector3d> normals;
    std::vector<Vector2f> textureCoordinates;
    std::vector<SurfacePoint> surfacePoints;
    std::vector<std::vector<BoneInfluence>> influences;
    std::vector<Triangle> triangles;

    std::size_t vertexCount() const { return positions.size(); }
};
