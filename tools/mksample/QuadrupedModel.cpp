#include "QuadrupedModel.h"

#include "foundation/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

constexpr double kPi = std::numbers::pi;
const Vector3d kSideways{0, 0, 1};
const Vector3d kUp{0, 1, 0};

double smoothStep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

double mix(double a, double b, double u) { return a + (b - a) * u; }

// 1 along the middle of a tube and a quarter ellipse down to 0 over the last `cap` of t at
// either end, so that a tube closes in a dome rather than a cone.
double roundCap(double t, double cap)
{
    const double over = std::max(0.0, std::fabs(2.0 * t - 1.0) - (1.0 - 2.0 * cap)) / (2.0 * cap);
    return std::sqrt(std::max(0.0, 1.0 - over * over));
}

// Radius along a piecewise profile given as (coordinate, radius) stations in increasing
// coordinate order, eased between stations so the silhouette has no kinks.
double profileRadius(const std::vector<std::pair<double, double>>& stations, double s)
{
    if (s <= stations.front().first) return stations.front().second;
    for (std::size_t i = 1; i < stations.size(); ++i)
        if (s <= stations[i].first) {
            const auto& [s0, r0] = stations[i - 1];
            const auto& [s1, r1] = stations[i];
            return mix(r0, r1, smoothStep((s - s0) / (s1 - s0)));
        }
    return stations.back().second;
}

// A smooth partition of unity along a coordinate: bones[k] owns the stretch between edges
// k - 1 and k, and each edge is blended over +-halfWidths[k]. Because each weight is the
// difference of two neighbouring blend ramps the weights always sum to exactly 1.
std::vector<BoneInfluence> chainWeights(double s, const std::vector<int>& bones, const std::vector<double>& edges,
                                        const std::vector<double>& halfWidths)
{
    std::vector<double> beyond(edges.size());
    for (std::size_t k = 0; k < edges.size(); ++k)
        beyond[k] = smoothStep((s - edges[k] + halfWidths[k]) / (2.0 * halfWidths[k]));
    std::vector<BoneInfluence> influences;
    for (std::size_t k = 0; k < bones.size(); ++k) {
        const double from = k == 0 ? 1.0 : beyond[k - 1];
        const double to = k < edges.size() ? beyond[k] : 0.0;
        const double w = from - to;
        if (w > 1e-4) influences.push_back({bones[k], static_cast<float>(w)});
    }
    return influences;
}

// At most four influences, heaviest first, renormalised in float so that they sum to 1 as
// written.
std::vector<BoneInfluence> finishInfluences(std::vector<BoneInfluence> influences)
{
    std::stable_sort(influences.begin(), influences.end(),
                     [](const BoneInfluence& a, const BoneInfluence& b) { return a.weight > b.weight; });
    if (influences.size() > 4) influences.resize(4);
    double sum = 0.0;
    for (const BoneInfluence& i : influences) sum += i.weight;
    float partial = 0.0f;
    for (std::size_t k = 0; k < influences.size(); ++k) {
        if (k + 1 < influences.size()) {
            influences[k].weight = static_cast<float>(influences[k].weight / sum);
            partial += influences[k].weight;
        } else {
            influences[k].weight = 1.0f - partial;
        }
    }
    return influences;
}

Vector3d lerp(const Vector3d& a, const Vector3d& b, double u) { return a + (b - a) * u; }

} // namespace

QuadrupedModel::QuadrupedModel(const BodyPlan& plan) : m_plan(plan), m_skeleton(m_plan)
{
    addTorso();
    addNeckAndHead();
    addEars();
    if (m_plan.headgear != Headgear::None) addHeadgear();
    addTail();
    for (int l = 0; l < 4; ++l) addLeg(l);
}

