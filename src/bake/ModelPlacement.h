#pragma once

#include "bake/ImportOptions.h"
#include "bake/ImportedModel.h"

// Where a model ends up: turned so that its up axis is +y and its forward axis +z (the way the
// herds walk their animals), scaled to metres, and moved so that the lowest point of its first
// frame lies on y = 0 and the middle of that frame's footprint on x = z = 0.
struct Placement {
    AxisDirection up;
    AxisDirection forward;
    double metresPerUnit = 1.0;
    Vector3d offset; // added after turning and scaling
    // Where each came from: "option", "file" or "default"; the forward axis also "walk" or
    // "shape" (guessFacing).
    std::string upSource, forwardSource, scaleSource;
};

// The axes and scale a model gets: the options first, then what the file says, then, for
// the forward axis, guessFacing's guess. Throws std::invalid_argument when up and forward lie
// on one axis.
Placement choosePlacement(const ImportedModel& model, const ImportOptions& options);

// Which way a model whose file does not say walks, with `up` as its up axis (file
// coordinates). The herds walk their animals along +z, so this axis becomes +z.
//  1. "walk": the clip's feet. Whether it walks in place or travels, a foot on the ground
//     moves backwards against the body and a lifted one forwards. The steps between frames of
//     the vertices near the ground (within a twentieth of the height above the lowest point,
//     in both frames), less the model centre's step, are summed; when the sum is at least half
//     of their whole travel, the opposite of it, snapped to the nearer horizontal axis, is
//     forward. Swaying, breathing or a body lying still cancels out and gives nothing.
//  2. "shape": the rest pose. A body that walks along its length (a quadruped, a snake, a
//     worm) is longer that way than across, and so is its lower third (legs one behind the
//     other, a belly), which also reaches at least a third as far as the body is high. A standing
//     figure may be wider than deep because of its arms, but its lower third is two legs side
//     by side: not clearly longer one way, and even with the feet wide apart far narrower than
//     the figure is tall, so it is not turned. Only when the whole rest pose and its lower
//     third are both at least 1.5 times longer along the same horizontal axis, and that lower
//     third is at least a third of the height long, is that axis forward. The shape does not tell
//     head from tail, so the usual direction is kept on the usual axis and the positive one
//     taken on the other (--forward puts it right).
//  3. "default": +z, or -y when up is along z (models made with z up face -y).
struct FacingGuess {
    AxisDirection forward;
    std::string source;
};
FacingGuess guessFacing(const ImportedModel& model, const AxisDirection& up);

// Moves the model's rest pose, normals, pivots and poses into place (each pose is conjugated,
// so it still maps the placed rest pose to the placed frame) and fills in placement.offset.
void placeModel(ImportedModel& model, Placement& placement);

// Linear-blend skinning of every vertex of frame f in double: where the viewer puts them
// before corrections.
std::vector<Vector3d> skinnedPositions(const ImportedModel& model, std::size_t frame);
