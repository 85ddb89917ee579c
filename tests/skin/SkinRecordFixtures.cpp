#include "SkinRecordFixtures.h"

#include <sstream>

namespace fixtures {

namespace {

void addLighting(SkinRecord& record, unsigned lightingFrames)
{
    const unsigned v = static_cast<unsigned>(record.positions.size());
    record.meanLighting.assign(v, 0.5f);
    record.lightingBasis.resize(v, 1);
    for (unsigned i = 0; i < v; ++i) record.lightingBasis(i, 0) = 0.1f * float(i);
    record.lightingCoordinates.resize(1, lightingFrames);
    for (unsigned f = 0; f < lightingFrames; ++f) record.lightingCoordinates(0, f) = float(f);
}

} // namespace

SkinRecord quad(const std::string& name, unsigned frames)
{
    SkinRecord r;
    r.name = name;
    r.textureFileName = "coat.png";
    r.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    r.normals.assign(4, {0, 0, 1});
    r.textureCoordinates = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    r.vertexColors.assign(4, {1, 0.5f, 0.25f});
    r.triangles = {Triangle{{0, 1, 2}}, Triangle{{0, 2, 3}}};
    r.boundingBox = BoundingBox({0, 0, 0}, {1, 1, 0});
    r.influences = {{{0, 1.0f}}, {{0, 1.0f}}, {{0, 0.5f}, {1, 0.5f}}, {{0, 0.5f}, {1, 0.5f}}};
    r.bones.resize(2);
    for (unsigned f = 0; f < frames; ++f) {
        r.bones[0].push_back(AffineTransform{});
        r.bones[1].push_back(AffineTransform{Matrix3f::diagonal(1), {0, float(f), 0}});
        BoundingBox box({0, 0, 0}, {1, 1 + 0.5f * f, 0});
        r.frameBoxes.push_back(box);
    }
    addLighting(r, frames);
    return r;
}

SkinRecord grid(const std::string& name, unsigned w, unsigned h)
{
    SkinRecord r;
    r.name = name;
    for (unsigned y = 0; y <= h; ++y)
        for (unsigned x = 0; x <= w; ++x) r.positions.push_back({float(x), float(y), 0});
    const unsigned v = static_cast<unsigned>(r.positions.size());
    r.normals.assign(v, {0, 0, 1});
    r.vertexColors.assign(v, {1, 1, 1});
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const unsigned a = y * (w + 1) + x, b = a + 1, c = a + w + 2, d = a + w + 1;
            r.triangles.push_back(Triangle{{a, b, c}});
            r.triangles.push_back(Triangle{{a, c, d}});
        }
    r.boundingBox = BoundingBox({0, 0, 0}, {float(w), float(h), 0});
    r.influences.assign(v, {{0, 1.0f}});
    r.bones.resize(1);
    addLighting(r, 0);
    r.lightingBasis.resize(v, 0);
    r.lightingCoordinates.resize(0, 0);
    return r;
}

std::string bytesOf(const std::vector<SkinRecord>& records)
{
    std::ostringstream out;
    for (const SkinRecord& record : records) writeSkinRecord(out, record);
    return out.str();
}

} // namespace fixtures
