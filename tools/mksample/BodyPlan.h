#pragma once

#include "foundation/Vector3d.h"

#include <array>
#include <cstdint>
#include <string>

// One leg of a body plan: where it hangs from the torso and how it is built. Legs hang
// straight down in the rest pose, from the hip (or shoulder) joint to the hoof on y = 0.
struct LegPlan {
    double x = 0.0;           // joint position along the body (+x is forward)
    double z = 0.0;           // side offset (+z is the animal's right)
    double upperLength = 0.4; // hip to knee
    double lowerLength = 0.4; // knee to ankle
    // The ankle sits footLength above the ground; hip height = upper + lower + foot.
    double footLength = 0.15;
    double topRadius = 0.15;  // thigh at the body
    double kneeRadius = 0.07;
    double shinRadius = 0.05;
    double hoofRadius = 0.06;
    // Front knees fold the lower leg backwards (the joint moves forward); hind hocks the other way.
    bool kneeForward = true;
    // Start of this leg's swing within the cycle, in [0, 1).
    double phase = 0.0;

    double hipHeight() const { return upperLength + lowerLength + footLength; }
};

// How the coat is patterned.
enum class CoatKind { Patches, Reticulated };

// What grows on top of the head.
enum class Headgear { None, Horns, Ossicones };

// Everything that tells one generated animal type from another: proportions, gait and coat.
// Lengths are in metres. In this modelling frame the animal faces +x, y is up, the feet stand
// on y = 0 and the body is centred on x = z = 0; the files turn it to face +z (Facing.h).
// Legs are ordered front left, front right, hind left, hind right.
struct BodyPlan {
    std::string name;
    std::string textureFileName;

    // Torso: an elongated ellipsoid-like loft between the rump (rear) and the breast (front).
    double torsoRearX = -1.0;
    double torsoFrontX = 1.0;
    double torsoRearY = 1.1;
    double torsoFrontY = 1.1;
    double torsoHalfHeight = 0.35;
    double torsoHalfWidth = 0.32;
    // Where the spine bones take over along the torso, as x positions.
    double pelvisX = -0.4;
    double chestX = 0.35;

    // Neck from its base on the chest to the head joint, then the head towards the snout.
    Vector3d neckBase{0.8, 1.25, 0.0};
    Vector3d neckTop{1.2, 1.5, 0.0};
    double neckBaseRadius = 0.22;
    double neckTopRadius = 0.13;
    Vector3d snoutTip{1.6, 1.25, 0.0};
    double headRadius = 0.14;
    double muzzleRadius = 0.09;
    double earLength = 0.15;
    Headgear headgear = Headgear::None;

    // Tail from its root on the rump, hanging down to the tip.
    Vector3d tailBase{-1.02, 1.3, 0.0};
    Vector3d tailTip{-1.1, 0.55, 0.0};
    double tailRadius = 0.04;
    double tuftRadius = 0.07;

    std::array<LegPlan, 4> legs;

    // Gait: hoof travel per step, hoof lift in swing, fraction of the cycle a hoof is planted,
    // head bob (radians of neck pitch) and tail swing (radians).
    double stride = 0.6;
    double lift = 0.12;
    double dutyFactor = 0.7;
    double neckSwing = 0.05;
    double tailSwing = 0.3;

    CoatKind coat = CoatKind::Patches;
    std::uint32_t seed = 1;

    // Height of the torso's centre line at x (straight between rump and breast).
    double torsoCentreY(double x) const;
    // The neck's centre line, a quadratic curve arched upwards: u = 0 at the base, 1 at the
    // head joint; values outside [0, 1] extend it into the chest and the head.
    Vector3d neckPoint(double u) const;
    // The tail's centre line: leaves the rump backwards, then hangs to the tip (u in [0, 1]).
    Vector3d tailPoint(double u) const;

    // A cow-like animal about 2.7 m from nose to tail and 1.45 m tall at the withers.
    static BodyPlan quadruped();
    // A giraffe-like animal: long legs (the front ones longer), a short sloping body and a
    // long, nearly upright neck; about 4.3 m tall.
    static BodyPlan longneck();
};
