#include "render/BoxFaces.h"

std::array<BoxFace, 6> boxFaces(const BoundingBox& box)
{
    std::array<BoxFace, 6> faces;
    for (int a = 0; a < 3; ++a) {
        const int a1 = (a + 1) % 3, a2 = (a + 2) % 3;
        Vector3f e1, e2, normal;
        e1[a1] = box.maximum[a1] - box.minimum[a1];
        e2[a2] = box.maximum[a2] - box.minimum[a2];
        normal[a] = 1.0f;

        Vector3f base = box.minimum;
        base[a] = box.maximum[a];
        faces[2 * a] = {normal, {base, base + e1, base + e1 + e2, base + e2}};

        base = box.minimum;
        faces[2 * a + 1] = {-normal, {base, base + e2, base + e1 + e2, base + e1}};
    }
    return faces;
}
