#include "bake/AssimpModelReader.h"

#include "bake/ImageCodec.h"

#include "foundation/Exception.h"

#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A clip longer than this many frames is refused: every frame costs a residual column per
// vertex in the bakers.
constexpr std::size_t kMaxFrames = 10000;
// Assimp's convention for files that give no tick rate.
constexpr double kDefaultTicksPerSecond = 25.0;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Assimp's logger is one per process; imports in one process take turns.
std::mutex g_assimpMutex;

// Collects Assimp's warnings while one file is read: some loaders drop malformed faces with
// no more than a warning, which this import treats as the error it is.
class WarningCollector : public Assimp::LogStream {
public:
    void write(const char* message) override { m_lines.emplace_back(message); }
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

Affine3d toAffine(const aiMatrix4x4& m)
{
    Affine3d a;
    a.linear = {{{m.a1, m.a2, m.a3}, {m.b1, m.b2, m.b3}, {m.c1, m.c2, m.c3}}};
    a.translation = {m.a4, m.b4, m.c4};
    return a;
}

bool invertible(const Matrix3d& m)
{
    const double det = determinant(m);
    return std::isfinite(det) && std::fabs(det) > 1e-300;
}

// Close enough to be one bone: the same node bound the same way by two meshes.
bool sameTransform(const Affine3d& a, const Affine3d& b)
{
    double largest = 1.0, difference = 0.0;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            largest = std::max(largest, std::fabs(a.linear[r][c]));
            difference = std::max(difference, std::fabs(a.linear[r][c] - b.linear[r][c]));
        }
        largest = std::max(largest, std::fabs(a.translation[r]));
        difference = std::max(difference, std::fabs(a.translation[r] - b.translation[r]));
    }
    return difference <= 1e-6 * largest;
}

struct Node {
    const aiNode* node = nullptr;
    int parent = -1;
    int depth = 0;
    Affine3d local;
    Affine3d global;
};

// The scene's nodes in depth-first order, parents before children.
struct NodeTable {
    std::vector<Node> nodes;
    std::unordered_map<std::string, int> byName; // the first node of each name
    std::vector<std::vector<int>> meshNodes;     // the nodes that show each mesh

    explicit NodeTable(const aiScene& scene) : meshNodes(scene.mNumMeshes)
    {
        // Depth-first with an explicit stack: a deep hierarchy must not exhaust the call stack.
        std::vector<std::pair<const aiNode*, int>> stack{{scene.mRootNode, -1}};
        while (!stack.empty()) {
            const auto [node, parent] = stack.back();
            stack.pop_back();
            Node entry;
            entry.node = node;
            entry.parent = parent;
            entry.depth = parent < 0 ? 0 : nodes[static_cast<std::size_t>(parent)].depth + 1;
            entry.local = toAffine(node->mTransformation);
            entry.global = parent < 0 ? entry.local : nodes[static_cast<std::size_t>(parent)].global * entry.local;
            const int index = static_cast<int>(nodes.size());
            nodes.push_back(entry);
            byName.emplace(node->mName.C_Str(), index);
            for (unsigned k = 0; k < node->mNumMeshes; ++k)
                if (node->mMeshes[k] < meshNodes.size()) meshNodes[node->mMeshes[k]].push_back(index);
            for (unsigned c = node->mNumChildren; c-- > 0;)
                if (node->mChildren[c]) stack.emplace_back(node->mChildren[c], index);
        }
    }

    int find(const aiString& name) const
    {
        const auto it = byName.find(name.C_Str());
        return it == byName.end() ? -1 : it->second;
    }
    // The ancestor just below the root (the node itself when it is the root or below it).
    int topAncestor(int n) const
    {
        while (n >= 0 && nodes[static_cast<std::size_t>(n)].parent > 0) n = nodes[static_cast<std::size_t>(n)].parent;
        return n;
    }
};

// One bone of the merged skin: a node and the inverse bind matrix that takes scene rest-pose
// coordinates into that node's space (node -1: no node, a bone that never moves, such as the
// one bone of a model without bones).
struct BoneEntry {
    int node = -1;
    Affine3d inverseBind;
    std::string name;
};

