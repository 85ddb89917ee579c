#include "bake/PrtLighting.h"

#include "bake/Eigenskin.h"
#include "bake/ParallelFor.h"
#include "bake/PoseBlend.h"

#include <algorithm>
#include <cmath>

namespace {

double smoothStep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

double PrtLighting::lightingAt(const Vector3d& p, const Vector3d& n, const std::vector<Vector3d>& centres,
                               const std::vector<double>& radii)
{
    // Cosine-weighted shares of the hemisphere above and below the horizon.
    const double skyShare = 0.5 * (1.0 + n.y);
    const double groundShare = 1.0 - skyShare;
    // Visibility multiplies over the balls, so overlapping neighbours are not counted twice.
    double visible = 1.0;
    double occludedSum = 0.0;
    double occludedAbove = 0.0;
    for (std::size_t i = 0; i < centres.size(); ++i) {
        const Vector3d toCentre = centres[i] - p;
        const double r = radii[i];
        const double d2 = toCentre.dot(toCentre);
        double occlusion = 1.0;
        if (d2 > r * r) {
            const double d = std::sqrt(d2);
            const double height = toCentre.dot(n);
            if (height <= -r) continue;
            // cos(angle) above the plane; a smooth (height + r)^2 / (4 r d) while the ball
            // straddles it, meeting r / d with the same slope at height = r.
            const double cosine = height >= r ? height / d : (height + r) * (height + r) / (4.0 * r * d);
            occlusion = std::min(1.0, r * r / d2 * cosine);
        }
        visible *= 1.0 - occlusion;
        occludedSum += occlusion;
        occludedAbove += occlusion * smoothStep((toCentre.y + r) / (2.0 * r));
    }
    const double occluded = 1.0 - visible;
    const double aboveFraction = occludedSum > 0.0 ? occludedAbove / occludedSum : 0.0;
    // Whatever one side cannot lose any more (a vertex facing the sky has no ground to lose)
    // comes off the other, so the total lost is always the occluded share.
    double skyLost = std::min(skyShare, occluded * aboveFraction);
    const double groundLost = std::min(groundShare, occluded - skyLost);
    skyLost = std::min(skyShare, occluded - groundLost);
    return kSky * (skyShare - skyLost) + kGround * (groundShare - groundLost) + kBody * (skyLost + groundLost);
}

std::vector<std::vector<Vector3d>> PrtLighting::posedCentres(const std::vector<ProxySphere>& proxies,
                                                             const FramePoses& poses)
{
    std::vector<std::vector<Vector3d>> centres(poses.size(), std::vector<Vector3d>(proxies.size()));
    for (std::size_t f = 0; f < poses.size(); ++f) {
        const PoseBlend blend(poses[f]);
        for (std::size_t i = 0; i < proxies.size(); ++i) centres[f][i] = blend.position(proxies[i].influences, proxies[i].centre);
    }
    return centres;
}

PrtLighting::PrtLighting(const std::vector<std::vector<Vector3d>>& positions,
                         const std::vector<std::vector<Vector3d>>& normals,
                         const std::vector<std::vector<Vector3d>>& centres, const std::vector<double>& radii,
                         int basisCount, unsigned threads)
    : m_vertexCount(positions.empty() ? 0 : positions.front().size())
{
    const int frames = static_cast<int>(positions.size());
    const std::size_t vertexCount = m_vertexCount;
    m_values.resize(vertexCount * static_cast<std::size_t>(frames));
    parallelFor(static_cast<std::size_t>(frames), [&](std::size_t f) {
        double* column = m_values.data() + vertexCount * f;
        for (std::size_t v = 0; v < vertexCount; ++v) column[v] = lightingAt(positions[f][v], normals[f][v], centres[f], radii);
    }, threads);

    m_mean.assign(vertexCount, 0.0f);
    std::vector<double> deviations(m_values.size());
    for (std::size_t v = 0; v < vertexCount; ++v) {
        double sum = 0.0;
        for (int f = 0; f < frames; ++f) sum += value(f, v);
        m_mean[v] = static_cast<float>(sum / frames);
        for (int f = 0; f < frames; ++f)
            deviations[v + static_cast<std::size_t>(f) * vertexCount] = value(f, v) - m_mean[v];
    }
    DenseMatrix perFrame;
    Eigenskin::compress(std::move(deviations), static_cast<int>(vertexCount), frames, basisCount, m_basis, perFrame);
    // The file keeps the coordinates with one column per frame.
    m_coordinates.resize(perFrame.columns(), perFrame.rows());
    for (unsigned f = 0; f < perFrame.rows(); ++f)
        for (unsigned k = 0; k < perFrame.columns(); ++k) m_coordinates(k, f) = perFrame(f, k);
}

double lightingReconstructionRms(const std::vector<float>& mean, const DenseMatrix& basis,
                                 const DenseMatrix& coordinates, unsigned k, const PrtLighting& exact)
{
    const unsigned frames = coordinates.columns();
    k = std::min(k, basis.columns());
    double sum = 0.0;
    for (unsigned f = 0; f < frames; ++f)
        for (std::size_t v = 0; v < mean.size(); ++v) {
            double value = mean[v];
            for (unsigned i = 0; i < k; ++i) value += double(basis(static_cast<unsigned>(v), i)) * coordinates(i, f);
            const double error = value - exact.value(static_cast<int>(f), v);
            sum += error * error;
        }
    return std::sqrt(sum / (double(frames) * double(mean.size())));
}
