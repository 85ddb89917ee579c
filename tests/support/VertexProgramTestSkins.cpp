#include "VertexProgramTestSkins.h"

#include "skin/BinarySkinWriter.h"

#include <cmath>
#include <sstream>

std::shared_ptr<Skin> makeTestSkin(const TestSkinShape& shape)
{
    SkinRecord r;
    r.name = "generated";
    r.positions = {{0, 0, 0}, {1, 0.5f, 0}, {1, 1, 0.25f}, {0, 1, -0.5f}, {0.5f, 2, 1}};
    const unsigned v = static_cast<unsigned>(r.positions.size());
    r.normals = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0.6f, 0.8f}, {-0.8f, 0, 0.6f}, {0, -1, 0}};
    if (shape.texCoords) r.textureCoordinates = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 0.25f}};
    r.vertexColors = {{1, 0.5f, 0.25f}, {0.2f, 0.4f, 0.6f}, {1, 1, 1}, {0.9f, 0.1f, 0.3f}, {0.5f, 0.5f, 0}};
    r.triangles = {Triangle{{0, 1, 2}}, Triangle{{0, 2, 3}}, Triangle{{2, 3, 4}}};
    r.influences.resize(v);
    if (shape.bones > 0)
        for (unsigned i = 0; i < v; ++i) {
            // Vertex 0 carries the most; the rest fewer, down to none, so absent influences
            // are exercised too.
            const unsigned count = i == 0 ? shape.influences : (i * 3) % (shape.influences + 1);
            const float weights[4] = {0.55f, 0.25f, 0.15f, 0.05f};
            for (unsigned k = 0; k < count; ++k)
                r.influences[i].push_back({static_cast<std::int32_t>((i + 2 * k + 1) % shape.bones), weights[k % 4]});
        }
    r.bones.resize(shape.bones);
    for (unsigned b = 0; b < shape.bones; ++b)
        for (unsigned f = 0; f < shape.frames; ++f) {
            const float a = 0.3f * float(b + 1) + 0.2f * float(f);
            AffineTransform t;
            t.linear = Matrix3f(std::cos(a), -std::sin(a), 0.1f * float(b), std::sin(a), std::cos(a), 0, 0.05f * float(f),
                                0, 1.0f + 0.1f * float(b));
            t.translation = {float(b), 0.5f * float(f), -0.25f * float(b)};
            r.bones[b].push_back(t);
        }
    auto fillBasis = [&](DenseMatrix& basis, DenseMatrix& coordinates, unsigned count, float seed) {
        if (count == 0) return;
        basis.resize(3 * v, count);
        for (unsigned row = 0; row < 3 * v; ++row)
            for (unsigned c = 0; c < count; ++c) basis(row, c) = 0.1f * std::sin(seed + float(row) * 0.7f + float(c));
        coordinates.resize(shape.frames, count);
        for (unsigned f = 0; f < shape.frames; ++f)
            for (unsigned c = 0; c < count; ++c) coordinates(f, c) = 1.0f + float(f) - 0.3f * float(c);
    };
    fillBasis(r.displacementBasis, r.displacementCoordinates, shape.displacementBasis, 0.5f);
    fillBasis(r.normalBasis, r.normalCoordinates, shape.normalBasis, 1.5f);
    r.meanLighting = {0.5f, 0.7f, 0.2f, 0.9f, 0.4f};
    r.lightingBasis.resize(v, shape.lightingBasis);
    for (unsigned i = 0; i < v; ++i)
        for (unsigned c = 0; c < shape.lightingBasis; ++c) r.lightingBasis(i, c) = 0.05f * float(i + 1) - 0.02f * float(c);
    r.lightingCoordinates.resize(shape.lightingBasis, shape.frames);
    for (unsigned c = 0; c < shape.lightingBasis; ++c)
        for (unsigned f = 0; f < shape.frames; ++f) r.lightingCoordinates(c, f) = 0.5f + float(c) * 0.25f - float(f) * 0.1f;

    std::stringstream bytes;
    writeSkinRecord(bytes, r);
    return std::make_shared<Skin>(bytes);
}

std::map<unsigned, Float4> attributeValues(const VertexAttributeSet& attributes, unsigned v)
{
    std::map<unsigned, Float4> out;
    for (const VertexAttributeSet::Record& record : attributes.records()) {
        Float4 value{0, 0, 0, 1};
        for (unsigned c = 0; c < record.componentCount(); ++c) value[c] = record.arrays[c][v];
        out[record.index] = value;
    }
    return out;
}

std::map<unsigned, Float4> envParameters(const Skin& skin, const VertexProgramGenerator::Layout& layout, unsigned f)
{
    std::map<unsigned, Float4> env;
    for (unsigned b = 0; b < skin.boneCount(); ++b) {
        const AffineTransform& t = skin.boneAnimation(b)[f];
        for (unsigned r = 0; r < 3; ++r)
            env[3 * b + r] = {t.linear(int(r), 0), t.linear(int(r), 1), t.linear(int(r), 2), t.translation[int(r)]};
    }
    auto upload = [&](unsigned first, const std::vector<float>& list) {
        for (std::size_t k = 0; k < list.size(); k += 4) {
            Float4 value{0, 0, 0, 0};
            for (std::size_t c = 0; c < 4 && k + c < list.size(); ++c) value[c] = list[k + c];
            env[first + unsigned(k / 4)] = value;
        }
    };
    std::vector<float> scalars;
    for (unsigned j = 0; j < layout.vertexCorrectionCount(); ++j) scalars.push_back(skin.displacementCoordinates()(f, j));
    for (unsigned j = 0; j < layout.normalCorrectionCount(); ++j) scalars.push_back(skin.normalCoordinates()(f, j));
    upload(3 * skin.boneCount(), scalars);
    std::vector<float> prt;
    for (unsigned j = 0; j < layout.prtBasisCount; ++j) prt.push_back(skin.lightingCoordinates()(j, f));
    upload(layout.prtFirstVector, prt);
    return env;
}
