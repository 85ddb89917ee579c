#pragma once

#include "bake/LevelBuilder.h"
#include "skin/Skin.h"

#include <memory>

// A skin made of some of another skin's vertices: every property the source holds per vertex
// (rest position and normal, texture coordinates, influences in their order, the rows of the
// displacement, normal and lighting bases, vertex colour, mean lighting) is copied unchanged
// for the vertices the subset keeps, and bones, correction and lighting coordinates, name and
// texture stay the source's. The subset's triangles index its own vertices. The skin is read
// back through the binary reader, which checks it, builds its strips and measures its frame
// boxes as for any file. It has no next skin (no shadow). Throws CreationException when the
// subset indexes a vertex the source does not have.
std::shared_ptr<Skin> subsetSkin(const Skin& source, const LevelMesh& subset);

// The band mesh of a skin: its vertices and triangles simplified towards a quarter of the
// triangles (a third for the sample animals, whose part borders stay), as a subset of the skin's vertices (see makeBandSkin). Empty when the skin is too
// small to gain from it.
LevelMesh bandMesh(const Skin& coarsest);

// A band skin: the skin simplified as bandMesh does, by the same edge collapses the levels of
// an import are made with (parts by the bone pulling hardest), kept as a vertex subset so that
// it skins and lights exactly as the source does where it keeps a vertex (subsetSkin of
// bandMesh). Drawn for animals just taller on screen than the impostor switch, where even the
// coarsest level spends far more triangles than the few dozen pixels show. Null when the
// skin is too small to gain from it (the simplified mesh keeps more than half its triangles
// or none). Deterministic: the same skin gives the same band skin.
std::shared_ptr<Skin> makeBandSkin(const Skin& coarsest);
