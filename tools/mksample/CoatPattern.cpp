#include "CoatPattern.h"

#include <algorithm>
#include <cmath>

namespace {

double smoothStep(double a, double b, double x)
{
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

Vector3d mix(const Vector3d& a, const Vector3d& b, double t) { return a + (b - a) * t; }

} // namespace

CoatPattern::CoatPattern(const BodyPlan& plan) : m_plan(plan), m_noise(plan.seed)
{
    const Vector3d along = (plan.snoutTip - plan.neckTop).normalized();
    const Vector3d start = plan.neckTop - along * (0.7 * plan.headRadius);
    const double headLength = (plan.snoutTip - start).length();
    for (int side = 0; side < 2; ++side) {
        const double sign = side == 0 ? -1.0 : 1.0;
        m_eyes[side] = start + along * (0.36 * headLength) + Vector3d{0.0, 0.3 * plan.headRadius, 0.0} +
                       Vector3d{0.0, 0.0, sign * 0.8 * plan.headRadius};
    }
}

double CoatPattern::markings(const Vector3d& p) const
{
    if (m_plan.coat == CoatKind::Patches) {
        // Large soft-edged blotches from thresholded fractal noise.
        const double n = m_noise.fractal3(p * 2.3 + Vector3d{3.1, 0.0, 1.3}, 4);
        return smoothStep(0.53, 0.58, n);
    }
    // Irregular cells: polygons whose borders are where two feature points are nearly as close.
    const Vector3d warped = p * (1.0 / 0.24) + Vector3d{m_noise.value3(p * 3.0), m_noise.value3(p * 3.0 + Vector3d{9, 9, 9}), 0.0} * 0.5;
    const ProceduralNoise::Cells cells = m_noise.cells3(warped);
    return smoothStep(0.07, 0.15, cells.second - cells.nearest) * (0.8 + 0.4 * cells.cellValue);
}

Vector3f CoatPattern::colour(const Vector3d& p, const SurfacePoint& where) const
{
    const bool patches = m_plan.coat == CoatKind::Patches;
    const Vector3d base = patches ? Vector3d{0.92, 0.9, 0.86} : Vector3d{0.93, 0.84, 0.64};
    const Vector3d mark = patches ? Vector3d{0.09, 0.08, 0.08} : Vector3d{0.5, 0.28, 0.11};
    const Vector3d dark{0.16, 0.13, 0.11};

    double amount = std::min(1.0, markings(p));
    // Socks: the markings fade out down the legs.
    const double kneeHeight = m_plan.legs[0].footLength + m_plan.legs[0].lowerLength;
    if (where.kind == PartKind::Leg) amount *= smoothStep(0.35 * kneeHeight, 0.8 * kneeHeight, p.y);
    if (where.kind == PartKind::Head && patches) {
        // A white blaze down the face: above the head's centre line and near its middle.
        const Vector3d along = (m_plan.snoutTip - m_plan.neckTop).normalized();
        const Vector3d offset = p - m_plan.neckTop;
        const Vector3d fromAxis = offset - along * offset.dot(along);
        const Vector3d up = Vector3d{0, 0, 1}.cross(along);
        if (fromAxis.dot(up) > 0.0) amount *= smoothStep(0.3 * m_plan.headRadius, 0.5 * m_plan.headRadius, std::fabs(p.z));
    }
    Vector3d c = mix(base, mark, amount);

    if (where.kind == PartKind::Head) {
        const Vector3d muzzle = patches ? Vector3d{0.8, 0.62, 0.6} : Vector3d{0.78, 0.66, 0.5};
        c = mix(c, muzzle, smoothStep(0.74, 0.84, where.t));
        for (const Vector3d& eye : m_eyes)
            c = mix(c, dark * 0.4, 1.0 - smoothStep(0.02, 0.032, (p - eye).length()));
    }
    if (where.kind == PartKind::Leg) c = mix(c, dark, 1.0 - smoothStep(0.045, 0.06, p.y));
    if (where.kind == PartKind::Tail) c = mix(c, dark, smoothStep(0.78, 0.86, where.t));
    if (where.kind == PartKind::Headgear) {
        // Horns are pale horn; ossicones wear the coat. Both end dark.
        if (m_plan.headgear == Headgear::Horns) c = Vector3d{0.86, 0.8, 0.68};
        c = mix(c, dark, smoothStep(0.7, 0.85, where.t));
    }
    if (where.kind == PartKind::Ear) c = mix(c, c * 0.8, smoothStep(0.6, 1.0, where.t));
    return c.toVector3f();
}

std::vector<Vector3f> CoatPattern::colours(const AnimalMesh& mesh) const
{
    // A vertex stands for the patch of coat around it, up to half-way to its neighbours: the
    // pattern is averaged over that footprint, so that coarse levels show the same mix of
    // colours as fine ones instead of whichever colour their sparse vertices happen to hit.
    std::vector<double> edgeSum(mesh.vertexCount(), 0.0);
    std::vector<int> edgeCount(mesh.vertexCount(), 0);
    for (const Triangle& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = t.index[k], b = t.index[(k + 1) % 3];
            const double length = (mesh.positions[a] - mesh.positions[b]).length();
            edgeSum[a] += length, edgeSum[b] += length;
            ++edgeCount[a], ++edgeCount[b];
        }
    // The twelve directions to an icosahedron's corners.
    const double g = 0.5 * (1.0 + std::sqrt(5.0));
    const Vector3d corners[12] = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                                  {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    std::vector<Vector3f> result;
    result.reserve(mesh.vertexCount());
    for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        const double footprint = edgeCount[v] ? 0.5 * edgeSum[v] / edgeCount[v] : 0.0;
        Vector3f sum = colour(mesh.positions[v], mesh.surfacePoints[v]);
        for (const Vector3d& corner : corners)
            sum += colour(mesh.positions[v] + corner.normalized() * footprint, mesh.surfacePoints[v]);
        result.push_back(sum * (1.0f / 13.0f));
    }
    return result;
}
