#include "AnimalBuilder.h"

#include "CoatPattern.h"
#include "bake/Eigenskin.h"
#include "Facing.h"
#include "bake/PrtLighting.h"
#include "bake/ShadowBlob.h"
#include "bake/SkinReadBack.h"

#include <memory>

AnimalBuilder::AnimalBuilder(const BodyPlan& plan, int frameCount, const std::vector<double>& densities)
    : m_model(plan), m_walk(m_model.plan(), m_model.skeleton(), frameCount)
{
    for (double density : densities) buildLevel(density);
}

ShadowBlob AnimalBuilder::shadow() const
{
    const BodyPlan& plan = m_model.plan();
    // Half the body plus a margin lengthwise; across, the body and the splay of the legs.
    const double centreX = 0.5 * (plan.torsoRearX + plan.torsoFrontX);
    const double radiusX = 0.5 * (plan.torsoFrontX - plan.torsoRearX) + 0.25;
    const double radiusZ = plan.torsoHalfWidth + 0.3;
    // The disc follows the pelvis at the back and the chest at the front.
    std::vector<ShadowBone> bones;
    for (int b : {BoneIndex::Pelvis, BoneIndex::Chest}) {
        ShadowBone bone{m_model.skeleton().bone(b).pivot, {}};
        for (int f = 0; f < m_walk.frameCount(); ++f) bone.poses.push_back(m_walk.pose(f, b));
        bones.push_back(std::move(bone));
    }
    return ShadowBlob(plan.name + "Shadow", centreX, radiusX, radiusZ, std::move(bones));
}

void AnimalBuilder::buildLevel(double density)
{
    const BodyPlan& plan = m_model.plan();
    const AnimalMesh mesh = m_model.buildMesh(density);
    const FramePoses poses = m_walk.bakePoses();
    const Eigenskin eigenskin(mesh.positions, mesh.normals, mesh.influences, poses, kCorrectionCount);
    const std::vector<ProxySphere> proxies = m_model.proxySpheres();
    std::vector<double> radii;
    for (const ProxySphere& proxy : proxies) radii.push_back(proxy.radius);
    const PrtLighting lighting(eigenskin.referencePositions(), eigenskin.referenceNormals(),
                               PrtLighting::posedCentres(proxies, poses), radii, kLightingCount);

    SkinRecord r;
    r.name = plan.name;
    r.textureFileName = plan.textureFileName;
    r.triangles = mesh.triangles;
    for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        r.positions.push_back(mesh.positions[v].toVector3f());
        r.normals.push_back(mesh.normals[v].toVector3f());
        r.boundingBox.grow(r.positions.back());
    }
    r.textureCoordinates = mesh.textureCoordinates;
    r.influences = mesh.influences;
    r.bones = m_walk.boneAnimations();
    r.displacementBasis = eigenskin.displacementBasis();
    r.displacementCoordinates = eigenskin.displacementCoordinates();
    r.normalBasis = eigenskin.normalBasis();
    r.normalCoordinates = eigenskin.normalCoordinates();
    r.vertexColors = CoatPattern(plan).colours(mesh);
    r.meanLighting = lighting.meanLighting();
    r.lightingBasis = lighting.basis();
    r.lightingCoordinates = lighting.coordinates();
    r.nextSkin = std::make_shared<SkinRecord>(shadow().record());

    const RigidTransform turn = facingTurn();
    turnRecord(r, turn);
    const std::vector<std::vector<Vector3d>> reference = turnFrames(eigenskin.referencePositions(), turn);

    LevelFigures figures;
    figures.vertices = static_cast<unsigned>(mesh.vertexCount());
    for (std::size_t i = 0; i < kCorrectionSteps.size(); ++i) {
        const std::unique_ptr<Skin> skin = readBackSkin(withCorrections(r, kCorrectionSteps[i]));
        figures.positionRms[i] = positionRms(*skin, reference);
        // The reader measured the frame boxes while loading; keep those of the full record.
        if (kCorrectionSteps[i] == kCorrectionCount) {
            r.frameBoxes = skin->frameBoundingBoxes();
            r.nextSkin->frameBoxes = skin->nextSkin()->frameBoundingBoxes();
        }
    }
    for (std::size_t i = 0; i < kLightingSteps.size(); ++i)
        figures.lightingRms[i] =
            lightingReconstructionRms(r.meanLighting, r.lightingBasis, r.lightingCoordinates, kLightingSteps[i], lighting);

    m_records.push_back(std::move(r));
    m_figures.push_back(figures);
}