class BoneTable {
public:
    int find(int node, const Affine3d& inverseBind, const std::string& name)
    {
        for (std::size_t b = 0; b < m_bones.size(); ++b)
            if (m_bones[b].node == node && sameTransform(m_bones[b].inverseBind, inverseBind)) return static_cast<int>(b);
        std::string unique = name;
        if (unique.empty()) {
            unique = "bone";
            unique += std::to_string(m_bones.size());
        }
        // Two bindings of one node become two bones; their names must stay apart.
        for (const BoneEntry& bone : m_bones)
            if (bone.name == unique) {
                unique += '.';
                unique += std::to_string(m_bones.size());
            }
        m_bones.push_back({node, inverseBind, unique});
        return static_cast<int>(m_bones.size() - 1);
    }
    const std::vector<BoneEntry>& bones() const { return m_bones; }

private:
    std::vector<BoneEntry> m_bones;
};

// ---- Animation sampling. Only +, *, / and square roots, so that the poses are the same on
// every processor (no transcendental functions, whose library versions differ by processor).

struct Quat {
    double w = 1, x = 0, y = 0, z = 0;
};

Quat normalised(const Quat& q)
{
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(n > 0.0) || !std::isfinite(n)) return {};
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// Spherical interpolation by bisection: the normalised sum of two unit quaternions is exactly
// the rotation halfway along the arc between them, so halving the interval 48 times pins the
// point at fraction u to far below float precision, with square roots only.
Quat slerp(Quat a, Quat b, double u)
{
    if (a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z < 0.0) b = {-b.w, -b.x, -b.y, -b.z};
    for (int step = 0; step < 48; ++step) {
        const Quat middle = normalised({a.w + b.w, a.x + b.x, a.y + b.y, a.z + b.z});
        if (u < 0.5) {
            b = middle;
            u *= 2.0;
        } else {
            a = middle;
            u = 2.0 * u - 1.0;
        }
    }
    return normalised({a.w + (b.w - a.w) * u, a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u});
}

Matrix3d rotationOf(const Quat& q)
{
    const double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const double wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return {{{1 - 2 * (yy + zz), 2 * (xy - wz), 2 * (xz + wy)},
             {2 * (xy + wz), 1 - 2 * (xx + zz), 2 * (yz - wx)},
             {2 * (xz - wy), 2 * (yz + wx), 1 - 2 * (xx + yy)}}};
}

// A node's own transform as translation, rotation and scale, for channels that key only some
// of them. The scale is the length of each column; a mirroring transform gets a negative x.
struct Decomposed {
    Vector3d translation;
    Matrix3d rotation = identityMatrix3d();
    Vector3d scale{1, 1, 1};
};

Decomposed decompose(const Affine3d& t)
{
    Decomposed d;
    d.translation = t.translation;
    for (int c = 0; c < 3; ++c) {
        const double length = std::sqrt(t.linear[0][c] * t.linear[0][c] + t.linear[1][c] * t.linear[1][c] +
                                        t.linear[2][c] * t.linear[2][c]);
        d.scale[c] = length;
        for (int r = 0; r < 3; ++r) d.rotation[r][c] = length > 0.0 ? t.linear[r][c] / length : (r == c ? 1.0 : 0.0);
    }
    if (determinant(d.rotation) < 0.0) {
        d.scale.x = -d.scale.x;
        for (int r = 0; r < 3; ++r) d.rotation[r][0] = -d.rotation[r][0];
    }
    return d;
}

// The key interval holding `ticks` and the fraction into it; clamped to the first and last key.
template <typename Key>
std::pair<std::size_t, double> locate(const Key* keys, unsigned count, double ticks)
{
    if (count == 1 || !(ticks > keys[0].mTime)) return {0, 0.0};
    if (ticks >= keys[count - 1].mTime) return {count - 1, 0.0};
    const Key* next = std::upper_bound(keys, keys + count, ticks, [](double t, const Key& key) { return t < key.mTime; });
    const std::size_t i = static_cast<std::size_t>(next - keys) - 1;
    const double span = keys[i + 1].mTime - keys[i].mTime;
    return {i, span > 0.0 ? (ticks - keys[i].mTime) / span : 0.0};
}

