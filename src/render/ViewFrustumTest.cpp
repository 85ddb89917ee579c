#include "render/ViewFrustumTest.h"

bool ViewFrustumTest::isOutside(const Matrix4f& clip, const BoundingBox& box)
{
    if (box.isEmpty()) return true;
    // Clip x, y, z and w of a corner are sums of one term per axis: the two possible terms of
    // each axis are multiplied once and added up for the eight corners in the order the matrix
    // product adds them, so every corner comes out bit for bit as clip * (corner, 1) would
    // give it, at a fifth of the multiplications.
    const float* m = clip.data();
    float terms[4][3][2];
    for (int row = 0; row < 4; ++row)
        for (int a = 0; a < 3; ++a) {
            terms[row][a][0] = m[4 * row + a] * box.minimum[a];
            terms[row][a][1] = m[4 * row + a] * box.maximum[a];
        }
    // Six flags: every corner so far is below -1 / above +1 on axis a after the divide by w.
    // They are tested in clip space as x < -w and x > w, which is the same comparison for a
    // corner in front of the eye (w > 0) but stays right for corners behind it, where dividing
    // by a negative w would flip the side and cull boxes that reach into the view.
    bool below[3] = {true, true, true};
    bool above[3] = {true, true, true};
    for (int corner = 0; corner < 8; ++corner) {
        const int i = corner & 1, j = (corner >> 1) & 1, k = (corner >> 2) & 1;
        float c[4];
        for (int row = 0; row < 4; ++row)
            c[row] = terms[row][0][i] + terms[row][1][j] + terms[row][2][k] + m[4 * row + 3];
        for (int a = 0; a < 3; ++a) {
            below[a] = below[a] && c[a] < -c[3];
            above[a] = above[a] && c[a] > c[3];
        }
    }
    for (int a = 0; a < 3; ++a)
        if (below[a] || above[a]) return true;
    return false;
}
