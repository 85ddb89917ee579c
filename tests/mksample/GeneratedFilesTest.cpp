// Checks of the files flexherd-mksample writes: they load through the viewer's own loader and
// hold what the viewer needs (levels, bones, corrections, lighting, shadows), the run is
// repeatable, the bytes are the same on every machine, and the pictures have the promised sizes.
#include "SampleDirectory.h"

#include "AnimalBuilder.h"
#include "BodyPlan.h"
#include "SampleGenerator.h"
#include "bake/ShadowBlob.h"
#include "bake/SkinReadBack.h"
#include "bake/SkinSubset.h"

#include "TempDirectory.h"

#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"
#include "skin/SkinningKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <unistd.h>

namespace {

const char* const kAnimalFiles[] = {"quadruped.bin", "longneck.bin"};

SkinFile load(const char* name)
{
    return loadBinarySkinFile((sampleDirectory() / name).string());
}

TEST(GeneratedAnimals, LoadAsThreeLevelsSharingOneWalk)
{
    for (const char* name : kAnimalFiles) {
        SCOPED_TRACE(name);
        const SkinFile file = load(name);
        ASSERT_EQ(file.skins.size(), 3u);
        const Skin& finest = *file.skins[0];
        EXPECT_TRUE(std::filesystem::exists(sampleDirectory() / finest.textureFileName()));
        EXPECT_GE(finest.vertexCount(), 6000u);
        for (std::size_t level = 0; level < file.skins.size(); ++level) {
            const Skin& skin = *file.skins[level];
            SCOPED_TRACE(level);
            EXPECT_LT(skin.vertexCount(), Skin::kMaxVertexCount);
            if (level > 0) {
                EXPECT_LT(skin.vertexCount(), file.skins[level - 1]->vertexCount() / 2);
            }
            EXPECT_GE(skin.boneCount(), 20u);
            EXPECT_LE(skin.boneCount(), 30u);
            EXPECT_GE(skin.frameCount(), 40u);
            EXPECT_LE(skin.frameCount(), 60u);
            EXPECT_EQ(skin.textureCoordinates().size(), skin.vertexCount());
            EXPECT_LE(skin.maxInfluenceCount(), 4u);
            for (unsigned v = 0; v < skin.vertexCount(); ++v) {
                double sum = 0.0;
                for (const BoneInfluence& influence : skin.influences(v)) {
                    EXPECT_GT(influence.weight, 0.0f);
                    sum += influence.weight;
                }
                ASSERT_NEAR(sum, 1.0, 1e-5) << "vertex " << v;
            }
            // One skeleton and one walk for every level.
            EXPECT_EQ(skin.bones(), finest.bones());
            EXPECT_EQ(skin.displacementBasis().rows(), 3 * skin.vertexCount());
            EXPECT_EQ(skin.displacementBasis().columns(), 8u);
            EXPECT_EQ(skin.normalBasis().columns(), 8u);
        }
    }
}

TEST(GeneratedAnimals, CorrectionsBringLinearBlendOntoTheDualQuaternionReference)
{
    for (const char* name : kAnimalFiles) {
        const SkinFile file = load(name);
        for (std::size_t level = 0; level < file.skins.size(); ++level) {
            SCOPED_TRACE(std::string(name) + " level " + std::to_string(level));
            const Skin& skin = *file.skins[level];
            const auto reference = dualQuaternionReference(skin);
            const SkinRecord record = recordOf(skin);
            std::vector<double> errors;
            for (unsigned k : AnimalBuilder::kCorrectionSteps)
                errors.push_back(positionRms(*readBackSkin(withCorrections(record, k)), reference));
            // Plain linear blending visibly misses the reference, and every step helps.
            EXPECT_GT(errors[0], 3e-4);
            for (std::size_t i = 1; i < errors.size(); ++i) EXPECT_LT(errors[i], errors[i - 1]);
            EXPECT_LT(errors.back(), 0.1 * errors.front());
        }
    }
}

TEST(GeneratedAnimals, FeetTouchTheGroundInEveryFrame)
{
    for (const char* name : kAnimalFiles) {
        const SkinFile file = load(name);
        for (const auto& skin : file.skins)
            for (unsigned f = 0; f < skin->frameCount(); ++f) {
                const BoundingBox& box = skin->frameBoundingBoxes()[f];
                EXPECT_NEAR(box.minimum.y, 0.0f, 0.02f) << name << " frame " << f;
                EXPECT_GT(box.maximum.y, 1.2f);
            }
    }
}

// The animals face +z, the way the viewer's moving herds walk them: a planted hoof slides back
// under the body (towards -z, straight back) at the walk's ground speed, as on a treadmill.
// Facing any other way, the hooves would slide along another axis or forwards.
TEST(GeneratedAnimals, FaceAlongPlusZWhereTheHerdsWalkThem)
{
    const std::pair<const char*, BodyPlan> animals[] = {{"quadruped.bin", BodyPlan::quadruped()},
                                                        {"longneck.bin", BodyPlan::longneck()}};
    for (const auto& [name, plan] : animals) {
        const SkinFile file = load(name);
        for (std::size_t level = 0; level < file.skins.size(); ++level) {
            SCOPED_TRACE(std::string(name) + " level " + std::to_string(level));
            const Skin& skin = *file.skins[level];
            const unsigned frames = skin.frameCount();
            ASSERT_GT(frames, 1u);
            // A planted hoof covers the stride while the leg is down, a duty factor of the cycle.
            const double groundSpeed = plan.stride / (plan.dutyFactor * frames);
            double dx = 0.0, dz = 0.0;
            std::size_t planted = 0;
            for (unsigned f = 0; f < frames; ++f) {
                const auto& now = skin.framePositions(f);
                const auto& next = skin.framePositions((f + 1) % frames);
                for (unsigned v = 0; v < skin.vertexCount(); ++v)
                    if (now[v].y < 1e-3f && next[v].y < 1e-3f) {
                        dx += next[v].x - now[v].x;
                        dz += next[v].z - now[v].z;
                        ++planted;
                    }
            }
            ASSERT_GE(planted, frames) << "no hoof rests on the ground";
            EXPECT_NEAR(dz / double(planted), -groundSpeed, 0.05 * groundSpeed);
            EXPECT_LT(std::fabs(dx / double(planted)), 0.05 * groundSpeed);
        }
    }
}

TEST(GeneratedAnimals, ShadowDiscsLieUnderTheirAnimals)
{
    for (const char* name : kAnimalFiles) {
        const SkinFile file = load(name);
        for (const auto& skin : file.skins) {
            SCOPED_TRACE(name);
            const std::shared_ptr<Skin>& shadow = skin->nextSkin();
            ASSERT_TRUE(shadow);
            EXPECT_GE(shadow->vertexCount(), 100u);
            EXPECT_LE(shadow->vertexCount(), 300u);
            EXPECT_FALSE(shadow->nextSkin());
            EXPECT_EQ(shadow->displacementBasisCount(), 0u);
            // The ground is painted in vertex 0's colour at the largest mean lighting, so vertex 0
            // must carry the ground colour at full brightness, on the rim, darker inwards.
            EXPECT_EQ(shadow->vertexColors()[0], ShadowBlob::kGroundColour);
            EXPECT_FLOAT_EQ(shadow->meanLighting()[0], shadow->maxMeanLighting());
            EXPECT_FLOAT_EQ(shadow->maxMeanLighting(), 1.0f);
            const auto darkest = std::min_element(shadow->meanLighting().begin(), shadow->meanLighting().end());
            EXPECT_LT(*darkest, 0.6f);
            const BoundingBox rest = shadow->boundingBox();
            const Vector3f rim = shadow->restPositions()[0];
            const Vector3f centre = shadow->restPositions()[std::size_t(darkest - shadow->meanLighting().begin())];
            const float half = std::min(rest.maximum.x - rest.minimum.x, rest.maximum.z - rest.minimum.z) * 0.5f;
            EXPECT_GT(std::hypot(rim.x - centre.x, rim.z - centre.z), 0.9f * half);

            ASSERT_EQ(shadow->frameCount(), skin->frameCount());
            for (unsigned f = 0; f < skin->frameCount(); ++f) {
                const BoundingBox& body = skin->frameBoundingBoxes()[f];
                const BoundingBox& disc = shadow->frameBoundingBoxes()[f];
                const float x = 0.5f * (disc.minimum.x + disc.maximum.x), z = 0.5f * (disc.minimum.z + disc.maximum.z);
                EXPECT_GT(x, body.minimum.x);
                EXPECT_LT(x, body.maximum.x);
                EXPECT_GT(z, body.minimum.z);
                EXPECT_LT(z, body.maximum.z);
                EXPECT_GT(disc.minimum.y, 0.0f);
                EXPECT_LT(disc.maximum.y, 0.03f) << "frame " << f;
            }
        }
    }
}

// The band skin drawn just above the impostor switch: a quarter-size vertex subset of the
// coarsest level that skins and lights every vertex it keeps exactly as the level does, with
// and without the corrections, made the same way every time.
TEST(GeneratedAnimals, BandSkinsAreExactVertexSubsetsOfTheCoarsestLevel)
{
    for (const char* name : kAnimalFiles) {
        SCOPED_TRACE(name);
        const SkinFile file = load(name);
        const std::shared_ptr<Skin> coarsest = file.skins.back();
        ASSERT_GT(coarsest->displacementBasisCount(), 0u) << "the sample carries corrections";
        ASSERT_GT(coarsest->normalBasisCount(), 0u);
        ASSERT_GT(coarsest->lightingBasisCount(), 0u);
        const LevelMesh mesh = bandMesh(*coarsest);
        const std::shared_ptr<Skin> band = makeBandSkin(*coarsest);
        ASSERT_TRUE(band);
        // About a quarter of the triangles: the simplifier's target, reached within half again.
        EXPECT_GE(band->triangleCount() * 6, coarsest->triangleCount());
        EXPECT_LE(band->triangleCount() * 8, coarsest->triangleCount() * 3);
        std::cout << name << ": band skin of " << band->triangleCount() << " triangles and " << band->vertexCount()
                  << " vertices from " << coarsest->triangleCount() << " and " << coarsest->vertexCount() << "\n";
        ASSERT_EQ(band->vertexCount(), mesh.vertices.size());
        EXPECT_EQ(band->triangles(), mesh.triangles);
        EXPECT_TRUE(std::is_sorted(mesh.vertices.begin(), mesh.vertices.end()));
        EXPECT_FALSE(band->primitiveGroups().empty()) << "strips built as for any skin";
        EXPECT_FALSE(band->nextSkin()) << "band animals get blobs, not shadow skins";
        EXPECT_EQ(band->textureFileName(), coarsest->textureFileName());
        EXPECT_EQ(band->bones(), coarsest->bones());
        EXPECT_EQ(band->displacementCoordinates(), coarsest->displacementCoordinates());
        EXPECT_EQ(band->lightingCoordinates(), coarsest->lightingCoordinates());

        // Every per-vertex property of a kept vertex is the level's, bit for bit.
        for (unsigned i = 0; i < band->vertexCount(); ++i) {
            const unsigned v = mesh.vertices[i];
            ASSERT_LT(v, coarsest->vertexCount());
            EXPECT_EQ(band->restNormals()[i], coarsest->restNormals()[v]);
            EXPECT_EQ(band->textureCoordinates()[i], coarsest->textureCoordinates()[v]);
            EXPECT_EQ(band->vertexColors()[i], coarsest->vertexColors()[v]);
            EXPECT_EQ(band->meanLighting()[i], coarsest->meanLighting()[v]);
            const auto a = band->influences(i), b = coarsest->influences(v);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const BoneInfluence& x, const BoneInfluence& y) {
                return x.bone == y.bone && x.weight == y.weight;
            })) << "vertex " << i;
            for (unsigned c = 0; c < coarsest->lightingBasisCount(); ++c)
                EXPECT_EQ(band->lightingBasis()(i, c), coarsest->lightingBasis()(v, c));
            for (unsigned c = 0; c < coarsest->displacementBasisCount(); ++c)
                for (unsigned k = 0; k < 3; ++k)
                    EXPECT_EQ(band->displacementBasis()(3 * i + k, c), coarsest->displacementBasis()(3 * v + k, c));
            for (unsigned c = 0; c < coarsest->normalBasisCount(); ++c)
                for (unsigned k = 0; k < 3; ++k)
                    EXPECT_EQ(band->normalBasis()(3 * i + k, c), coarsest->normalBasis()(3 * v + k, c));
        }

        // Skinned, with the corrections and without them, every kept vertex lands where the
        // level's does, to the bit.
        const std::shared_ptr<Skin> plain = readBackSkin(withCorrections(recordOf(*coarsest), 0));
        ASSERT_EQ(plain->displacementBasisCount(), 0u);
        const std::shared_ptr<Skin> plainBand = subsetSkin(*plain, mesh);
        const unsigned frames = coarsest->frameCount();
        for (unsigned f : {0u, frames / 3, (2 * frames) / 3, frames - 1})
            for (const auto& [source, subset] : {std::pair{coarsest, band}, std::pair{plain, plainBand}}) {
                const auto& positions = subset->framePositions(f);
                const auto& normals = subset->frameNormals(f);
                const auto& sourcePositions = source->framePositions(f);
                const auto& sourceNormals = source->frameNormals(f);
                unsigned mismatches = 0;
                for (unsigned i = 0; i < subset->vertexCount(); ++i)
                    mismatches += !(positions[i] == sourcePositions[mesh.vertices[i]]) +
                                  !(normals[i] == sourceNormals[mesh.vertices[i]]);
                EXPECT_EQ(mismatches, 0u) << "frame " << f << (source == plain ? " without" : " with") << " corrections";
                // The band's frame boxes hold its vertices.
                const BoundingBox& box = subset->frameBoundingBoxes()[f];
                for (const Vector3f& p : positions)
                    EXPECT_TRUE(p.x >= box.minimum.x && p.y >= box.minimum.y && p.z >= box.minimum.z &&
                                p.x <= box.maximum.x && p.y <= box.maximum.y && p.z <= box.maximum.z);
            }

        // The same again: the same band.
        const LevelMesh again = bandMesh(*coarsest);
        EXPECT_EQ(again.vertices, mesh.vertices);
        EXPECT_EQ(again.triangles, mesh.triangles);
    }
    // A subset naming a vertex the skin does not have is refused, not read out of bounds.
    const std::shared_ptr<Skin> skin = load(kAnimalFiles[0]).skins.back();
    LevelMesh wrong;
    wrong.vertices = {0, 1, skin->vertexCount()};
    wrong.triangles = {Triangle{{0, 1, 2}}};
    EXPECT_THROW(subsetSkin(*skin, wrong), CreationException);
}

