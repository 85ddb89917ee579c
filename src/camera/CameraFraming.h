#pragma once

#include "foundation/BoundingBox.h"

class OrthoCamera;
class ProjectiveFixedYCamera;

// "Frame all": moving a camera so that a box (usually every animal of the scene) is seen whole
// at the camera's current aspect ratio, keeping the direction it looks from. GL-free; the view
// calls these for the Home key.

// Aims the perspective camera at the box centre, lets fitBox choose the distance and then backs
// away along the view direction as far as the window's aspect ratio and the box's depth still
// require, so that every corner lies inside the view volume (fitBox alone sizes by the
// horizontal angle and the distance to the centre, which a wide window or a deep herd
// outgrows). Nothing happens for an empty box.
void frameBox(ProjectiveFixedYCamera& camera, const BoundingBox& box);

// True when every corner of a non-empty box lies inside the perspective camera's view volume:
// in front of the near plane, before the far plane and within the window's angles at the
// camera's current aspect ratio. What decides whether a freshly loaded herd must be framed.
bool boxInView(const ProjectiveFixedYCamera& camera, const BoundingBox& box);

// Centres the orthographic camera's plan on the box and sets the port so that the box's
// projection fits the window with a small margin. A box that projects to a point keeps the
// current port. Nothing happens for an empty box.
void frameBox(OrthoCamera& camera, const BoundingBox& box);
