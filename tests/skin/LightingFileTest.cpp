// The lighting file reader on its own: what it accepts for a mesh of five vertices, and the
// message of every refusal.
#include "skin/LightingFile.h"

#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Bytes {
    std::string data;
    Bytes& u32(std::uint32_t v)
    {
        data.append(reinterpret_cast<const char*>(&v), 4);
        return *this;
    }
    Bytes& floats(std::size_t count, float first = 0.5f)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const float v = first + 0.25f * float(i);
            data.append(reinterpret_cast<const char*>(&v), 4);
        }
        return *this;
    }
    // rows x columns, then the elements.
    Bytes& matrix(std::uint32_t rows, std::uint32_t columns) { return u32(rows).u32(columns).floats(rows * columns); }
};

// Colours and mean lighting of `vertices` vertices.
Bytes perVertex(std::uint32_t colours, std::uint32_t means)
{
    Bytes b;
    b.u32(colours).floats(3 * colours, 0.0f).u32(means).floats(means, -1.0f);
    return b;
}

// The reader's message for the bytes, or "" when it accepts them.
std::string refusal(const std::string& bytes, unsigned frames)
{
    std::istringstream in(bytes);
    try {
        readLightingFile(in, "cow.light", 5, frames);
    } catch (const CreationException& e) {
        return e.message();
    }
    return "";
}

} // namespace

TEST(LightingFile, ReadsEveryFieldInOrder)
{
    const Bytes bytes = perVertex(5, 5).matrix(5, 2).matrix(2, 3);
    std::istringstream in(bytes.data);
    const LightingData lighting = readLightingFile(in, "cow.light", 5, 3);
    ASSERT_EQ(lighting.vertexColors.size(), 5u);
    EXPECT_EQ(lighting.vertexColors[1], Vector3f(0.75f, 1.0f, 1.25f));
    ASSERT_EQ(lighting.meanLighting.size(), 5u);
    EXPECT_EQ(lighting.meanLighting[0], -1.0f);
    EXPECT_EQ(lighting.meanLighting[4], 0.0f);
    EXPECT_EQ(lighting.maxMeanLighting, 1.0f) << "the largest absolute mean";
    EXPECT_EQ(lighting.basis.rows(), 5u);
    EXPECT_EQ(lighting.basis.columns(), 2u);
    // Elements column by column: element 6 of the file is row 1 of column 1.
    EXPECT_EQ(lighting.basis(1, 1), 0.5f + 0.25f * 6);
    EXPECT_EQ(lighting.coordinates.rows(), 2u);
    EXPECT_EQ(lighting.coordinates.columns(), 3u);
    EXPECT_EQ(lighting.coordinates(0, 2), 0.5f + 0.25f * 4);
}

TEST(LightingFile, RefusesWhatTheRenderersCouldNotIndex)
{
    struct Case {
        const char* what;
        std::string bytes;
        unsigned frames;
        std::string message; // empty: accepted
    };
    const std::string colours = "The lighting file 'cow.light' has ";
    const std::vector<Case> cases = {
        {"no basis", perVertex(5, 5).matrix(0, 0).matrix(0, 0).data, 3, ""},
        {"a basis without columns ignores the coordinates", perVertex(5, 5).matrix(5, 0).matrix(1, 2).data, 3, ""},
        {"more lighting frames than animation frames", perVertex(5, 5).matrix(5, 1).matrix(1, 9).data, 3, ""},
        {"a skin without animation", perVertex(5, 5).matrix(5, 2).matrix(2, 1).data, 0, ""},
        {"four colours", perVertex(4, 5).matrix(0, 0).matrix(0, 0).data, 3,
         colours + "4 colours and 5 mean lighting values but the mesh has 5 vertices."},
        {"six means", perVertex(5, 6).matrix(0, 0).matrix(0, 0).data, 3,
         colours + "5 colours and 6 mean lighting values but the mesh has 5 vertices."},
        {"basis rows", perVertex(5, 5).matrix(4, 2).matrix(2, 3).data, 3,
         colours + "a 4 x 2 lighting basis and 2 x 3 lighting coordinates, which do not fit a mesh of 5 vertices."},
        {"coordinate rows", perVertex(5, 5).matrix(5, 2).matrix(3, 3).data, 3,
         colours + "a 5 x 2 lighting basis and 3 x 3 lighting coordinates, which do not fit a mesh of 5 vertices."},
        {"too few frames", perVertex(5, 5).matrix(5, 2).matrix(2, 2).data, 3,
         "The lighting file has 2 frames but the animation has 3 frames."},
        {"cut in the means", perVertex(5, 5).data.substr(0, 70), 3,
         "The lighting file 'cow.light' ends before its data."},
        {"no coordinates", perVertex(5, 5).matrix(0, 0).data, 3, "The lighting file 'cow.light' ends before its data."},
        {"empty", "", 3, "The lighting file 'cow.light' ends before its data."},
        // Counts the file cannot hold fail before anything is allocated for them.
        {"a colour count of 2^32 - 1", Bytes().u32(0xFFFFFFFFu).floats(3).data, 3,
         "The lighting file 'cow.light' ends before its data."},
        {"a basis of 2^32 elements", perVertex(5, 5).u32(0x10000).u32(0x10000).floats(2).data, 3,
         "The lighting file 'cow.light' ends before its data."},
    };
    for (const Case& c : cases) EXPECT_EQ(refusal(c.bytes, c.frames), c.message) << c.what;
}
