#include "GltfWriter.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace {

std::string base64(const std::string& bytes)
{
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += {alphabet[n >> 18], alphabet[(n >> 12) & 63], alphabet[(n >> 6) & 63], alphabet[n & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned n = (unsigned char)bytes[i] << 16;
        out += {alphabet[n >> 18], alphabet[(n >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned n = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {alphabet[n >> 18], alphabet[(n >> 12) & 63], alphabet[(n >> 6) & 63], '='};
    }
    return out;
}

class Builder {
public:
    nlohmann::json views = nlohmann::json::array();
    nlohmann::json accessors = nlohmann::json::array();
    std::string buffer;

    // Appends raw data as a buffer view and an accessor over it; returns the accessor index.
    template <typename T>
    int add(const std::vector<T>& data, const char* type, int componentType, std::size_t components, int target = 0,
            bool withBounds = false)
    {
        while (buffer.size() % 4) buffer.push_back('\0');
        nlohmann::json view = {{"buffer", 0}, {"byteOffset", buffer.size()}, {"byteLength", data.size() * sizeof(T)}};
        if (target) view["target"] = target;
        buffer.append(reinterpret_cast<const char*>(data.data()), data.size() * sizeof(T));
        views.push_back(view);
        nlohmann::json accessor = {{"bufferView", views.size() - 1},
                                   {"componentType", componentType},
                                   {"count", data.size()},
                                   {"type", type}};
        if (withBounds) {
            // Minimum and maximum per component; only float data asks for them here.
            std::vector<double> low(components, std::numeric_limits<double>::max());
            std::vector<double> high(components, -std::numeric_limits<double>::max());
            for (const T& element : data) {
                const float* values = reinterpret_cast<const float*>(&element);
                for (std::size_t c = 0; c < components; ++c) {
                    low[c] = std::min(low[c], double(values[c]));
                    high[c] = std::max(high[c], double(values[c]));
                }
            }
            accessor["min"] = low;
            accessor["max"] = high;
        }
        accessors.push_back(accessor);
        return static_cast<int>(accessors.size() - 1);
    }
};

constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;

} // namespace

void writeGltf(const std::filesystem::path& path, const GltfModel& model)
{
    Builder b;
    nlohmann::json attributes;
    attributes["POSITION"] = b.add(model.positions, "VEC3", kFloat, 3, 34962, true);
    if (!model.normals.empty()) attributes["NORMAL"] = b.add(model.normals, "VEC3", kFloat, 3, 34962);
    const bool skinned = !model.joints.empty();
    if (skinned) {
        attributes["JOINTS_0"] = b.add(model.joints, "VEC4", kUnsignedShort, 4, 34962);
        attributes["WEIGHTS_0"] = b.add(model.weights, "VEC4", kFloat, 4, 34962);
    }
    const int indices = b.add(model.indices, "SCALAR", kUnsignedInt, 1, 34963);

    // Node 0 shows the mesh; joint j is node j + 1.
    nlohmann::json nodes = nlohmann::json::array();
    nlohmann::json meshNode = {{"name", "body"}, {"mesh", 0}};
    if (skinned) meshNode["skin"] = 0;
    nodes.push_back(meshNode);
    nlohmann::json sceneNodes = {0};
    for (std::size_t j = 0; j < model.skeleton.size(); ++j) {
        const GltfModel::Joint& joint = model.skeleton[j];
        nlohmann::json node = {{"name", joint.name}, {"translation", joint.translation}, {"rotation", joint.rotation}};
        nlohmann::json children = nlohmann::json::array();
        for (std::size_t c = 0; c < model.skeleton.size(); ++c)
            if (model.skeleton[c].parent == static_cast<int>(j)) children.push_back(c + 1);
        if (!children.empty()) node["children"] = children;
        nodes.push_back(node);
        if (joint.parent < 0) sceneNodes.push_back(j + 1);
    }

    nlohmann::json gltf;
    gltf["asset"] = {{"version", "2.0"}, {"generator", "flexherd tests"}};
    gltf["scene"] = 0;
    gltf["scenes"] = {{{"nodes", sceneNodes}}};
    gltf["nodes"] = nodes;
    gltf["meshes"] = {{{"primitives", {{{"attributes", attributes}, {"indices", indices}, {"mode", 4}}}}}};
    if (skinned) {
        std::vector<std::array<float, 16>> matrices = model.inverseBindMatrices;
        nlohmann::json jointNodes = nlohmann::json::array();
        for (std::size_t j = 0; j < model.skeleton.size(); ++j) jointNodes.push_back(j + 1);
        gltf["skins"] = {{{"joints", jointNodes}, {"inverseBindMatrices", b.add(matrices, "MAT4", kFloat, 16)}}};
    }
    if (!model.tracks.empty()) {
        nlohmann::json samplers = nlohmann::json::array(), channels = nlohmann::json::array();
        for (const GltfModel::Track& track : model.tracks) {
            const int input = b.add(track.times, "SCALAR", kFloat, 1, 0, true);
            int output;
            if (track.rotation) {
                output = b.add(track.values, "VEC4", kFloat, 4);
            } else {
                std::vector<std::array<float, 3>> values;
                for (const auto& v : track.values) values.push_back({v[0], v[1], v[2]});
                output = b.add(values, "VEC3", kFloat, 3);
            }
            samplers.push_back({{"input", input}, {"output", output}, {"interpolation", "LINEAR"}});
            channels.push_back({{"sampler", samplers.size() - 1},
                                {"target", {{"node", track.joint + 1}, {"path", track.rotation ? "rotation" : "translation"}}}});
        }
        gltf["animations"] = {{{"name", "walk"}, {"samplers", samplers}, {"channels", channels}}};
    }
    gltf["accessors"] = b.accessors;
    gltf["bufferViews"] = b.views;
    gltf["buffers"] = {{{"byteLength", b.buffer.size()}, {"uri", "data:application/octet-stream;base64," + base64(b.buffer)}}};

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << gltf.dump(1);
    if (!out) throw std::runtime_error("Unable to write '" + path.string() + "'.");
}
