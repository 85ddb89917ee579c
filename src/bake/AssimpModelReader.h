#pragma once

#include "bake/ImportOptions.h"
#include "bake/ImportedModel.h"

#include <string>

// Reads a model file with Assimp (triangulated, identical vertices joined, at most four
// weights a vertex, smooth normals where the file has none) and merges it into one skinned
// mesh in the file's scene coordinates:
// - the skinned meshes of the skeleton that carries the most vertices, plus meshes hung
//   rigidly under one of its bones (bound to that bone); other meshes are left out with a
//   warning. A model without skinned meshes becomes one mesh with a single bone.
// - each bone's transform in frame f is its node's global transform at t = f / fps times its
//   inverse bind (offset) matrix times the inverse of its mesh node's transform, so that it
//   maps the mesh's place in the scene to the posed frame; nodes without a channel keep their
//   own transform; vertices a skinned mesh leaves unweighted follow that mesh's node, and a
//   bone naming no node of the scene holds its vertices still (with a warning).
// - the clip is the first animation or the one options.animation names (a name, or an index
//   when no animation has that name); it is sampled as sampledFrameCount says; without
//   animation there is one frame, the pose the file stores.
// - the texture is the diffuse (or base colour) texture of the material covering most
//   triangles; an embedded one is converted to PNG; a missing or unreadable one is a warning.
//
// Throws IOException naming the file: when it cannot be read (with Assimp's reason), when
// Assimp drops faces with out-of-range indices, when it holds no triangles, when the chosen
// animation does not exist, or for an absurd clip length.
ImportedModel readAssimpModel(const std::string& path, const ImportOptions& options);