void QuadrupedModel::addTorso()
{
    const BodyPlan& p = m_plan;
    Part part{PartKind::Torso, {}, {}, kSideways, 52, 44, true, {0.0f, 0.0f, 0.5f, 0.5f}, true};
    part.section = [&p](double t) {
        const double x = mix(p.torsoRearX, p.torsoFrontX, t);
        const double round = portable::pow(portable::sin(kPi * t), 0.3);
        // The belly hangs lower mid-body while the back stays straight.
        const double belly = 0.06 * p.torsoHalfHeight * portable::sin(kPi * t);
        const double depth = p.torsoHalfHeight * (0.95 + 0.1 * t);
        return Section{{x, p.torsoCentreY(x) - belly, 0.0}, p.torsoHalfWidth * round, (depth + belly) * round, 0.8};
    };
    const double blend = 0.14 * (p.torsoFrontX - p.torsoRearX);
    part.weights = [&p, blend](double t) {
        const double x = mix(p.torsoRearX, p.torsoFrontX, t);
        return chainWeights(x, {BoneIndex::Pelvis, BoneIndex::Spine, BoneIndex::Chest}, {p.pelvisX, p.chestX},
                            {blend, blend});
    };
    m_parts.push_back(std::move(part));
}

void QuadrupedModel::addNeckAndHead()
{
    const BodyPlan& p = m_plan;
    // The neck runs from inside the chest (u = -0.2) into the back of the head (u = 1.15).
    Part neck{PartKind::Neck, {}, {}, kSideways, 32, 24, false, {0.5f, 0.0f, 0.25f, 0.5f}, true};
    neck.section = [&p](double t) {
        const double u = -0.2 + 1.35 * t;
        const double r = mix(1.1 * p.neckBaseRadius, p.neckTopRadius, smoothStep(u)) * roundCap(t, 0.1);
        return Section{p.neckPoint(u), 0.85 * r, r};
    };
    neck.weights = [](double t) {
        const double u = -0.2 + 1.35 * t;
        return chainWeights(u, {BoneIndex::Chest, BoneIndex::Neck1, BoneIndex::Neck2, BoneIndex::Head}, {0.06, 0.5, 0.95},
                            {0.12, 0.16, 0.1});
    };
    m_parts.push_back(std::move(neck));

    const Vector3d along = (p.snoutTip - p.neckTop).normalized();
    const Vector3d start = p.neckTop - along * (0.7 * p.headRadius);
    Part head{PartKind::Head, {}, {}, kSideways, 32, 22, true, {0.75f, 0.0f, 0.25f, 0.5f}, true};
    head.section = [&p, start](double t) {
        const double r = mix(p.headRadius, p.muzzleRadius, smoothStep((t - 0.25) / 0.5));
        // A round skull behind, a blunt muzzle in front.
        const double round = t < 0.5 ? portable::pow(portable::sin(kPi * t), 0.38) : roundCap(t, 0.16);
        return Section{lerp(start, p.snoutTip, t), 0.88 * r * round, 1.02 * r * round, 0.85};
    };
    head.weights = [](double t) { return chainWeights(t, {BoneIndex::Neck2, BoneIndex::Head}, {0.08}, {0.09}); };
    m_parts.push_back(std::move(head));
}

void QuadrupedModel::addEars()
{
    const BodyPlan& p = m_plan;
    for (int side = -1; side <= 1; side += 2) {
        const Vector3d base = Skeleton::earBase(p, side);
        const Vector3d direction = Vector3d{-0.2, -0.05, double(side)}.normalized();
        const float v0 = side < 0 ? 0.5f : 0.75f;
        Part ear{PartKind::Ear, {}, {}, kUp, 12, 12, true, {0.5625f, v0, 0.0625f, 0.25f}, false};
        ear.section = [&p, base, direction](double t) {
            const double length = p.earLength;
            const double width = 0.4 * length * portable::pow(portable::sin(kPi * t), 0.6) * (1.0 - 0.25 * t);
            return Section{base + direction * (length * (1.2 * t - 0.2)), width, 0.35 * width};
        };
        const int bone = side < 0 ? BoneIndex::EarLeft : BoneIndex::EarRight;
        ear.weights = [bone](double t) { return chainWeights(t, {BoneIndex::Head, bone}, {0.3}, {0.22}); };
        m_parts.push_back(std::move(ear));
    }
}

