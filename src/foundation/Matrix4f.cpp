#include "foundation/Matrix4f.h"

#include "foundation/MatrixInverse.h"

#include <cmath>

Matrix4f Matrix4f::identity()
{
    Matrix4f r;
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Matrix4f Matrix4f::translation(const Vector3f& t)
{
    Matrix4f r = identity();
    r.m[3] = t.x;
    r.m[7] = t.y;
    r.m[11] = t.z;
    return r;
}

Matrix4f Matrix4f::scaling(const Vector3f& s)
{
    Matrix4f r;
    r.m[0] = s.x;
    r.m[5] = s.y;
    r.m[10] = s.z;
    r.m[15] = 1.0f;
    return r;
}

Matrix4f Matrix4f::rotation(const Vector3f& axis, float angleRadians)
{
    const float c = std::cos(angleRadians);
    const float s = std::sin(angleRadians);
    const float t = 1.0f - c;
    const float x = axis.x, y = axis.y, z = axis.z;
    Matrix4f r = identity();
    r(0, 0) = t * x * x + c;
    r(0, 1) = t * x * y - s * z;
    r(0, 2) = t * x * z + s * y;
    r(1, 0) = t * x * y + s * z;
    r(1, 1) = t * y * y + c;
    r(1, 2) = t * y * z - s * x;
    r(2, 0) = t * x * z - s * y;
    r(2, 1) = t * y * z + s * x;
    r(2, 2) = t * z * z + c;
    return r;
}

Matrix4f Matrix4f::fromColumnMajor(const float* values)
{
    Matrix4f r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) r(row, col) = values[4 * col + row];
    return r;
}

Matrix4f Matrix4f::operator*(const Matrix4f& o) const
{
    Matrix4f r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += (*this)(row, k) * o(k, col);
            r(row, col) = sum;
        }
    return r;
}

Vector4f Matrix4f::operator*(const Vector4f& v) const
{
    Vector4f r;
    for (int row = 0; row < 4; ++row)
        r[row] = m[4 * row] * v.x + m[4 * row + 1] * v.y + m[4 * row + 2] * v.z + m[4 * row + 3] * v.w;
    return r;
}

Vector3f Matrix4f::transformPoint(const Vector3f& p) const
{
    return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3],
            m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
            m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
}

Vector3f Matrix4f::transformVector(const Vector3f& v) const
{
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z,
            m[4] * v.x + m[5] * v.y + m[6] * v.z,
            m[8] * v.x + m[9] * v.y + m[10] * v.z};
}

Matrix4f Matrix4f::transposed() const
{
    Matrix4f r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) r(row, col) = (*this)(col, row);
    return r;
}

bool Matrix4f::inverse(Matrix4f& out) const
{
    // Double precision: camera and instance matrices are well conditioned, and this keeps the
    // result good to float precision.
    std::array<double, 16> in;
    std::array<double, 16> inverted;
    for (int i = 0; i < 16; ++i) in[i] = m[i];
    if (!invert4x4(in, inverted)) return false;
    for (int i = 0; i < 16; ++i) out.m[i] = static_cast<float>(inverted[i]);
    return true;
}
