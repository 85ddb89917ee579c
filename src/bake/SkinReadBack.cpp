#include "bake/SkinReadBack.h"

#include "bake/DualQuaternionSkinning.h"

#include <cmath>
#include <sstream>

std::unique_ptr<Skin> readBackSkin(const SkinRecord& record)
{
    std::stringstream buffer(std::ios::in | std::ios::out | std::ios::binary);
    writeSkinRecord(buffer, record);
    buffer.seekg(0);
    return std::make_unique<Skin>(buffer);
}

namespace {

DenseMatrix leadingColumns(const DenseMatrix& m, unsigned k)
{
    const unsigned keep = std::min(k, m.columns());
    DenseMatrix result(m.rows(), keep);
    for (unsigned c = 0; c < keep; ++c)
        for (unsigned r = 0; r < m.rows(); ++r) result(r, c) = m(r, c);
    return result;
}

} // namespace

SkinRecord withCorrections(const SkinRecord& record, unsigned k)
{
    SkinRecord copy = record;
    copy.displacementBasis = leadingColumns(record.displacementBasis, k);
    copy.displacementCoordinates = leadingColumns(record.displacementCoordinates, k);
    copy.normalBasis = leadingColumns(record.normalBasis, k);
    copy.normalCoordinates = leadingColumns(record.normalCoordinates, k);
    return copy;
}

std::vector<std::vector<Vector3d>> dualQuaternionReference(const Skin& skin)
{
    std::vector<std::vector<Vector3d>> frames(skin.frameCount());
    std::vector<AffineTransform> bones(skin.boneCount());
    for (unsigned f = 0; f < skin.frameCount(); ++f) {
        for (unsigned b = 0; b < skin.boneCount(); ++b) bones[b] = skin.boneAnimation(b)[f];
        const DualQuaternionSkinning dqs = DualQuaternionSkinning::fromAffine(bones);
        frames[f].reserve(skin.vertexCount());
        for (unsigned v = 0; v < skin.vertexCount(); ++v)
            frames[f].push_back(dqs.blend(skin.influences(v)).apply(Vector3d(skin.restPositions()[v])));
    }
    return frames;
}

double positionRms(const Skin& skin, const std::vector<std::vector<Vector3d>>& reference)
{
    double sum = 0.0;
    for (unsigned f = 0; f < skin.frameCount(); ++f) {
        const std::vector<Vector3f>& positions = skin.framePositions(f);
        for (unsigned v = 0; v < skin.vertexCount(); ++v) {
            const Vector3d d = Vector3d(positions[v]) - reference[f][v];
            sum += d.dot(d);
        }
    }
    return std::sqrt(sum / (double(skin.frameCount()) * double(skin.vertexCount())));
}