void QuadrupedModel::addHeadgear()
{
    const BodyPlan& p = m_plan;
    const Vector3d along = (p.snoutTip - p.neckTop).normalized();
    const bool horns = p.headgear == Headgear::Horns;
    for (int side = -1; side <= 1; side += 2) {
        const Vector3d base = p.neckTop + along * (0.35 * p.headRadius) + kUp * (0.5 * p.headRadius) +
                              kSideways * (side * (horns ? 0.55 : 0.4) * p.headRadius);
        const float v0 = side < 0 ? 0.5f : 0.75f;
        Part horn{PartKind::Headgear, {}, {}, Vector3d{1, 0, 0}, 8, 6, true, {0.625f, v0, 0.0625f, 0.25f}, false};
        if (horns) {
            // Out to the side, curving up and a little forward, tapering to a point.
            const Vector3d out = Vector3d{0.0, 0.3, double(side)}.normalized();
            horn.section = [base, out](double t) {
                const double length = 0.2;
                const double r = 0.034 * (1.0 - 0.8 * t) * portable::pow(portable::sin(kPi * t), 0.25);
                return Section{base + out * (length * t) + Vector3d{0.03, 0.07, 0.0} * (t * t), r, r};
            };
        } else {
            // Upright knobs, thickening at the top.
            const Vector3d up = Vector3d{-0.3, 1.0, 0.15 * side}.normalized();
            horn.section = [base, up](double t) {
                const double length = 0.2;
                const double r = (0.024 + 0.014 * smoothStep((t - 0.65) / 0.25)) * portable::pow(portable::sin(kPi * t), 0.3);
                return Section{base + up * (length * t), r, r};
            };
        }
        horn.weights = [](double) { return std::vector<BoneInfluence>{{BoneIndex::Head, 1.0f}}; };
        m_parts.push_back(std::move(horn));
    }
}

void QuadrupedModel::addTail()
{
    const BodyPlan& p = m_plan;
    Part tail{PartKind::Tail, {}, {}, kSideways, 10, 24, false, {0.5f, 0.5f, 0.0625f, 0.5f}, true};
    tail.section = [&p](double t) {
        const double u = -0.06 + 1.06 * t;
        const double stem = p.tailRadius * (1.0 - 0.4 * std::max(0.0, u));
        const double tuft = p.tuftRadius * portable::pow(portable::sin(kPi * std::clamp((u - 0.7) / 0.3, 0.0, 1.0)), 0.7);
        const double r = std::max(stem, tuft) * roundCap(t, 0.04);
        return Section{p.tailPoint(u), r, r};
    };
    tail.weights = [](double t) {
        const double u = -0.06 + 1.06 * t;
        return chainWeights(u, {BoneIndex::Pelvis, BoneIndex::Tail1, BoneIndex::Tail2, BoneIndex::Tail3},
                            {0.04, 1.0 / 3.0, 2.0 / 3.0}, {0.08, 0.08, 0.08});
    };
    m_parts.push_back(std::move(tail));
}

