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
    // Where each came from: "option", "file" or "default".
    std::string upSource, forwardSource, scaleSource;
};

// The axes and scale a model gets: the options first, then what the file says, then +y up and
// +z forward (-y forward when up is along z, as models made with z up face -y). Throws
// std::invalid_argument when up and forward lie on one axis.
Placement choosePlacement(const ImportedModel& model, const ImportOptions& options);

// Moves the model's rest pose, normals, pivots and poses into place (each pose is conjugated,
// so it still maps the placed rest pose to the placed frame) and fills in placement.offset.
void placeModel(ImportedModel& model, Placement& placement);

// Linear-blend skinning of every vertex of frame f in double: where the viewer puts them
// before corrections.
std::vector<Vector3d> skinnedPositions(const ImportedModel& model, std::size_t frame);
