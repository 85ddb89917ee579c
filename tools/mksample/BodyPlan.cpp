#include "BodyPlan.h"

namespace {

Vector3d quadraticCurve(const Vector3d& a, const Vector3d& control, const Vector3d& b, double u)
{
    const double v = 1.0 - u;
    return a * (v * v) + control * (2.0 * u * v) + b * (u * u);
}

LegPlan leg(double x, double z, double upper, double lower, double foot, bool front, double phase)
{
    LegPlan l;
    l.x = x;
    l.z = z;
    l.upperLength = upper;
    l.lowerLength = lower;
    l.footLength = foot;
    l.kneeForward = front;
    l.phase = phase;
    return l;
}

} // namespace

double BodyPlan::torsoCentreY(double x) const
{
    const double u = (x - torsoRearX) / (torsoFrontX - torsoRearX);
    return torsoRearY + (torsoFrontY - torsoRearY) * u;
}

Vector3d BodyPlan::neckPoint(double u) const
{
    // The control point lifts the middle so that the neck arches like an animal's, not a pipe.
    const Vector3d middle = (neckBase + neckTop) * 0.5;
    const Vector3d along = neckTop - neckBase;
    const Vector3d up = Vector3d{-along.y, along.x, 0.0}.normalized();
    return quadraticCurve(neckBase, middle + up * (0.12 * along.length()), neckTop, u);
}

Vector3d BodyPlan::tailPoint(double u) const
{
    const double drop = tailBase.y - tailTip.y;
    const Vector3d control{tailBase.x - 0.18 * drop, tailBase.y - 0.08 * drop, 0.0};
    return quadraticCurve(tailBase, control, tailTip, u);
}

BodyPlan BodyPlan::quadruped()
{
    BodyPlan p;
    p.name = "quadruped";
    p.textureFileName = "quadruped.png";
    p.torsoRearX = -1.02;
    p.torsoFrontX = 0.98;
    p.torsoRearY = 1.12;
    p.torsoFrontY = 1.12;
    p.torsoHalfHeight = 0.36;
    p.torsoHalfWidth = 0.33;
    p.pelvisX = -0.45;
    p.chestX = 0.35;
    p.neckBase = {0.72, 1.24, 0.0};
    p.neckTop = {1.14, 1.42, 0.0};
    p.neckBaseRadius = 0.25;
    p.neckTopRadius = 0.14;
    p.snoutTip = {1.54, 1.04, 0.0};
    p.headRadius = 0.15;
    p.muzzleRadius = 0.115;
    p.earLength = 0.2;
    p.headgear = Headgear::Horns;
    p.tailBase = {-0.99, 1.33, 0.0};
    p.tailTip = {-1.12, 0.5, 0.0};
    p.tailRadius = 0.035;
    p.tuftRadius = 0.07;
    // Lateral-sequence walk: left hind, left fore, right hind, right fore, a quarter apart.
    p.legs[0] = leg(0.62, -0.2, 0.40, 0.38, 0.14, true, 0.25);
    p.legs[1] = leg(0.62, 0.2, 0.40, 0.38, 0.14, true, 0.75);
    p.legs[2] = leg(-0.66, -0.2, 0.42, 0.38, 0.14, false, 0.0);
    p.legs[3] = leg(-0.66, 0.2, 0.42, 0.38, 0.14, false, 0.5);
    for (int i = 0; i < 4; ++i) {
        const bool front = i < 2;
        p.legs[i].topRadius = front ? 0.14 : 0.17;
        p.legs[i].kneeRadius = front ? 0.068 : 0.075;
        p.legs[i].shinRadius = 0.05;
        p.legs[i].hoofRadius = 0.062;
    }
    p.stride = 0.5;
    p.lift = 0.12;
    p.dutyFactor = 0.68;
    p.neckSwing = 0.06;
    p.tailSwing = 0.35;
    p.coat = CoatKind::Patches;
    p.seed = 7;
    return p;
}

BodyPlan BodyPlan::longneck()
{
    BodyPlan p;
    p.name = "longneck";
    p.textureFileName = "longneck.png";
    p.torsoRearX = -0.82;
    p.torsoFrontX = 0.8;
    p.torsoRearY = 1.9;
    p.torsoFrontY = 2.1;
    p.torsoHalfHeight = 0.34;
    p.torsoHalfWidth = 0.27;
    p.pelvisX = -0.32;
    p.chestX = 0.3;
    p.neckBase = {0.58, 2.22, 0.0};
    p.neckTop = {1.12, 3.92, 0.0};
    p.neckBaseRadius = 0.22;
    p.neckTopRadius = 0.1;
    p.snoutTip = {1.72, 3.8, 0.0};
    p.headRadius = 0.12;
    p.muzzleRadius = 0.075;
    p.earLength = 0.16;
    p.headgear = Headgear::Ossicones;
    p.tailBase = {-0.8, 2.02, 0.0};
    p.tailTip = {-0.88, 1.02, 0.0};
    p.tailRadius = 0.03;
    p.tuftRadius = 0.065;
    // Close to a pace: each fore leg follows the hind leg of its side by an eighth of a cycle.
    p.legs[0] = leg(0.5, -0.17, 0.84, 0.86, 0.3, true, 0.12);
    p.legs[1] = leg(0.5, 0.17, 0.84, 0.86, 0.3, true, 0.62);
    p.legs[2] = leg(-0.56, -0.17, 0.74, 0.8, 0.28, false, 0.0);
    p.legs[3] = leg(-0.56, 0.17, 0.74, 0.8, 0.28, false, 0.5);
    for (int i = 0; i < 4; ++i) {
        const bool front = i < 2;
        p.legs[i].topRadius = front ? 0.13 : 0.15;
        p.legs[i].kneeRadius = 0.065;
        p.legs[i].shinRadius = 0.045;
        p.legs[i].hoofRadius = 0.06;
    }
    p.stride = 0.85;
    p.lift = 0.17;
    p.dutyFactor = 0.65;
    p.neckSwing = 0.05;
    p.tailSwing = 0.3;
    p.coat = CoatKind::Reticulated;
    p.seed = 11;
    return p;
}
