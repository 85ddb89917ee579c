// The text skin with its OBJ, MTL and lighting files, and the camera keys file: their
// structure, and that every number reads back exactly to what the binary file holds. The
// project's own text skin and OBJ readers will be able to check the round trip end to end.
#include "SampleDirectory.h"

#include "CameraKeysWriter.h"

#include "skin/BinarySkinLoader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// Parses a float the way a strict reader would; fails the test on trailing text.
float number(const std::string& word)
{
    float value = 0.0f;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == word.data() + word.size()) << "not a number: " << word;
    return value;
}

std::shared_ptr<Skin> finestQuadruped()
{
    return loadBinarySkinFile((sampleDirectory() / "quadruped.bin").string()).skins.front();
}

// A matrix section: rows of numbers until the next command line, compared with `expected`.
std::size_t expectMatrixRows(const std::vector<std::string>& text, std::size_t at, const DenseMatrix& expected)
{
    for (unsigned r = 0; r < expected.rows(); ++r, ++at) {
        const std::vector<std::string> row = words(text.at(at));
        if (row.size() != expected.columns()) {
            ADD_FAILURE() << "row " << r << " has " << row.size() << " numbers";
            return at;
        }
        for (unsigned c = 0; c < expected.columns(); ++c)
            if (number(row[c]) != expected(r, c)) {
                ADD_FAILURE() << "row " << r << " column " << c << ": " << row[c] << " != " << expected(r, c);
                return at;
            }
    }
    return at;
}

TEST(TextSkin, SectionsHoldTheFinestLevelExactly)
{
    const std::shared_ptr<Skin> skin = finestQuadruped();
    ASSERT_TRUE(skin);
    const std::vector<std::string> text = lines(readFileBytes(sampleDirectory() / "quadruped.txt"));
    std::size_t at = 0;
    while (at < text.size() && text[at].starts_with("#")) ++at;
    ASSERT_LT(at + 1, text.size());
    EXPECT_EQ(text[at++], "*OBJFILENAME");
    EXPECT_EQ(text[at++], "quadruped.obj");

    for (unsigned b = 0; b < skin->boneCount(); ++b) {
        ASSERT_EQ(text.at(at++), "*BONEANIMATION, NFRAMES=" + std::to_string(skin->frameCount()) +
                                     ", BONEINDEX=" + std::to_string(b));
        for (unsigned f = 0; f < skin->frameCount(); ++f, ++at) {
            const std::vector<std::string> row = words(text.at(at));
            ASSERT_EQ(row.size(), 17u) << "bone " << b << " frame " << f;
            EXPECT_EQ(row[0], std::to_string(f));
            const AffineTransform& t = skin->boneAnimation(b)[f];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) ASSERT_EQ(number(row[1 + 4 * r + c]), t.linear(r, c));
                ASSERT_EQ(number(row[4 + 4 * r]), t.translation[r]);
            }
            EXPECT_EQ(std::vector<std::string>(row.begin() + 13, row.end()), (std::vector<std::string>{"0", "0", "0", "1"}));
        }
    }

    ASSERT_EQ(text.at(at++), "*VERTEXWEIGHTS, NVERTICES=" + std::to_string(skin->vertexCount()));
    for (unsigned v = 0; v < skin->vertexCount(); ++v, ++at) {
        const std::vector<std::string> row = words(text.at(at));
        const auto influences = skin->influences(v);
        ASSERT_EQ(row.size(), 1 + 2 * influences.size());
        ASSERT_EQ(row[0], std::to_string(v));
        for (std::size_t i = 0; i < influences.size(); ++i) {
            ASSERT_EQ(row[1 + 2 * i], std::to_string(influences[i].bone));
            ASSERT_EQ(number(row[2 + 2 * i]), influences[i].weight);
        }
    }

    ASSERT_EQ(text.at(at++), "*DISPLACEMENTBASIS");
    at = expectMatrixRows(text, at, skin->displacementBasis());
    ASSERT_EQ(text.at(at++), "*DISPLACEMENTCOORDS, NFRAMES=" + std::to_string(skin->frameCount()));
    at = expectMatrixRows(text, at, skin->displacementCoordinates());
    ASSERT_EQ(text.at(at++), "*NORMALBASIS");
    at = expectMatrixRows(text, at, skin->normalBasis());
    ASSERT_EQ(text.at(at++), "*NORMALCOORDS, NFRAMES=" + std::to_string(skin->frameCount()));
    at = expectMatrixRows(text, at, skin->normalCoordinates());
    EXPECT_EQ(at, text.size());
}

