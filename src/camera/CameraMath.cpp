#include "camera/CameraMath.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <istream>
#include <ostream>

namespace cameramath {

namespace {

struct Rotation3d {
    double m[3][3];
};

Rotation3d rotationMatrix(const Vector3f& axis, double angle)
{
    const double s = std::sin(angle / 2.0), c = std::cos(angle / 2.0);
    const double x = axis.x * s, y = axis.y * s, z = axis.z * s, w = c;
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}

} // namespace

Vector3d rotate(const Vector3f& axis, double angle, const Vector3d& v)
{
    const Rotation3d r = rotationMatrix(axis, angle);
    return {r.m[0][0] * v.x + r.m[0][1] * v.y + r.m[0][2] * v.z, r.m[1][0] * v.x + r.m[1][1] * v.y + r.m[1][2] * v.z,
            r.m[2][0] * v.x + r.m[2][1] * v.y + r.m[2][2] * v.z};
}

Matrix3f rotation(const Vector3f& axis, double angle)
{
    const Rotation3d r = rotationMatrix(axis, angle);
    Matrix3f m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m(i, j) = static_cast<float>(r.m[i][j]);
    return m;
}

Vector3d normalizedOr(const Vector3d& v, const Vector3d& fallback)
{
    const double length = v.length();
    if (!(length > 0.0) || !std::isfinite(length)) return fallback;
    return v * (1.0 / length);
}

void writeFloats(std::ostream& out, const float* values, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[i]);
        const char bytes[4] = {char(bits & 0xFF), char((bits >> 8) & 0xFF), char((bits >> 16) & 0xFF),
                               char((bits >> 24) & 0xFF)};
        out.write(bytes, 4);
    }
}

bool readFloats(std::istream& in, float* values, int count)
{
    for (int i = 0; i < count; ++i) {
        unsigned char bytes[4];
        if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
        const std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
        values[i] = std::bit_cast<float>(bits);
    }
    return true;
}

} // namespace cameramath
