// The read-ahead of BinaryRecordReader: whatever it buffers must be handed back, so that the
// stream stands exactly after the fields consumed, and streams that cannot seek must still work.
// Also the reader's single-pass bone check, which must still name the right vertex.
#include "SkinRecordFixtures.h"

#include "skin/BinaryRecordReader.h"
#include "foundation/Exception.h"
#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <streambuf>

namespace {

std::string u32Bytes(std::uint32_t first, std::uint32_t count)
{
    std::string bytes(4 * std::size_t(count), '\0');
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t value = first + i;
        std::memcpy(&bytes[4 * std::size_t(i)], &value, 4);
    }
    return bytes;
}

// Serves a string but refuses to tell or change its position, like a pipe.
class UnseekableBuffer : public std::streambuf {
public:
    explicit UnseekableBuffer(std::string bytes) : m_bytes(std::move(bytes))
    {
        setg(m_bytes.data(), m_bytes.data(), m_bytes.data() + m_bytes.size());
    }

protected:
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override { return pos_type(-1); }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return pos_type(-1); }

private:
    std::string m_bytes;
};

} // namespace

TEST(BinaryRecordReader, HandsBackWhatItReadAhead)
{
    // Small fields, a large array and small fields again, far more than one read-ahead.
    std::istringstream in(u32Bytes(0, 100000));
    {
        BinaryRecordReader reader(in);
        for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(reader.readU32(), i);
        std::vector<std::uint32_t> array;
        reader.readArray(array, 50000);
        ASSERT_EQ(array.front(), 1000u);
        ASSERT_EQ(array.back(), 50999u);
        for (std::uint32_t i = 51000; i < 51003; ++i) ASSERT_EQ(reader.readU32(), i);
        EXPECT_EQ(reader.bytesLeft(), 4u * (100000 - 51003));
    }
    EXPECT_EQ(in.tellg(), std::streampos(4 * 51003));
    BinaryRecordReader next(in);
    EXPECT_EQ(next.readU32(), 51003u) << "a second reader starts where the first one stopped";
}

TEST(BinaryRecordReader, ReadsUnseekableStreamsWithoutReadAhead)
{
    UnseekableBuffer buffer(u32Bytes(7, 10));
    std::istream in(&buffer);
    {
        BinaryRecordReader reader(in);
        EXPECT_EQ(reader.readU32(), 7u);
        EXPECT_EQ(reader.readU32(), 8u);
    }
    EXPECT_EQ(in.get(), 9) << "nothing beyond the fields read was taken from the stream";
}

TEST(BinaryRecordReader, ShortReadAtTheEndOfTheStream)
{
    std::istringstream in(u32Bytes(0, 3) + "xy");
    BinaryRecordReader reader(in);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(reader.readU32(), i);
    EXPECT_THROW(reader.readU32(), BinaryRecordReader::ShortRead);
}

TEST(BinaryRecordReader, LargeRecordsFollowEachOtherInOneStream)
{
    // Big enough to need many read-ahead refills, with a small record after it.
    const SkinRecord big = fixtures::grid("big", 120, 100);
    const std::string bytes = fixtures::bytesOf({big, fixtures::quad("after", 2)});
    std::istringstream in(bytes);
    const Skin first(in);
    EXPECT_EQ(first.vertexCount(), 121u * 101u);
    const Skin second(in);
    EXPECT_EQ(second.name(), "after");
    EXPECT_EQ(in.tellg(), std::streampos(std::streamoff(bytes.size())));

    UnseekableBuffer buffer(bytes);
    std::istream pipe(&buffer);
    const Skin firstFromPipe(pipe);
    const Skin secondFromPipe(pipe);
    EXPECT_EQ(firstFromPipe.restPositions(), first.restPositions());
    EXPECT_EQ(secondFromPipe.name(), "after");
}

TEST(BinaryRecordReader, BadBoneIsReportedForItsOwnVertexAfterEmptyLists)
{
    SkinRecord r = fixtures::quad("bone");
    r.influences[0].clear();
    r.influences[1].clear();
    r.influences[3][0].bone = 5; // the first of its list: right at a list start
    std::istringstream in(fixtures::bytesOf({r}));
    try {
        const Skin skin(in);
        FAIL() << "the bad bone was accepted";
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), "Vertex 3 is influenced by bone 5 but the skin has 2 bones.");
    }
}
