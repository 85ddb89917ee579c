#pragma once

#include "bake/RigidTransform.h"

#include "foundation/Vector3d.h"
#include "skin/BinarySkinWriter.h"

#include <vector>

// The animals are modelled facing +x (x forward, z to the right), but the viewer's moving
// herds walk their animals along +z, so every record is turned a quarter turn about y before
// it is written: in the files the animals face +z, with +x on their left.
RigidTransform facingTurn();

// Turns a record and its chain of next skins: rest positions and normals, the bone transforms
// (conjugated, so that each still maps turned rest space to the turned pose), the correction
// bases vertex by vertex and the rest box. Lighting is unchanged: it depends only on height.
// Frame boxes are dropped; the skin reader measures missing ones.
void turnRecord(SkinRecord& record, const RigidTransform& turn);

// Turned copies of per-frame positions.
std::vector<std::vector<Vector3d>> turnFrames(const std::vector<std::vector<Vector3d>>& frames, const RigidTransform& turn);
