#pragma once

#include "AnimalMesh.h"
#include "BodyPlan.h"
#include "Skeleton.h"

#include "foundation/Vector3d.h"

#include <functional>
#include <string>
#include <vector>

// The parametric four-legged animal of a body plan: a skeleton plus a set of parts (torso,
// neck, head, ears, horns or ossicones, tail and four legs), each a closed tube swept along a
// centre line with an elliptic cross-section that shrinks to a point at both ends. One model
// gives every level of detail, so the levels differ only in how densely the same surfaces are
// sampled; overlapping parts (a leg's top inside the torso) are left to overlap.
//
// Texture coordinates place each part in its own rectangle of one texture (the torso gets the
// largest): u runs around the part, v along it. The weights of a ring of vertices depend only
// on where the ring sits along its part, blending neighbouring bones smoothly across joints.
class QuadrupedModel {
public:
    explicit QuadrupedModel(const BodyPlan& plan);
    // The parts' shape functions refer to the model's own body plan.
    QuadrupedModel(const QuadrupedModel&) = delete;
    QuadrupedModel& operator=(const QuadrupedModel&) = delete;

    const BodyPlan& plan() const { return m_plan; }
    const Skeleton& skeleton() const { return m_skeleton; }

    // The mesh sampled at `density` (1 gives the finest level, about 8,000 vertices; 0.5 about
    // a quarter of that).
    AnimalMesh buildMesh(double density) const;
    // The texture rectangle of every part, in part order.
    std::vector<TextureRegion> textureRegions() const;
    // Balls filling the torso, neck, head, legs and tail, for the lighting.
    std::vector<ProxySphere> proxySpheres() const;

private:
    // One ring of a part: centre and the half-axes of its ellipse, across (along the part's
    // reference direction) and the other way.
    struct Section {
        Vector3d centre;
        double halfAcross = 0.0;
        double halfOther = 0.0;
        // Below 1 the ellipse bulges towards a rounded box (a superellipse).
        double roundness = 1.0;
    };
    struct Part {
        PartKind kind;
        std::function<Section(double t)> section;
        std::function<std::vector<BoneInfluence>(double t)> weights;
        // Direction the "across" half-axis leans towards; must not be parallel to the centre line.
        Vector3d reference;
        int around;
        int along;
        // Rings bunch up towards both ends, for parts that close in a round dome.
        bool denseEnds;
        TextureRegion uv;
        bool occludes;
    };

    void addTorso();
    void addNeckAndHead();
    void addEars();
    void addHeadgear();
    void addTail();
    void addLeg(int legIndex);
    void appendPart(const Part& part, double density, AnimalMesh& mesh) const;

    BodyPlan m_plan;
    Skeleton m_skeleton;
    std::vector<Part> m_parts;
};