void QuadrupedModel::addLeg(int legIndex)
{
    const LegPlan& leg = m_plan.legs[static_cast<std::size_t>(legIndex)];
    const double hip = leg.hipHeight();
    const double knee = hip - leg.upperLength;
    const double ankle = leg.footLength;
    // The top of the tube is buried in the torso so the leg grows out of the body.
    const double top = hip + 0.12;
    // Stations by depth below the top (increasing down the leg).
    const std::vector<std::pair<double, double>> stations = {
        {0.0, 0.9 * leg.topRadius},
        {top - hip, leg.topRadius},
        {top - (hip - 0.55 * leg.upperLength), mix(leg.topRadius, leg.kneeRadius, 0.55)},
        {top - (knee + 0.12 * leg.upperLength), 1.05 * leg.kneeRadius},
        {top - knee, leg.kneeRadius},
        {top - (knee - 0.3 * leg.lowerLength), 1.05 * leg.shinRadius},
        {top - (ankle + 0.25 * leg.lowerLength), leg.shinRadius},
        {top - ankle, 0.9 * leg.kneeRadius},
        {top - 0.45 * ankle, 0.85 * leg.shinRadius},
        {top - 0.05, leg.hoofRadius},
        {top - 0.012, 0.97 * leg.hoofRadius},
        {top, 0.8 * leg.hoofRadius},
    };
    const float u0 = 0.125f * static_cast<float>(legIndex);
    Part part{PartKind::Leg, {}, {}, kSideways, 24, 38, false, {u0, 0.5f, 0.125f, 0.5f}, true};
    const double bottomCap = 0.02 / top;
    const double kneeDepth = top - knee;
    part.section = [leg, top, stations, bottomCap, kneeDepth](double t) {
        const double depth = top * t;
        const double r = profileRadius(stations, depth) * (t < 0.5 ? roundCap(t, 0.06) : roundCap(t, bottomCap));
        // Thighs and forearms are flat from side to side; below the knee nearly round.
        const double across = mix(0.65, 0.85, smoothStep(depth / kneeDepth));
        return Section{{leg.x, top - depth, leg.z}, across * r, r};
    };
    const int body = legIndex < 2 ? BoneIndex::Chest : BoneIndex::Pelvis;
    const std::vector<int> bones = {body, BoneIndex::leg(legIndex, 0), BoneIndex::leg(legIndex, 1),
                                    BoneIndex::leg(legIndex, 2)};
    const std::vector<double> edges = {top - (hip - 0.12), top - knee, top - ankle};
    const std::vector<double> widths = {0.2 * leg.upperLength, 0.15 * leg.lowerLength, 0.35 * leg.footLength};
    part.weights = [top, bones, edges, widths](double t) { return chainWeights(top * t, bones, edges, widths); };
    m_parts.push_back(std::move(part));
}

std::vector<TextureRegion> QuadrupedModel::textureRegions() const
{
    std::vector<TextureRegion> regions;
    for (const Part& part : m_parts) regions.push_back(part.uv);
    return regions;
}

AnimalMesh QuadrupedModel::buildMesh(double density) const
{
    AnimalMesh mesh;
    for (const Part& part : m_parts) appendPart(part, density, mesh);
    return mesh;
}