TEST(TextSkin, ObjAndMaterialDescribeTheRestPose)
{
    const std::shared_ptr<Skin> skin = finestQuadruped();
    ASSERT_TRUE(skin);
    const std::vector<std::string> text = lines(readFileBytes(sampleDirectory() / "quadruped.obj"));
    std::vector<std::vector<float>> v, vt, vn;
    std::vector<Triangle> faces;
    std::vector<std::string> other;
    for (const std::string& line : text) {
        const std::vector<std::string> w = words(line);
        if (w.empty() || w[0].starts_with("#")) continue;
        auto numbers = [&] {
            std::vector<float> values;
            for (std::size_t i = 1; i < w.size(); ++i) values.push_back(number(w[i]));
            return values;
        };
        if (w[0] == "v") v.push_back(numbers());
        else if (w[0] == "vt") vt.push_back(numbers());
        else if (w[0] == "vn") vn.push_back(numbers());
        else if (w[0] == "f") {
            ASSERT_EQ(w.size(), 4u) << "only triangles: " << line;
            Triangle t;
            for (int k = 0; k < 3; ++k) {
                // v/vt/vn with one number for all three.
                const std::string& corner = w[1 + k];
                const std::size_t slash = corner.find('/');
                const std::string index = corner.substr(0, slash);
                ASSERT_EQ(corner, index + "/" + index + "/" + index);
                t.index[k] = static_cast<std::uint32_t>(std::stoul(index) - 1);
            }
            faces.push_back(t);
        } else other.push_back(line);
    }
    EXPECT_EQ(other, (std::vector<std::string>{"mtllib quadruped.mtl", "g quadruped", "usemtl coat"}));
    ASSERT_EQ(v.size(), skin->vertexCount());
    ASSERT_EQ(vt.size(), skin->vertexCount());
    ASSERT_EQ(vn.size(), skin->vertexCount());
    for (unsigned i = 0; i < skin->vertexCount(); ++i) {
        ASSERT_EQ(v[i].size(), 3u);
        ASSERT_EQ(vt[i].size(), 3u);
        for (int c = 0; c < 3; ++c) {
            // Ten significant digits: every float comes back exactly.
            ASSERT_EQ(v[i][c], skin->restPositions()[i][c]);
            ASSERT_EQ(vn[i][c], skin->restNormals()[i][c]);
        }
        EXPECT_EQ(vt[i][0], skin->textureCoordinates()[i].x);
        EXPECT_EQ(vt[i][1], skin->textureCoordinates()[i].y);
    }
    EXPECT_EQ(faces, skin->triangles());

    const std::vector<std::string> material = lines(readFileBytes(sampleDirectory() / "quadruped.mtl"));
    ASSERT_FALSE(material.empty());
    EXPECT_EQ(material.front(), "newmtl coat");
    EXPECT_NE(std::find(material.begin(), material.end(), "map_Kd quadruped.png"), material.end());
    EXPECT_TRUE(std::filesystem::exists(sampleDirectory() / "quadruped.png"));
}

TEST(TextSkin, LightingFileHoldsColoursAndPrtData)
{
    const std::shared_ptr<Skin> skin = finestQuadruped();
    ASSERT_TRUE(skin);
    const std::string bytes = readFileBytes(sampleDirectory() / "quadruped.light");
    std::size_t at = 0;
    auto u32 = [&] {
        std::uint32_t value = 0;
        if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
        at += 4;
        return value;
    };
    auto f32 = [&] {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    };
    ASSERT_EQ(u32(), skin->vertexCount());
    for (unsigned v = 0; v < skin->vertexCount(); ++v)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(f32(), skin->vertexColors()[v][c]);
    ASSERT_EQ(u32(), skin->vertexCount());
    for (unsigned v = 0; v < skin->vertexCount(); ++v) ASSERT_EQ(f32(), skin->meanLighting()[v]);
    for (const DenseMatrix* m : {&skin->lightingBasis(), &skin->lightingCoordinates()}) {
        ASSERT_EQ(u32(), m->rows());
        ASSERT_EQ(u32(), m->columns());
        for (unsigned c = 0; c < m->columns(); ++c)
            for (unsigned r = 0; r < m->rows(); ++r) ASSERT_EQ(f32(), (*m)(r, c));
    }
    EXPECT_EQ(at, bytes.size());
}

TEST(CameraKeys, FlybyIsSixRecordsOfIncreasingKeys)
{
    const std::string bytes = readFileBytes(sampleDirectory() / "flyby.keys");
    std::size_t at = 0;
    bool shortRead = false;
    auto i32 = [&] {
        std::int32_t value = 0;
        if (at + 4 > bytes.size()) shortRead = true;
        else std::memcpy(&value, bytes.data() + at, 4);
        at += 4;
        return value;
    };
    const std::int32_t records = i32();
    ASSERT_EQ(records, 6);
    std::set<std::string> names;
    std::map<std::string, std::vector<std::pair<int, float>>> tracks;
    for (int r = 0; r < records; ++r) {
        const std::int32_t length = i32();
        ASSERT_GT(length, 0);
        ASSERT_LE(at + std::size_t(length), bytes.size());
        const std::string name = bytes.substr(at, std::size_t(length));
        at += std::size_t(length);
        names.insert(name);
        const std::int32_t keys = i32();
        ASSERT_GE(keys, 4) << name;
        for (int k = 0; k < keys; ++k) {
            const int frame = i32();
            const std::int32_t bits = i32();
            float value;
            std::memcpy(&value, &bits, 4);
            ASSERT_TRUE(std::isfinite(value));
            if (!tracks[name].empty()) {
                ASSERT_GT(frame, tracks[name].back().first) << name;
            }
            tracks[name].emplace_back(frame, value);
        }
        EXPECT_EQ(tracks[name].front().first, 0);
        EXPECT_EQ(tracks[name].back().first, 300);
    }
    EXPECT_FALSE(shortRead);
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(names, (std::set<std::string>{"azimuth", "elevation", "dolly", "lookAt.x", "lookAt.y", "lookAt.z"}));
    // Above the herd and outside it, closing in: eye above the look-at point, distance shrinking.
    for (const auto& [frame, value] : tracks["elevation"]) EXPECT_TRUE(value > 0.0f && value < 1.2f) << frame;
    const auto& dolly = tracks["dolly"];
    for (std::size_t k = 1; k < dolly.size(); ++k) EXPECT_GT(dolly[k].second, dolly[k - 1].second);
    EXPECT_LT(dolly.front().second, -40.0f);
    EXPECT_GT(dolly.back().second, -20.0f);
    EXPECT_LT(dolly.back().second, 0.0f);
    // The written bytes are the flight the library describes.
    EXPECT_EQ(bytes, cameraKeysBytes(herdFlyby(300)));
}

} // namespace
