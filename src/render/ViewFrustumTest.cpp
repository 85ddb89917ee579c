#include "render/ViewFrustumTest.h"

bool ViewFrustumTest::isOutside(const Matrix4f& clip, const BoundingBox& box)
{
    if (box.isEmpty()) return true;
    // Six flags: every corner so far is below -1 / above +1 on axis a after the divide by w.
    // They are tested in clip space as x < -w and x > w, which is the same comparison for a
    // corner in front of the eye (w > 0) but stays right for corners behind it, where dividing
    // by a negative w would flip the side and cull boxes that reach into the view.
    bool below[3] = {true, true, true};
    bool above[3] = {true, true, true};
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3f p{(corner & 1) ? box.maximum.x : box.minimum.x, (corner & 2) ? box.maximum.y : box.minimum.y,
                         (corner & 4) ? box.maximum.z : box.minimum.z};
        const Vector4f c = clip * Vector4f(p, 1.0f);
        for (int a = 0; a < 3; ++a) {
            below[a] = below[a] && c[a] < -c.w;
            above[a] = above[a] && c[a] > c.w;
        }
    }
    for (int a = 0; a < 3; ++a)
        if (below[a] || above[a]) return true;
    return false;
}
