#pragma once

// Per-vertex colours from precomputed radiance transfer, computed on the processor for the
// software renderer: lighting = mean + basis x coefficients, summed in one fixed order so that
// every processor gives the same bits, then each vertex's colour scaled by its lighting.
// GL-free; results are 3 floats (r, g, b) per vertex, ready for glColorPointer.

#include "foundation/DenseMatrix.h"
#include "foundation/Vector3f.h"

#include <span>
#include <vector>

// Colours of one lighting state: for vertex v, (mean[v] + sum_j basis(v, j) * coefficients[j])
// times vertexColors[v]. A basis without columns adds nothing. Throws Exception when the mean
// lighting, the vertex colours and the basis rows disagree on the vertex count or the number
// of coefficients differs from the basis columns: a short array would be read past its end.
std::vector<float> prtColors(std::span<const float> meanLighting, const DenseMatrix& basis,
                             std::span<const float> coefficients, std::span<const Vector3f> vertexColors);

// The colours of frames 0 .. frameCount - 1, frame f lit by column f of the coordinates
// (Kl rows, one column per lighting frame). With frameCount 0 (a skin without animation) one
// entry for the rest pose, lit by the mean alone. Throws Exception as prtColors does, and when
// the coordinates have fewer columns than frames or rows than basis columns.
std::vector<std::vector<float>> prtFrameColors(std::span<const float> meanLighting, const DenseMatrix& basis,
                                               const DenseMatrix& coordinates, std::span<const Vector3f> vertexColors,
                                               unsigned frameCount);