TEST(GeneratedAnimals, LightingVariesWithShapeAndPose)
{
    for (const char* name : kAnimalFiles) {
        const SkinFile file = load(name);
        for (const auto& skin : file.skins) {
            SCOPED_TRACE(name);
            const auto [low, high] = std::minmax_element(skin->meanLighting().begin(), skin->meanLighting().end());
            EXPECT_GT(*low, 0.0f);
            EXPECT_LE(*high, 1.01f);
            EXPECT_GT(*high - *low, 0.3f); // backs lit, bellies and inner legs shaded
            EXPECT_EQ(skin->lightingBasis().columns(), 16u);
            EXPECT_EQ(skin->lightingCoordinates().rows(), 16u);
            EXPECT_EQ(skin->lightingCoordinates().columns(), skin->frameCount());
            // Moving legs change the lighting from frame to frame.
            double spread = 0.0;
            for (unsigned f = 0; f < skin->frameCount(); ++f) spread += std::fabs(skin->lightingCoordinates()(0, f));
            EXPECT_GT(spread, 0.0);
        }
    }
}

TEST(GeneratedFiles, SecondRunWritesTheSameBytes)
{
    // The second run skins with the SSE2 kernel: which version the processor picks must not
    // change a byte.
    const SkinningIsa previous = skinningIsa();
    setSkinningIsa(SkinningIsa::Sse2);
    const TempDirectory scratch("mksample-again");
    const std::filesystem::path& again = scratch.path();
    SampleGenerator().generate(again);
    setSkinningIsa(previous);
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(again)) {
        const std::filesystem::path name = entry.path().filename();
        EXPECT_EQ(readFileBytes(entry.path()), readFileBytes(sampleDirectory() / name)) << name;
        ++compared;
    }
    EXPECT_EQ(compared, 10);
}

