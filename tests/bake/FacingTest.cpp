// Which way an imported model walks when its file does not say: the sample animals and a
// standing figure, turned every way a file may hold them, and the test models as imported.
#include "BodyPlan.h"
#include "QuadrupedModel.h"
#include "WalkCycle.h"

#include "bake/ModelImport.h"
#include "bake/ModelPlacement.h"

#include <gtest/gtest.h>

#include <array>

namespace {

const std::string kModels = FLEXHERD_ASSIMP_MODELS;

Vector3d axisVector(const AxisDirection& a)
{
    Vector3d v;
    v[a.axis] = a.sign;
    return v;
}

// The rotation that takes a model built facing +x with +y up into a file where it faces
// `forward` with `up` up: its columns are the images of x, y and z.
Matrix3d turnInto(const AxisDirection& forward, const AxisDirection& up)
{
    const Vector3d x = axisVector(forward), y = axisVector(up), z = x.cross(y);
    return {{{x.x, y.x, z.x}, {x.y, y.y, z.y}, {x.z, y.z, z.z}}};
}

// The model as a file facing `forward` with `up` up would hold it: positions turned, every
// pose conjugated so that it still moves the turned rest pose.
ImportedModel turned(const ImportedModel& model, const AxisDirection& forward, const AxisDirection& up)
{
    const Affine3d turn{turnInto(forward, up), {}};
    const Affine3d back = turn.inverse();
    ImportedModel file = model;
    for (Vector3d& p : file.positions) p = turn.apply(p);
    for (auto& frame : file.poses)
        for (Affine3d& pose : frame) pose = turn * pose * back;
    return file;
}

ImportedModel withoutAnimation(ImportedModel model)
{
    model.poses.resize(1);
    for (Affine3d& pose : model.poses.front()) pose = Affine3d{};
    return model;
}

// A sample animal as the generator models it, facing +x, walking on the spot.
ImportedModel sampleAnimal(const BodyPlan& plan)
{
    const QuadrupedModel quadruped(plan);
    const AnimalMesh mesh = quadruped.buildMesh(0.25);
    const WalkCycle walk(plan, quadruped.skeleton(), 24);
    ImportedModel model;
    model.positions = mesh.positions;
    model.influences = mesh.influences;
    for (int f = 0; f < walk.frameCount(); ++f) {
        std::vector<Affine3d> poses;
        for (const RigidTransform& pose : walk.framePoses(f))
            poses.push_back({toMatrix3d(pose.rotation.toMatrix()), pose.translation});
        model.poses.push_back(std::move(poses));
    }
    return model;
}

void addBox(ImportedModel& model, const Vector3d& low, const Vector3d& high, std::int32_t bone)
{
    for (int corner = 0; corner < 8; ++corner) {
        model.positions.push_back({corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z});
        model.influences.push_back({BoneInfluence{bone, 1.0f}});
    }
}

// A standing figure 1.75 high facing +x: body, head and arms spread wide (a T pose) on bone
// 0, and two legs with their feet side by side on bones 1 and 2. With `walking`, the legs take
// turns: a foot on the ground slides back 0.4 while the other, lifted, swings forward.
ImportedModel standingFigure(bool walking)
{
    ImportedModel model;
    addBox(model, {-0.12, 0.9, -0.2}, {0.12, 1.5, 0.2}, 0);      // body
    addBox(model, {-0.1, 1.5, -0.1}, {0.12, 1.75, 0.1}, 0);      // head
    addBox(model, {-0.05, 1.35, -0.85}, {0.05, 1.45, 0.85}, 0);  // arms
    addBox(model, {-0.07, 0.0, -0.18}, {0.2, 0.9, -0.06}, 1);    // right leg and foot
    addBox(model, {-0.07, 0.0, 0.06}, {0.2, 0.9, 0.18}, 2);      // left leg and foot
    const int frames = walking ? 20 : 1;
    for (int f = 0; f < frames; ++f) {
        std::vector<Affine3d> poses(3);
        for (int leg = 0; leg < 2; ++leg) {
            // Phase 0 to 1: on the ground for the first half, sliding from +0.2 to -0.2;
            // lifted for the second, swinging back to +0.2.
            const double phase = (f + 10.0 * leg) / 20.0 - int((f + 10.0 * leg) / 20.0);
            Affine3d& pose = poses[static_cast<std::size_t>(1 + leg)];
            if (phase < 0.5) {
                pose.translation = {0.2 - 0.8 * phase, 0.0, 0.0};
            } else {
                pose.translation = {-0.2 + 0.8 * (phase - 0.5), 0.15, 0.0};
            }
        }
        model.poses.push_back(poses);
    }
    return model;
}

TEST(Facing, TheSampleAnimalsAndAWalkingFigureAreFoundFacingWhereverTheFileTurnsThem)
{
    const AxisDirection ups[] = {{1, 1}, {2, 1}, {0, -1}};
    struct Model {
        std::string name;
        ImportedModel model;
    };
    const Model models[] = {{"quadruped walking", sampleAnimal(BodyPlan::quadruped())},
                            {"longneck walking", sampleAnimal(BodyPlan::longneck())},
                            {"quadruped still", withoutAnimation(sampleAnimal(BodyPlan::quadruped()))},
                            {"longneck still", withoutAnimation(sampleAnimal(BodyPlan::longneck()))},
                            {"figure walking", standingFigure(true)}};
    for (const Model& m : models)
        for (const AxisDirection& up : ups)
            for (int axis = 0; axis < 3; ++axis)
                for (int sign : {1, -1}) {
                    if (axis == up.axis) continue;
                    const AxisDirection facing{axis, sign};
                    SCOPED_TRACE(m.name + " facing " + facing.text() + " with " + up.text() + " up");
                    const FacingGuess guess = guessFacing(turned(m.model, facing, up), up);
                    if (m.model.frameCount() > 1) {
                        EXPECT_EQ(guess.forward.text(), facing.text());
                        EXPECT_EQ(guess.source, "walk");
                    } else {
                        // A still body gives its axis, not which end leads.
                        EXPECT_EQ(guess.forward.axis, facing.axis);
                        EXPECT_EQ(guess.source, "shape");
                    }
                }
}

TEST(Facing, AStandingFigureWiderThanDeepIsNotTurnedAndTheFileAndOptionsComeFirst)
{
    // Wider than deep (its arms), standing still: it keeps the usual heading, whichever way
    // its arms point.
    const ImportedModel figure = standingFigure(false);
    for (const AxisDirection& facing : {AxisDirection{0, 1}, AxisDirection{2, 1}, AxisDirection{2, -1}}) {
        SCOPED_TRACE("facing " + facing.text());
        const FacingGuess guess = guessFacing(turned(figure, facing, {1, 1}), {1, 1});
        EXPECT_EQ(guess.forward.text(), "+z");
        EXPECT_EQ(guess.source, "default");
        EXPECT_EQ(guessFacing(turned(figure, facing, {2, 1}), {2, 1}).forward.text(), "-y");
    }

    // A file that says where the model faces, and the option, override the guess.
    ImportedModel animal = turned(sampleAnimal(BodyPlan::quadruped()), {0, 1}, {1, 1});
    EXPECT_EQ(choosePlacement(animal, ImportOptions{}).forward.text(), "+x");
    animal.fileForward = AxisDirection{0, -1};
    const Placement fromFile = choosePlacement(animal, ImportOptions{});
    EXPECT_EQ(fromFile.forward.text(), "-x");
    EXPECT_EQ(fromFile.forwardSource, "file");
    ImportOptions options;
    options.forward = AxisDirection{2, -1};
    const Placement fromOption = choosePlacement(animal, options);
    EXPECT_EQ(fromOption.forward.text(), "-z");
    EXPECT_EQ(fromOption.forwardSource, "option");
}

TEST(Facing, TheTestModelsStandUprightWithTheirLengthAlongTheHerdsWay)
{
    ImportOptions options;
    options.levels = 1;
    options.corrections = 0;
    options.prt = 0;
    options.shadow = false;
    // The FBX is a 59-unit bar that crawls along its length; Wuson (SMD, z up in the file) a
    // bison standing on four legs.
    for (const char* file : {"FBX/animation_with_skeleton.fbx", "SMD/WusonSMD.smd"}) {
        SCOPED_TRACE(file);
        const ImportResult result = importModel(kModels + "/" + file, options);
        const auto skins = importedSkins(result, file);
        BoundingBox box;
        for (const Vector3f& p : skins.front()->restPositions()) box.grow(p);
        const Vector3f size = box.maximum - box.minimum;
        EXPECT_GT(size.z, 1.5f * size.x) << "longer across the way the herd walks";
        EXPECT_GT(size.z, size.y);
    }
}

} // namespace