Vector3d sampleVector(const aiVectorKey* keys, unsigned count, double ticks)
{
    const auto [i, u] = locate(keys, count, ticks);
    const aiVector3D& a = keys[i].mValue;
    if (u == 0.0) return {a.x, a.y, a.z};
    const aiVector3D& b = keys[i + 1].mValue;
    return {a.x + (double(b.x) - a.x) * u, a.y + (double(b.y) - a.y) * u, a.z + (double(b.z) - a.z) * u};
}

Quat sampleRotation(const aiQuatKey* keys, unsigned count, double ticks)
{
    const auto [i, u] = locate(keys, count, ticks);
    const aiQuaternion& a = keys[i].mValue;
    const Quat qa = normalised({a.w, a.x, a.y, a.z});
    if (u == 0.0) return qa;
    const aiQuaternion& b = keys[i + 1].mValue;
    return slerp(qa, normalised({b.w, b.x, b.y, b.z}), u);
}

Affine3d sampleChannel(const aiNodeAnim& channel, const Decomposed& rest, double ticks)
{
    const Vector3d translation =
        channel.mNumPositionKeys > 0 ? sampleVector(channel.mPositionKeys, channel.mNumPositionKeys, ticks) : rest.translation;
    const Matrix3d rotation = channel.mNumRotationKeys > 0
                                  ? rotationOf(sampleRotation(channel.mRotationKeys, channel.mNumRotationKeys, ticks))
                                  : rest.rotation;
    const Vector3d scale =
        channel.mNumScalingKeys > 0 ? sampleVector(channel.mScalingKeys, channel.mNumScalingKeys, ticks) : rest.scale;
    Affine3d local;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) local.linear[r][c] = rotation[r][c] * scale[c];
    local.translation = translation;
    return local;
}

const aiAnimation* chooseAnimation(const aiScene& scene, const std::string& wanted, const std::string& path)
{
    if (scene.mNumAnimations == 0) {
        if (wanted.empty()) return nullptr;
        throw IOException("Model '" + path + "' has no animation " + quoted(wanted) + "; it has no animations.");
    }
    if (wanted.empty()) return scene.mAnimations[0];
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
        if (wanted == scene.mAnimations[a]->mName.C_Str()) return scene.mAnimations[a];
    if (std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; }) && wanted.size() < 10) {
        const unsigned long index = std::stoul(wanted);
        if (index < scene.mNumAnimations) return scene.mAnimations[index];
    }
    std::string names;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
        names += (a ? ", " : "") + std::to_string(a) + " " + quoted(scene.mAnimations[a]->mName.C_Str());
    throw IOException("Model '" + path + "' has no animation " + quoted(wanted) + "; it has " + names + ".");
}

std::optional<AxisDirection> metadataAxis(const aiMetadata* metadata, const char* axisKey, const char* signKey)
{
    int axis = -1, sign = 0;
    if (!metadata || !metadata->Get(std::string(axisKey), axis) || !metadata->Get(std::string(signKey), sign))
        return std::nullopt;
    if (axis < 0 || axis > 2 || (sign != 1 && sign != -1)) return std::nullopt;
    return AxisDirection{axis, sign};
}

std::optional<double> metadataMetresPerUnit(const aiMetadata* metadata)
{
    if (!metadata) return std::nullopt;
    // The FBX loader reports the file's unit as centimetres per unit.
    double centimetres = 0.0;
    float single = 0.0f;
    if (metadata->Get(std::string("UnitScaleFactor"), single))
        centimetres = single;
    else if (!metadata->Get(std::string("UnitScaleFactor"), centimetres))
        return std::nullopt;
    if (!(centimetres > 0.0) || !std::isfinite(centimetres)) return std::nullopt;
    return centimetres / 100.0;
}

