#include "foundation/Vector4f.h"

Vector4f cross(const Vector4f& a, const Vector4f& b, const Vector4f& c)
{
    // 2x2 minors of the last two rows, shared by the four cofactors.
    const float zw = b.z * c.w - b.w * c.z;
    const float yw = b.y * c.w - b.w * c.y;
    const float yz = b.y * c.z - b.z * c.y;
    const float xw = b.x * c.w - b.w * c.x;
    const float xz = b.x * c.z - b.z * c.x;
    const float xy = b.x * c.y - b.y * c.x;
    return {a.y * zw - a.z * yw + a.w * yz,
            -(a.x * zw - a.z * xw + a.w * xz),
            a.x * yw - a.y * xw + a.w * xy,
            -(a.x * yz - a.y * xz + a.z * xy)};
}