void QuadrupedModel::appendPart(const Part& part, double density, AnimalMesh& mesh) const
{
    const int around = std::max(5, static_cast<int>(std::lround(part.around * density)));
    const int along = std::max(3, static_cast<int>(std::lround(part.along * density)));
    const std::size_t base = mesh.positions.size();
    const std::uint32_t first = static_cast<std::uint32_t>(base);
    const std::uint32_t ringSize = static_cast<std::uint32_t>(around + 1);
    auto ringVertex = [&](int j, int i) { return first + 1 + static_cast<std::uint32_t>(j) * ringSize + static_cast<std::uint32_t>(i); };
    const std::uint32_t endPole = first + 1 + static_cast<std::uint32_t>(along) * ringSize;

    auto addVertex = [&](const Vector3d& position, double t, float u, const std::vector<BoneInfluence>& influences) {
        mesh.positions.push_back(position);
        mesh.normals.push_back({});
        mesh.textureCoordinates.push_back({u, part.uv.v0 + part.uv.height * static_cast<float>(t)});
        mesh.surfacePoints.push_back({part.kind, static_cast<float>(t)});
        mesh.influences.push_back(influences);
    };

    const float middleU = part.uv.u0 + 0.5f * part.uv.width;
    addVertex(part.section(0.0).centre, 0.0, middleU, finishInfluences(part.weights(0.0)));
    Vector3d tangent{1, 0, 0};
    for (int j = 0; j < along; ++j) {
        const double s = double(j + 1) / (along + 1);
        const double t = part.denseEnds ? 0.5 - 0.5 * portable::cos(kPi * s) : s;
        const Section section = part.section(t);
        const Vector3d d = part.section(std::min(1.0, t + 1e-4)).centre - part.section(std::max(0.0, t - 1e-4)).centre;
        if (d.length() > 1e-9) tangent = d.normalized();
        const Vector3d across = (part.reference - tangent * part.reference.dot(tangent)).normalized();
        const Vector3d other = tangent.cross(across);
        const std::vector<BoneInfluence> influences = finishInfluences(part.weights(t));
        for (int i = 0; i <= around; ++i) {
            // The seam column repeats column 0 exactly, with u = 1 instead of 0.
            const double angle = 2.0 * kPi * (i % around) / around;
            const double c = portable::cos(angle), s = portable::sin(angle);
            const double bulgeC = std::copysign(portable::pow(std::fabs(c), section.roundness), c);
            const double bulgeS = std::copysign(portable::pow(std::fabs(s), section.roundness), s);
            const Vector3d p = section.centre + across * (section.halfAcross * bulgeC) + other * (section.halfOther * bulgeS);
            addVertex(p, t, part.uv.u0 + part.uv.width * static_cast<float>(i) / static_cast<float>(around), influences);
        }
    }
    addVertex(part.section(1.0).centre, 1.0, middleU, finishInfluences(part.weights(1.0)));

    // Winding: (around, along) is counter-clockwise seen from outside, since the ellipse turns
    // from `across` to `other` = tangent x across.
    const std::size_t firstTriangle = mesh.triangles.size();
    for (int i = 0; i < around; ++i) mesh.triangles.push_back(Triangle{{first, ringVertex(0, i + 1), ringVertex(0, i)}});
    for (int j = 0; j + 1 < along; ++j)
        for (int i = 0; i < around; ++i) {
            const std::uint32_t a = ringVertex(j, i), b = ringVertex(j, i + 1), c = ringVertex(j + 1, i + 1),
                                d = ringVertex(j + 1, i);
            mesh.triangles.push_back(Triangle{{a, b, c}});
            mesh.triangles.push_back(Triangle{{a, c, d}});
        }
    for (int i = 0; i < around; ++i)
        mesh.triangles.push_back(Triangle{{ringVertex(along - 1, i), ringVertex(along - 1, i + 1), endPole}});

    // Area-weighted normals over the closed surface: the seam column shares column 0's sum.
    auto canonical = [&](std::uint32_t v) {
        if (v == first || v == endPole) return v;
        const std::uint32_t offset = (v - first - 1) % ringSize;
        return offset == static_cast<std::uint32_t>(around) ? v - static_cast<std::uint32_t>(around) : v;
    };
    for (std::size_t k = firstTriangle; k < mesh.triangles.size(); ++k) {
        const Triangle& tri = mesh.triangles[k];
        const Vector3d& a = mesh.positions[tri.index[0]];
        const Vector3d n = (mesh.positions[tri.index[1]] - a).cross(mesh.positions[tri.index[2]] - a);
        for (std::uint32_t v : tri.index) mesh.normals[canonical(v)] += n;
    }
    for (std::size_t v = base; v < mesh.positions.size(); ++v) {
        const Vector3d sum = mesh.normals[canonical(static_cast<std::uint32_t>(v))];
        mesh.normals[v] = sum.length() > 1e-15 ? sum.normalized() : Vector3d{0, 1, 0};
    }
}

std::vector<ProxySphere> QuadrupedModel::proxySpheres() const
{
    // Balls a little inside the surface, so that a vertex is never buried in its own part's
    // proxy, spaced so neighbours overlap only slightly and double counting stays small.
    constexpr double kShrink = 0.85;
    constexpr double kMinimumRadius = 0.02;
    std::vector<ProxySphere> spheres;
    for (const Part& part : m_parts) {
        if (!part.occludes) continue;
        bool placed = false;
        Vector3d last;
        double lastRadius = 0.0;
        for (int k = 0; k <= 2000; ++k) {
            const double t = k / 2000.0;
            const Section section = part.section(t);
            const double radius = kShrink * std::min(section.halfAcross, section.halfOther);
            if (radius < kMinimumRadius) continue;
            if (placed && (section.centre - last).length() < 0.9 * std::min(radius, lastRadius)) continue;
            spheres.push_back({section.centre, radius, finishInfluences(part.weights(t))});
            placed = true;
            last = section.centre;
            lastRadius = radius;
        }
    }
    return spheres;
}