void chooseTexture(const aiScene& scene, const std::vector<std::size_t>& trianglesPerMaterial, const std::string& path,
                   ImportedModel& model)
{
    std::size_t best = 0;
    for (std::size_t m = 1; m < trianglesPerMaterial.size(); ++m)
        if (trianglesPerMaterial[m] > trianglesPerMaterial[best]) best = m;
    if (trianglesPerMaterial.empty() || trianglesPerMaterial[best] == 0 || best >= scene.mNumMaterials) return;
    const aiMaterial& material = *scene.mMaterials[best];
    aiString name;
    if (material.GetTexture(aiTextureType_DIFFUSE, 0, &name) != AI_SUCCESS &&
        material.GetTexture(aiTextureType_BASE_COLOR, 0, &name) != AI_SUCCESS)
        return;
    const std::string textureName = name.C_Str();
    if (textureName.empty()) return;
    model.texture.sourceName = textureName;

    if (const aiTexture* embedded = scene.GetEmbeddedTexture(textureName.c_str())) {
        const std::string what = textureName + "' in '" + path;
        try {
            if (embedded->mHeight == 0) {
                model.texture.png = convertToPng(
                    std::string_view(reinterpret_cast<const char*>(embedded->pcData), embedded->mWidth), what);
            } else {
                // Uncompressed texels, stored B, G, R, A.
                const std::size_t pixels = static_cast<std::size_t>(embedded->mWidth) * embedded->mHeight;
                std::vector<std::uint8_t> rgba(pixels * 4);
                for (std::size_t i = 0; i < pixels; ++i) {
                    const aiTexel& t = embedded->pcData[i];
                    rgba[4 * i] = t.r;
                    rgba[4 * i + 1] = t.g;
                    rgba[4 * i + 2] = t.b;
                    rgba[4 * i + 3] = t.a;
                }
                model.texture.png =
                    encodePngRgba(static_cast<int>(embedded->mWidth), static_cast<int>(embedded->mHeight), rgba.data(), what);
            }
        } catch (const IOException& e) {
            model.warnings.push_back("The embedded texture of '" + path + "' is left out: " + e.message());
        }
        return;
    }

    // Files written on Windows name their textures with backslashes.
    std::string portable = textureName;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    const std::filesystem::path named(portable);
    std::error_code error;
    for (const std::filesystem::path& candidate :
         {named.is_absolute() ? named : directory / named, directory / named.filename()}) {
        if (std::filesystem::is_regular_file(candidate, error)) {
            model.texture.file = candidate;
            return;
        }
    }
    model.warnings.push_back("Texture '" + textureName + "' of model '" + path + "' was not found; the skin has no texture.");
}

} // namespace

