#pragma once

#include "foundation/Matrix4f.h"
#include "skin/ObjFile.h"
#include "skin/Skin.h"

#include <cstdint>
#include <span>
#include <string>

// One animal to export: the frame it shows and where it stands (row-major, column vectors).
struct PlacedFrame {
    std::uint32_t frame = 0;
    Matrix4f transform = Matrix4f::identity();
};

// The name of instance `index` of a skin in an exported mesh: the skin name and the index
// with five digits ("H" and 3 give "H00003").
std::string exportGroupName(const std::string& skinName, unsigned index);

// Appends every animal as its own group of `model`: the skin's positions and normals of the
// animal's frame (the rest pose for a skin without frames), positions transformed as
// homogeneous points and divided by w, normals by the inverse transpose of the transform's
// upper 3x3 (left as they are when it is singular), one v//vn face per skin triangle.
void appendPlacedSkin(ObjFile& model, const Skin& skin, std::span<const PlacedFrame> animals);
