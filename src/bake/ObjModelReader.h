#pragma once

#include "bake/ImportOptions.h"
#include "bake/ImportedModel.h"

#include <string>

// Reads a Wavefront OBJ file with the project's own OBJ and MTL reader into the same merged
// form the Assimp reader gives: a still model on one bone with one frame. Each distinct
// (vertex, texture coordinate, normal) corner becomes one vertex; polygons are split into fans;
// corners without a normal get the area-weighted normal of their position. The texture is the
// map_Kd of the material covering most triangles. Throws IOException naming the file for
// anything the OBJ or MTL reader rejects, for corner numbers out of range, and for a file
// without triangles.
ImportedModel readObjModel(const std::string& path, const ImportOptions& options);

class ObjFile;
// The same from an OBJ model already read; `path` is where it came from (textures are
// looked up beside it).
ImportedModel modelFromObj(const ObjFile& obj, const std::string& path, const ImportOptions& options);

// The reader a model file goes to: the OBJ reader above for ".obj" (any case), Assimp for
// everything else.
ImportedModel readModel(const std::string& path, const ImportOptions& options);