// 64-bit FNV-1a: any change to a file's bytes changes it.
std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3u;
    }
    return hash;
}

TEST(GeneratedFiles, BytesAreTheSameOnEveryMachine)
{
    // Every number in the samples comes from exactly rounded operations in a fixed order (the
    // generator's own SVD and elementary functions, the skinning kernel), so these digests hold
    // on every x86-64 processor. A mismatch is either an intended change to the samples, to be
    // pinned anew with the digests printed here, or arithmetic that has come to depend on the
    // machine.
    const std::pair<const char*, std::uint64_t> expected[] = {
        {"flyby.keys", 0x47840ba71fb79671u},
        {"longneck.bin", 0xab684f53ca78a1a6u},
        {"longneck.png", 0xb40337d6ef0d6344u},
        {"preview.png", 0x2f4c3cd71fe3c8d0u},
        {"quadruped.bin", 0x203ed2db22e54ffdu},
        {"quadruped.light", 0xca854f80826a7643u},
        {"quadruped.mtl", 0xbd0a27e74742e359u},
        {"quadruped.obj", 0x1a0301a8742c38a7u},
        {"quadruped.png", 0x4a8a35b04ffde7d6u},
        {"quadruped.txt", 0x13f1f8857bd77cbbu},
        {"sky2048_0247.jpg", 0x23e41e8f238f3e23u},
    };
    for (const auto& [name, digest] : expected) {
        const std::string bytes = readFileBytes(sampleDirectory() / name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(fnv1a(bytes), digest) << name << " has digest 0x" << std::hex << fnv1a(bytes);
    }
}

// Width and height from a PNG's IHDR chunk (big-endian, right after the signature).
std::pair<int, int> pngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
    auto u32 = [&](std::size_t at) {
        return int((std::uint8_t(bytes[at]) << 24) | (std::uint8_t(bytes[at + 1]) << 16) | (std::uint8_t(bytes[at + 2]) << 8) |
                   std::uint8_t(bytes[at + 3]));
    };
    return {u32(16), u32(20)};
}

