#include "TestSkins.h"

#include <cmath>
#include <sstream>

SkinRecord sphereRecord(const std::string& name, const SphereOptions& o)
{
    SkinRecord r;
    r.name = name;
    r.textureFileName = o.textureFileName;
    const float pi = 3.14159265f;
    auto add = [&](const Vector3f& p) {
        r.positions.push_back(p);
        r.normals.push_back(p);
        r.textureCoordinates.push_back({0.5f + std::atan2(p.y, p.x) / (2 * pi), 0.5f + 0.5f * p.z});
        r.vertexColors.push_back(o.color);
        if (p.z > 0.0f)
            r.influences.push_back({{0, 0.5f}, {1, 0.5f}});
        else
            r.influences.push_back({{0, 1.0f}});
    };
    add({0, 0, 1});
    for (unsigned ring = 1; ring < o.rings; ++ring) {
        const float theta = pi * float(ring) / float(o.rings);
        for (unsigned s = 0; s < o.segments; ++s) {
            const float phi = 2 * pi * float(s) / float(o.segments);
            add({std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)});
        }
    }
    add({0, 0, -1});
    const unsigned south = static_cast<unsigned>(r.positions.size()) - 1;
    auto at = [&](unsigned ring, unsigned s) { return 1 + (ring - 1) * o.segments + s % o.segments; };
    // Counter-clockwise seen from outside.
    for (unsigned s = 0; s < o.segments; ++s) r.triangles.push_back(Triangle{{0, at(1, s), at(1, s + 1)}});
    for (unsigned ring = 1; ring + 1 < o.rings; ++ring)
        for (unsigned s = 0; s < o.segments; ++s) {
            r.triangles.push_back(Triangle{{at(ring, s), at(ring + 1, s), at(ring + 1, s + 1)}});
            r.triangles.push_back(Triangle{{at(ring, s), at(ring + 1, s + 1), at(ring, s + 1)}});
        }
    for (unsigned s = 0; s < o.segments; ++s)
        r.triangles.push_back(Triangle{{at(o.rings - 1, s), south, at(o.rings - 1, s + 1)}});

    const unsigned v = static_cast<unsigned>(r.positions.size());
    r.boundingBox = BoundingBox({-1, -1, -1}, {1, 1, 1});
    r.bones.resize(2);
    for (unsigned f = 0; f < o.frames; ++f) {
        const float a = 0.15f * float(f);
        r.bones[0].push_back(AffineTransform{});
        r.bones[1].push_back(
            AffineTransform{Matrix3f(std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1), {}});
        r.frameBoxes.push_back(r.boundingBox);
    }

    const Vector3f toLight = Vector3f(1, 1, 1).normalized();
    for (unsigned i = 0; i < v; ++i)
        r.meanLighting.push_back(o.flatLighting ? o.meanLighting
                                                : 0.2f + 0.8f * std::max(0.0f, r.normals[i].dot(toLight)));
    const unsigned basisCount = o.prtBasis ? 2 : 0;
    r.lightingBasis.resize(v, basisCount);
    // The reader wants one (possibly empty) column per frame even without a basis.
    r.lightingCoordinates.resize(basisCount, o.frames);
    if (o.prtBasis) {
        for (unsigned i = 0; i < v; ++i) {
            r.lightingBasis(i, 0) = r.normals[i].x;
            r.lightingBasis(i, 1) = r.normals[i].y;
        }
        for (unsigned f = 0; f < o.frames; ++f) {
            r.lightingCoordinates(0, f) = 0.3f * std::cos(0.5f * float(f));
            r.lightingCoordinates(1, f) = 0.3f * std::sin(0.5f * float(f));
        }
    }
    return r;
}

std::shared_ptr<Skin> skinOf(const SkinRecord& record)
{
    std::ostringstream out;
    writeSkinRecord(out, record);
    std::istringstream in(out.str());
    return std::make_shared<Skin>(in);
}
