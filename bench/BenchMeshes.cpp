#include "BenchMeshes.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

BenchMesh makeSphereMesh(uint32_t segments, uint32_t rings)
{
    BenchMesh mesh;
    mesh.name = "sphere";
    auto ringVertex = [&](uint32_t ring, uint32_t s) { return 1 + (ring - 1) * segments + s % segments; };
    uint32_t south = 1 + (rings - 1) * segments;
    mesh.vertexCount = south + 1;
    auto& ix = mesh.indices;
    for (uint32_t s = 0; s < segments; ++s)
        ix.insert(ix.end(), {0, ringVertex(1, s), ringVertex(1, s + 1)});
    for (uint32_t r = 1; r + 1 < rings; ++r) {
        for (uint32_t s = 0; s < segments; ++s) {
            uint32_t a = ringVertex(r, s), b = ringVertex(r, s + 1);
            uint32_t c = ringVertex(r + 1, s), d = ringVertex(r + 1, s + 1);
            ix.insert(ix.end(), {a, c, b, b, c, d});
        }
    }
    for (uint32_t s = 0; s < segments; ++s)
        ix.insert(ix.end(), {south, ringVertex(rings - 1, s + 1), ringVertex(rings - 1, s)});
    return mesh;
}

BenchMesh makeTorusMesh(uint32_t majorSegments, uint32_t minorSegments)
{
    BenchMesh mesh;
    mesh.name = "torus";
    mesh.vertexCount = majorSegments * minorSegments;
    auto vertex = [&](uint32_t i, uint32_t j) { return (i % majorSegments) * minorSegments + j % minorSegments; };
    for (uint32_t i = 0; i < majorSegments; ++i) {
        for (uint32_t j = 0; j < minorSegments; ++j) {
            uint32_t a = vertex(i, j), b = vertex(i, j + 1), c = vertex(i + 1, j), d = vertex(i + 1, j + 1);
            mesh.indices.insert(mesh.indices.end(), {a, c, b, b, c, d});
        }
    }
    return mesh;
}

BenchMesh shuffledMesh(const BenchMesh& mesh, uint32_t seed)
{
    BenchMesh out;
    out.name = "shuffled_" + mesh.name;
    out.vertexCount = mesh.vertexCount;
    size_t triangles = mesh.indices.size() / 3;
    std::vector<uint32_t> order(triangles);
    for (size_t t = 0; t < triangles; ++t)
        order[t] = static_cast<uint32_t>(t);
    std::mt19937 rng(seed);
    std::shuffle(order.begin(), order.end(), rng);
    out.indices.reserve(3 * triangles);
    for (uint32_t t : order)
        out.indices.insert(out.indices.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    return out;
}

bool loadObjMesh(const std::string& path, BenchMesh& mesh, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    mesh = {};
    size_t slash = path.find_last_of('/');
    mesh.name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string line;
    size_t lineNumber = 0;
    std::vector<uint32_t> polygon;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::istringstream in(line);
        std::string keyword;
        if (!(in >> keyword))
            continue;
        if (keyword == "v") {
            ++mesh.vertexCount;
        } else if (keyword == "f") {
            polygon.clear();
            std::string corner;
            while (in >> corner) {
                // The position index ends at the first slash; texture and normal indices follow.
                long value = std::strtol(corner.c_str(), nullptr, 10);
                long index = value < 0 ? long(mesh.vertexCount) + value : value - 1;
                if (value == 0 || index < 0 || index >= long(mesh.vertexCount)) {
                    error = path + ":" + std::to_string(lineNumber) + ": vertex index out of range";
                    return false;
                }
                polygon.push_back(static_cast<uint32_t>(index));
            }
            for (size_t i = 1; i + 1 < polygon.size(); ++i)
                mesh.indices.insert(mesh.indices.end(), {polygon[0], polygon[i], polygon[i + 1]});
        }
    }
    return true;
}