// Width and height from a JPEG's start-of-frame segment.
std::pair<int, int> jpegSize(const std::string& bytes)
{
    auto byte = [&](std::size_t at) { return int(std::uint8_t(bytes[at])); };
    if (bytes.size() < 4 || byte(0) != 0xff || byte(1) != 0xd8) return {0, 0};
    std::size_t at = 2;
    while (at + 9 < bytes.size() && byte(at) == 0xff) {
        const int marker = byte(at + 1);
        const std::size_t length = std::size_t(byte(at + 2) << 8 | byte(at + 3));
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)
            return {byte(at + 7) << 8 | byte(at + 8), byte(at + 5) << 8 | byte(at + 6)};
        at += 2 + length;
    }
    return {0, 0};
}

TEST(GeneratedFiles, PicturesHaveTheirSizes)
{
    EXPECT_EQ(pngSize(readFileBytes(sampleDirectory() / "quadruped.png")), std::make_pair(256, 256));
    EXPECT_EQ(pngSize(readFileBytes(sampleDirectory() / "longneck.png")), std::make_pair(256, 256));
    EXPECT_EQ(jpegSize(readFileBytes(sampleDirectory() / "sky2048_0247.jpg")), std::make_pair(2048, 1024));
    // Two animals, two views each, two frames side by side.
    EXPECT_EQ(pngSize(readFileBytes(sampleDirectory() / "preview.png")), std::make_pair(960, 1440));
}

} // namespace