ImportedModel readAssimpModel(const std::string& path, const ImportOptions& options)
{
    const std::lock_guard<std::mutex> lock(g_assimpMutex);
    ImportedModel model;
    model.name = std::filesystem::path(path).stem().string();
    model.fps = options.fps;

    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) throw IOException("Unable to open file '" + path + "' for reading.");

    auto start = Clock::now();
    // A logger without default streams: nothing reaches the terminal, warnings reach us.
    if (Assimp::DefaultLogger::isNullLogger()) Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
    auto* warnings = new WarningCollector;
    Assimp::DefaultLogger::get()->attachStream(warnings, Assimp::Logger::Warn | Assimp::Logger::Err);
    struct Detach {
        WarningCollector* stream;
        ~Detach()
        {
            Assimp::DefaultLogger::get()->detachStream(stream, Assimp::Logger::Warn | Assimp::Logger::Err);
            delete stream;
        }
    } detach{warnings};

    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_PP_LBW_MAX_WEIGHTS, 4);
    const aiScene* scene = nullptr;
    try {
        scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_LimitBoneWeights |
                                            aiProcess_GenSmoothNormals | aiProcess_ValidateDataStructure);
    } catch (const std::bad_alloc&) {
        throw IOException("Unable to import model '" + path + "': out of memory.");
    }
    if (!scene) throw IOException("Unable to import model '" + path + "': " + importer.GetErrorString());
    for (const std::string& line : warnings->lines())
        if (line.find("out-of-range") != std::string::npos || line.find("out of range") != std::string::npos) {
            // Strip Assimp's "Warn,  T0: " prefix.
            const std::size_t colon = line.find(": ");
            std::string reason = colon == std::string::npos ? line : line.substr(colon + 2);
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
            throw IOException("Unable to import model '" + path + "': " + reason);
        }
    if (!scene->mRootNode) throw IOException("Unable to import model '" + path + "': the file holds no scene.");
    model.timings.read = secondsSince(start);

    start = Clock::now();
    const NodeTable table(*scene);
    model.fileUp = metadataAxis(scene->mMetaData, "UpAxis", "UpAxisSign");
    model.fileForward = metadataAxis(scene->mMetaData, "FrontAxis", "FrontAxisSign");
    model.fileMetresPerUnit = metadataMetresPerUnit(scene->mMetaData);

    auto hasTriangles = [&](unsigned m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            if (mesh.mFaces[f].mNumIndices == 3) return true;
        return false;
    };

    // The skeleton carrying the most vertices: skinned meshes grouped by the top-level node
    // above their first bone.
    std::map<int, std::size_t> verticesPerSkeleton;
    std::vector<int> skeletonOf(scene->mNumMeshes, -2);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        if (mesh.mNumBones == 0 || !hasTriangles(m)) continue;
        const int boneNode = table.find(mesh.mBones[0]->mName);
        skeletonOf[m] = table.topAncestor(boneNode);
        verticesPerSkeleton[skeletonOf[m]] += mesh.mNumVertices;
    }
    int skeleton = -2;
    std::size_t mostVertices = 0;
    for (const auto& [top, vertices] : verticesPerSkeleton)
        if (vertices > mostVertices) {
            skeleton = top;
            mostVertices = vertices;
        }
    const bool skinned = skeleton != -2;

    // Bone nodes of the chosen skeleton, for rigid meshes hung under them.
    std::vector<bool> isBoneNode(table.nodes.size(), false);
    if (skinned)
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            if (skeletonOf[m] == skeleton)
                for (unsigned b = 0; b < scene->mMeshes[m]->mNumBones; ++b) {
                    const int node = table.find(scene->mMeshes[m]->mBones[b]->mName);
                    if (node >= 0) isBoneNode[static_cast<std::size_t>(node)] = true;
                }

    BoneTable bones;
    std::vector<std::vector<std::pair<std::int32_t, double>>> weights;
    std::vector<std::size_t> trianglesPerMaterial(scene->mNumMaterials, 0);
    bool anyTextureCoordinates = false;
    std::size_t leftOut = 0, missingBones = 0;

    // Appends one mesh placed by `place`; `rigidBone` >= 0 binds every vertex to that bone,
    // otherwise the mesh's own bones bind them and unweighted ones follow `meshNode`.
    auto addMesh = [&](const aiMesh& mesh, const Affine3d& place, int rigidBone, int meshNode) {
        const std::size_t base = model.positions.size();
        const bool placeInvertible = invertible(place.linear);
        const Matrix3d normalMatrix = placeInvertible ? transposed(inverse(place.linear)) : place.linear;
        const Affine3d unplace = placeInvertible ? place.inverse() : Affine3d{};
        anyTextureCoordinates = anyTextureCoordinates || mesh.HasTextureCoords(0);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D& p = mesh.mVertices[v];
            model.positions.push_back(place.apply({p.x, p.y, p.z}));
            Vector3d n{0, 1, 0};
            if (mesh.HasNormals()) {
                const aiVector3D& m = mesh.mNormals[v];
                const Vector3d turned = multiply(normalMatrix, Vector3d{m.x, m.y, m.z});
                const double length = turned.length();
                if (length > 1e-30 && std::isfinite(length)) n = turned * (1.0 / length);
            }
            model.normals.push_back(n);
            if (mesh.HasTextureCoords(0)) {
                const aiVector3D& t = mesh.mTextureCoords[0][v];
                model.textureCoordinates.push_back({t.x, t.y});
            } else {
                model.textureCoordinates.push_back({0.0f, 0.0f});
            }
            if (mesh.HasVertexColors(0)) {
                const aiColor4D& c = mesh.mColors[0][v];
                model.colours.push_back({std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f)});
            } else {
                model.colours.push_back({1.0f, 1.0f, 1.0f});
            }
        }
        weights.resize(model.positions.size());
        if (rigidBone >= 0) {
            for (std::size_t v = base; v < weights.size(); ++v) weights[v].emplace_back(rigidBone, 1.0);
        } else {
            for (unsigned b = 0; b < mesh.mNumBones; ++b) {
                const aiBone& bone = *mesh.mBones[b];
                // A bone naming no node of the scene has no motion: it holds its vertices
                // where the bind pose has them (node -1 stays put).
                const int node = table.find(bone.mName);
                if (node < 0) ++missingBones;
                const Affine3d inverseBind = toAffine(bone.mOffsetMatrix) * unplace;
                const int index = bones.find(node, inverseBind, bone.mName.C_Str());
                for (unsigned w = 0; w < bone.mNumWeights; ++w) {
                    const aiVertexWeight& weight = bone.mWeights[w];
                    if (weight.mVertexId < mesh.mNumVertices)
                        weights[base + weight.mVertexId].emplace_back(index, weight.mWeight);
                }
            }
            int follower = -1;
            for (std::size_t v = base; v < weights.size(); ++v) {
                bool any = false;
                for (const auto& entry : weights[v]) any = any || (entry.second > 0.0 && std::isfinite(entry.second));
                if (any) continue;
                if (follower < 0)
                    follower = bones.find(meshNode, unplace,
                                          meshNode >= 0 ? table.nodes[static_cast<std::size_t>(meshNode)].node->mName.C_Str() : "");
                weights[v].emplace_back(follower, 1.0);
            }
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;
            Triangle t;
            for (int c = 0; c < 3; ++c) {
                if (face.mIndices[c] >= mesh.mNumVertices)
                    throw IOException("Unable to import model '" + path + "': a face refers to vertex " +
                                      std::to_string(face.mIndices[c]) + " of a mesh with " +
                                      std::to_string(mesh.mNumVertices) + " vertices.");
                t.index[c] = static_cast<std::uint32_t>(base + face.mIndices[c]);
            }
            if (t.index[0] == t.index[1] || t.index[1] == t.index[2] || t.index[0] == t.index[2]) continue;
            model.triangles.push_back(t);
            if (mesh.mMaterialIndex < trianglesPerMaterial.size()) ++trianglesPerMaterial[mesh.mMaterialIndex];
        }
        ++model.meshCount;
    };

    if (skinned) {
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            const aiMesh& mesh = *scene->mMeshes[m];
            if (!hasTriangles(m)) continue;
            const std::vector<int>& shownBy = table.meshNodes[m];
            if (skeletonOf[m] == skeleton) {
                // A skinned mesh is placed by its bones; the first node showing it gives its
                // bind placement.
                const int node = shownBy.empty() ? -1 : shownBy.front();
                addMesh(mesh, node < 0 ? Affine3d{} : table.nodes[static_cast<std::size_t>(node)].global, -1, node);
                continue;
            }
            bool added = false;
            if (mesh.mNumBones == 0)
                for (int node : shownBy) {
                    int bone = node;
                    while (bone >= 0 && !isBoneNode[static_cast<std::size_t>(bone)]) bone = table.nodes[static_cast<std::size_t>(bone)].parent;
                    if (bone < 0) continue;
                    const Node& boneNode = table.nodes[static_cast<std::size_t>(bone)];
                    if (!invertible(boneNode.global.linear)) continue;
                    const int index = bones.find(bone, boneNode.global.inverse(), boneNode.node->mName.C_Str());
                    addMesh(mesh, table.nodes[static_cast<std::size_t>(node)].global, index, node);
                    added = true;
                }
            if (!added) ++leftOut;
        }
    } else {
        // No skeleton: every mesh where the scene shows it, all on one bone.
        const int root = bones.find(-1, Affine3d{}, "root");
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            if (!hasTriangles(m)) continue;
            for (int node : table.meshNodes[m]) addMesh(*scene->mMeshes[m], table.nodes[static_cast<std::size_t>(node)].global, root, node);
        }
    }
    if (model.triangles.empty()) throw IOException("Unable to import model '" + path + "': it holds no triangles.");
    if (!anyTextureCoordinates) model.textureCoordinates.clear();
    if (leftOut > 0)
        model.warnings.push_back(std::to_string(leftOut) + (leftOut == 1 ? " mesh" : " meshes") + " of '" + path +
                                 "' not bound to the skeleton left out.");
    if (missingBones > 0)
        model.warnings.push_back(std::to_string(missingBones) + (missingBones == 1 ? " bone" : " bones") + " of '" + path +
                                 "' name no node of the scene; they hold their vertices still.");
    chooseTexture(*scene, trianglesPerMaterial, path, model);
    model.timings.merge = secondsSince(start);

    // Sampling.
    start = Clock::now();
    const aiAnimation* animation = chooseAnimation(*scene, options.animation, path);
    double ticksPerSecond = kDefaultTicksPerSecond;
    std::size_t frames = 1;
    std::vector<const aiNodeAnim*> channelOf(table.nodes.size(), nullptr);
    if (animation) {
        if (animation->mTicksPerSecond > 0.0 && std::isfinite(animation->mTicksPerSecond)) ticksPerSecond = animation->mTicksPerSecond;
        const double seconds = animation->mDuration > 0.0 && std::isfinite(animation->mDuration) ? animation->mDuration / ticksPerSecond : 0.0;
        if (seconds * options.fps > double(kMaxFrames))
            throw IOException("Unable to import model '" + path + "': its animation lasts " + std::to_string(seconds) +
                              " s, more than " + std::to_string(kMaxFrames) + " frames at " +
                              std::to_string(options.fps) + " frames per second.");
        frames = sampledFrameCount(seconds, options.fps);
        model.animationName = animation->mName.length > 0 ? animation->mName.C_Str() : "(unnamed)";
        model.durationSeconds = seconds;
        for (unsigned c = 0; c < animation->mNumChannels; ++c) {
            const aiNodeAnim* channel = animation->mChannels[c];
            const int node = channel ? table.find(channel->mNodeName) : -1;
            if (node >= 0 && !channelOf[static_cast<std::size_t>(node)]) channelOf[static_cast<std::size_t>(node)] = channel;
        }
    }
    std::vector<Decomposed> rest(table.nodes.size());
    for (std::size_t n = 0; n < table.nodes.size(); ++n)
        if (channelOf[n]) rest[n] = decompose(table.nodes[n].local);

    const std::vector<BoneEntry>& entries = bones.bones();
    for (const BoneEntry& bone : entries) {
        model.boneNames.push_back(bone.name);
        model.boneDepths.push_back(bone.node < 0 ? 0 : table.nodes[static_cast<std::size_t>(bone.node)].depth);
        model.bonePivots.push_back(invertible(bone.inverseBind.linear) ? bone.inverseBind.inverse().translation : Vector3d{});
    }
    model.poses.assign(frames, std::vector<Affine3d>(entries.size()));
    std::vector<Affine3d> global(table.nodes.size());
    for (std::size_t f = 0; f < frames; ++f) {
        const double ticks = double(f) / options.fps * ticksPerSecond;
        for (std::size_t n = 0; n < table.nodes.size(); ++n) {
            const Node& node = table.nodes[n];
            const Affine3d local = channelOf[n] ? sampleChannel(*channelOf[n], rest[n], ticks) : node.local;
            global[n] = node.parent < 0 ? local : global[static_cast<std::size_t>(node.parent)] * local;
        }
        for (std::size_t b = 0; b < entries.size(); ++b)
            model.poses[f][b] = entries[b].node < 0 ? Affine3d{} : global[static_cast<std::size_t>(entries[b].node)] * entries[b].inverseBind;
    }
    model.timings.sampling = secondsSince(start);

    finishInfluences(model, weights);
    return model;
}
