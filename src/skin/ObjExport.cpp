#include "skin/ObjExport.h"

#include <array>
#include <cmath>
#include <cstdio>

std::string exportGroupName(const std::string& skinName, unsigned index)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05u", index);
    return skinName + digits;
}

namespace {

// The inverse transpose of the upper 3x3 of m, row-major; false when it is singular.
bool normalMatrix(const Matrix4f& m, std::array<double, 9>& out)
{
    const auto a = [&](int r, int c) { return static_cast<double>(m(r, c)); };
    // Cofactors: the inverse transpose is the cofactor matrix over the determinant.
    const double c00 = a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1);
    const double c01 = a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2);
    const double c02 = a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0);
    const double c10 = a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2);
    const double c11 = a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0);
    const double c12 = a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1);
    const double c20 = a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1);
    const double c21 = a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2);
    const double c22 = a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0);
    const double determinant = a(0, 0) * c00 + a(0, 1) * c01 + a(0, 2) * c02;
    if (determinant == 0.0 || !std::isfinite(determinant)) return false;
    const double s = 1.0 / determinant;
    out = {c00 * s, c01 * s, c02 * s, c10 * s, c11 * s, c12 * s, c20 * s, c21 * s, c22 * s};
    return true;
}

} // namespace

void appendPlacedSkin(ObjFile& model, const Skin& skin, std::span<const PlacedFrame> animals)
{
    const unsigned frames = skin.frameCount();
    for (std::size_t i = 0; i < animals.size(); ++i) {
        const PlacedFrame& animal = animals[i];
        const bool animated = frames > 0;
        const std::uint32_t frame = animated ? animal.frame % frames : 0;
        const std::vector<Vector3f>& positions = animated ? skin.framePositions(frame) : skin.restPositions();
        const std::vector<Vector3f>& normals = animated ? skin.frameNormals(frame) : skin.restNormals();
        const Matrix4f& m = animal.transform;
        const auto e = [&](int r, int c) { return static_cast<double>(m(r, c)); };

        std::vector<Vector3d> vertices;
        vertices.reserve(positions.size());
        for (const Vector3f& p : positions) {
            double out[4];
            for (int r = 0; r < 4; ++r) out[r] = e(r, 0) * p.x + e(r, 1) * p.y + e(r, 2) * p.z + e(r, 3);
            vertices.emplace_back(out[0] / out[3], out[1] / out[3], out[2] / out[3]);
        }
        std::array<double, 9> n{1, 0, 0, 0, 1, 0, 0, 0, 1};
        normalMatrix(m, n);
        std::vector<Vector3d> turned;
        turned.reserve(normals.size());
        for (const Vector3f& v : normals)
            turned.emplace_back(n[0] * v.x + n[1] * v.y + n[2] * v.z, n[3] * v.x + n[4] * v.y + n[5] * v.z,
                                n[6] * v.x + n[7] * v.y + n[8] * v.z);

        ObjFile::Group group(exportGroupName(skin.name(), static_cast<unsigned>(i)));
        for (const Triangle& t : skin.triangles()) {
            ObjCorner face[3];
            for (int c = 0; c < 3; ++c) {
                const auto number = static_cast<std::int32_t>(t.index[c] + 1);
                face[c] = ObjCorner{number, false, 0, true, number};
            }
            group.addFace(face);
        }
        model.append(vertices, turned, {}, {std::move(group)});
    }
}
