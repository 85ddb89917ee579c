#pragma once

#include "foundation/DenseMatrix.h"
#include "foundation/Vector3f.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

// The lighting file of a text skin: vertex colours and precomputed-radiance-transfer lighting,
// binary, in the encodings of the binary skin file: the colour count and the colours (three
// floats each), the mean lighting count and values, then the lighting basis and the lighting
// coordinates, each as rows, columns and the elements column by column.
class MemoryBudget;

struct LightingData {
    std::vector<Vector3f> vertexColors;
    std::vector<float> meanLighting;
    // The largest absolute mean lighting value (0 without values).
    float maxMeanLighting = 0.0f;
    DenseMatrix basis;       // one row per vertex, one column per basis vector
    DenseMatrix coordinates; // one row per basis vector, one column per frame
};

// Reads a lighting file from the stream and checks it against a mesh of vertexCount vertices
// animated over frameCount frames: the renderers index the colours and the basis per vertex
// and the coordinates per basis vector and frame, so all of that must be there. Throws
// CreationException naming the file for a cut file, counts the file cannot hold and data that
// does not fit the mesh. What it keeps is taken from `budget` where one is given (a text skin
// shares one with its mesh; MemoryBudget::Exceeded then goes to its owner), else from a budget
// of its own whose excess is a CreationException.
LightingData readLightingFile(std::istream& in, const std::string& fileName, std::size_t vertexCount,
                              unsigned frameCount, MemoryBudget* budget = nullptr);
