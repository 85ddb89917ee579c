#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Writes small skinned, animated glTF 2.0 files (one buffer embedded as base64) for the import
// tests and the import benchmark, so that what the importer must produce is known exactly.
struct GltfModel {
    struct Joint {
        std::string name;
        int parent = -1;                               // index into joints, -1 for the root
        std::array<double, 3> translation{0, 0, 0};    // local bind pose
        std::array<double, 4> rotation{0, 0, 0, 1};    // x, y, z, w
    };
    // A channel of one joint: linear translation or spherical rotation keys.
    struct Track {
        int joint = 0;
        bool rotation = true;                          // false: translation
        std::vector<float> times;                      // seconds, ascending
        std::vector<std::array<float, 4>> values;      // x, y, z (, w for rotations)
    };

    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<std::uint16_t, 4>> joints;  // per vertex (empty: no skin)
    std::vector<std::array<float, 4>> weights;
    std::vector<std::uint32_t> indices;
    std::vector<Joint> skeleton;
    // Column-major 4x4 per joint, as glTF stores them.
    std::vector<std::array<float, 16>> inverseBindMatrices;
    std::vector<Track> tracks;                         // empty: no animation
};

// Throws std::runtime_error when the file cannot be written.
void writeGltf(const std::filesystem::path& path, const GltfModel& model);
