#pragma once

#include <string>
#include <vector>

// The file extensions the model import reads, lower case with the dot (".fbx", ".gltf",
// ".mesh.xml", ...), in Assimp's order: whatever the installed Assimp lists, plus ".obj"
// (read by the project's own OBJ reader). The viewer's own formats are never among them.
const std::vector<std::string>& modelExtensions();

// True when the path's name ends in one of modelExtensions(), ignoring case, and is not one
// of the viewer's own ".keys", ".herd", ".txt" and ".bin" files. Decided by the name alone.
bool isModelFile(const std::string& path);

// "*.3ds;*.fbx;..." for a file dialog filter.
std::string modelFilePattern();
