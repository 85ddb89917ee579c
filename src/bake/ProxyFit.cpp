#include "bake/ProxyFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The dominant eigenvector of a symmetric 3x3 matrix by power iteration from a fixed start,
// a fixed number of steps: deterministic, and plenty for an axis to lay balls along.
Vector3d principalAxis(const double c[3][3])
{
    Vector3d v{0.57735026918962573, 0.57735026918962573, 0.57735026918962573};
    for (int step = 0; step < 64; ++step) {
        const Vector3d next{c[0][0] * v.x + c[0][1] * v.y + c[0][2] * v.z, c[1][0] * v.x + c[1][1] * v.y + c[1][2] * v.z,
                            c[2][0] * v.x + c[2][1] * v.y + c[2][2] * v.z};
        const double length = next.length();
        if (!(length > 1e-300)) return {1, 0, 0};
        v = next * (1.0 / length);
    }
    return v;
}

double quantile(std::vector<double> values, double q)
{
    const std::size_t k = std::min(values.size() - 1, static_cast<std::size_t>(q * double(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

} // namespace

std::vector<ProxySphere> fitProxySpheres(const std::vector<Vector3d>& positions,
                                         const std::vector<std::vector<BoneInfluence>>& influences, std::size_t boneCount)
{
    std::vector<std::vector<std::size_t>> parts(boneCount);
    for (std::size_t v = 0; v < positions.size(); ++v)
        if (!influences[v].empty()) parts[static_cast<std::size_t>(influences[v].front().bone)].push_back(v);

    Vector3d low{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    Vector3d high = low * -1.0;
    for (const Vector3d& p : positions)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    const double size = positions.empty() ? 0.0 : (high - low).length();
    const double smallest = size / 50.0;

    std::vector<ProxySphere> spheres;
    for (std::size_t bone = 0; bone < boneCount; ++bone) {
        const std::vector<std::size_t>& part = parts[bone];
        if (part.size() < 4) continue;
        Vector3d centroid;
        for (std::size_t v : part) centroid += positions[v];
        centroid *= 1.0 / double(part.size());
        double covariance[3][3] = {};
        for (std::size_t v : part) {
            const Vector3d d = positions[v] - centroid;
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) covariance[r][c] += d[r] * d[c];
        }
        const Vector3d axis = principalAxis(covariance);
        std::vector<double> along, across;
        for (std::size_t v : part) {
            const Vector3d d = positions[v] - centroid;
            const double t = d.dot(axis);
            along.push_back(t);
            across.push_back((d - axis * t).length());
        }
        const double start = quantile(along, 0.1), end = quantile(along, 0.9);
        const double thickness = quantile(across, 0.5);
        int count = 1;
        if (thickness > 0.0) count = static_cast<int>(std::clamp(std::floor((end - start) / (2.0 * thickness) + 0.5) + 1.0, 1.0,
                                                                 double(kMaxProxiesPerBone)));
        for (int k = 0; k < count; ++k) {
            const double t = start + (end - start) * (double(k) + 0.5) / double(count);
            const Vector3d centre = centroid + axis * t;
            double nearest = std::numeric_limits<double>::max();
            for (const Vector3d& p : positions) {
                const Vector3d d = p - centre;
                nearest = std::min(nearest, d.dot(d));
            }
            const double radius = std::min(0.9 * std::sqrt(nearest), 1.2 * thickness);
            if (!(radius >= smallest) || !(radius > 0.0)) continue;
            spheres.push_back({centre, radius, {{static_cast<std::int32_t>(bone), 1.0f}}});
        }
    }
    return spheres;
}
