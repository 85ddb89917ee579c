// The image decoder behind skin textures and the sky: small files whose pixels are known, and
// broken ones that must end in the one message.

#include "foundation/Exception.h"
#include "foundation/PngChunks.h"
#include "skin/ImageFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

const std::string kData = FLEXHERD_TEST_DATA_DIR;

std::vector<unsigned char> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<unsigned char> pixel(const PixelImage& image, int x, int y)
{
    const auto at = image.rgb.begin() + static_cast<std::ptrdiff_t>((static_cast<std::size_t>(y) * image.width + x) * 3);
    return {at, at + 3};
}

// The message of the IOException that decoding throws, or a note that none came.
std::string failureOf(const std::vector<unsigned char>& bytes)
{
    try {
        decodeImage(bytes.data(), bytes.size(), "t.img");
    } catch (const IOException& e) {
        return e.message();
    }
    return "<decoded>";
}

} // namespace

TEST(ImageFile, PngPixelsArriveTopRowFirstAsRgb)
{
    // 3 x 2: red, green, blue over three greys of known values.
    const PixelImage rgb = readImageFile(kData + "/rgb.png");
    ASSERT_EQ(rgb.width, 3);
    ASSERT_EQ(rgb.height, 2);
    EXPECT_EQ(rgb.rgb, (std::vector<unsigned char>{255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90}));

    // Grey with alpha: the grey widened to three channels, the alpha dropped, not multiplied.
    const PixelImage grey = readImageFile(kData + "/greyalpha.png");
    ASSERT_EQ(grey.width, 2);
    EXPECT_EQ(grey.rgb, (std::vector<unsigned char>{0, 0, 0, 128, 128, 128, 200, 200, 200, 255, 255, 255}));

    // Turned over for GL, and back.
    PixelImage flipped = rgb;
    flipped.flipRows();
    EXPECT_EQ(pixel(flipped, 0, 0), pixel(rgb, 0, 1));
    EXPECT_EQ(pixel(flipped, 2, 1), pixel(rgb, 2, 0));
    flipped.flipRows();
    EXPECT_EQ(flipped.rgb, rgb.rgb);
}

TEST(ImageFile, JpegDecodesToItsColoursByContentNotName)
{
    // 16 x 8: the left half (200, 40, 40), the right half (40, 40, 200), saved at quality 95.
    const std::string path = kData + "/twocolour.jpg";
    const PixelImage image = readImageFile(path);
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 8);
    for (const auto& [x, expected] : {std::pair{1, std::vector<int>{200, 40, 40}}, {14, std::vector<int>{40, 40, 200}}})
        for (int y = 0; y < 8; ++y)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(pixel(image, x, y)[c], expected[c], 6) << x << ", " << y << " channel " << c;
    // The same bytes under another name decode the same.
    const std::vector<unsigned char> bytes = bytesOf(path);
    EXPECT_EQ(decodeImage(bytes.data(), bytes.size(), "texture.png").rgb, image.rgb);
}

TEST(ImageFile, BrokenOrHugeFilesFailWithOneMessage)
{
    EXPECT_EQ(failureOf({}), "Unable to load image 't.img'.");
    EXPECT_EQ(failureOf({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}), "Unable to load image 't.img'.");
    // A header that claims 100000 x 100000 pixels is refused before anything is allocated for it.
    EXPECT_EQ(failureOf(bytesOf(kData + "/huge.png")), "Unable to load image 't.img'.");
    // So is an 82-byte grey TGA that claims 3840 x 3855 pixels (15 million: 44 MB of RGB and
    // seconds of decoding for nothing): no format packs that many pixels into so few bytes.
    std::vector<unsigned char> tga(82, 0xFF);
    const unsigned char header[18] = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x0F, 0x0F, 0x0F, 8, 0};
    std::copy(std::begin(header), std::end(header), tga.begin());
    EXPECT_EQ(failureOf(tga), "Unable to load image 't.img'.");
    // A JPEG behind fill bytes is no JPEG file (libjpeg, as the toolkit, wants its start
    // marker first) and is not handed to another decoder either.
    std::vector<unsigned char> filled = bytesOf(kData + "/twocolour.jpg");
    filled.insert(filled.begin(), {0xFF, 0xFF});
    EXPECT_EQ(failureOf(filled), "Unable to load image 't.img'.");
    // The same header over a file that can hold its pixels decodes.
    tga.resize(18 + 3840 * 3855, 0x80);
    const PixelImage grey = decodeImage(tga.data(), tga.size(), "grey.tga");
    EXPECT_EQ(grey.width, 3840);
    EXPECT_EQ(grey.height, 3855);
    // Run-length formats hold at most 128 pixels a byte, so a TGA that claims a megapixel in
    // 82 bytes is refused (it used to be decoded, the missing pixels made up as black), while a
    // run-length TGA of 256 x 256 in one colour, 63 pixels a byte, decodes.
    tga.resize(82);
    tga[12] = tga[14] = 0x00;
    tga[13] = tga[15] = 0x04;
    EXPECT_EQ(failureOf(tga), "Unable to load image 't.img'.");
    std::vector<unsigned char> runs = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0x01, 24, 0x20};
    for (int packet = 0; packet < 512; ++packet) runs.insert(runs.end(), {0xFF, 30, 60, 90}); // 128 x (B, G, R)
    const PixelImage plain = decodeImage(runs.data(), runs.size(), "runs.tga");
    ASSERT_EQ(plain.width * plain.height, 65536);
    EXPECT_EQ(pixel(plain, 255, 255), (std::vector<unsigned char>{90, 60, 30}));
    // PNM: a 1 x 1 picture with a comment in its header decodes; a width too large for an int
    // is refused (stb would overflow reading it).
    const std::string pnm = "P6 # one pixel\n1 1\n255\n\x0A\x14\x1E";
    const PixelImage dot = decodeImage(reinterpret_cast<const unsigned char*>(pnm.data()), pnm.size(), "dot.ppm");
    EXPECT_EQ(dot.rgb, (std::vector<unsigned char>{10, 20, 30}));
    EXPECT_EQ(failureOf({'P', '6', ' ', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', ' ', '1', ' ', '2', '5', '5', '\n', 0}),
              "Unable to load image 't.img'.");
    // 16-bit samples (a largest value above 255) are refused: stb read them in the wrong byte
    // order and converted them to RGB past the end of its buffer.
    EXPECT_EQ(failureOf({'P', '5', ' ', '2', ' ', '1', ' ', '6', '5', '5', '3', '5', '\n', 0xFF, 0xFF, 0x80, 0x00}),
              "Unable to load image 't.img'.");
    const std::string missing = kData + "/missing.png";
    try {
        readImageFile(missing);
        ADD_FAILURE() << "a missing file was read";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to load image '" + missing + "'.");
    }
    // Every truncation of a good file fails cleanly (a JPEG cut at the end of its scan may
    // still decode, padded, as the toolkit's reader would).
    for (const char* name : {"rgb.png", "twocolour.jpg"}) {
        const std::vector<unsigned char> whole = bytesOf(kData + "/" + name);
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const std::vector<unsigned char> prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            try {
                const PixelImage image = decodeImage(prefix.data(), prefix.size(), name);
                EXPECT_EQ(image.rgb.size(), static_cast<std::size_t>(image.width) * image.height * 3) << name << size;
            } catch (const IOException& e) {
                EXPECT_EQ(e.message(), "Unable to load image '" + std::string(name) + "'.");
            }
        }
    }
}

TEST(ImageFile, EmptyPngImageDataChunksDecodeAsIfAbsentAndOverlongChunksAreRefused)
{
    // Zero-length IDAT chunks (allowed, meaningless) before, between and after the data, and
    // the file cut inside a chunk after one of them: the pixels are those of the file without
    // them, or the one message. Before, an empty chunk ahead of the data made the decoder copy
    // zero bytes to a null buffer.
    const std::vector<unsigned char> whole = bytesOf(kData + "/rgb.png");
    const std::vector<unsigned char> empty = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    std::vector<std::size_t> chunkStarts;
    for (std::size_t at = 8; at + 12 <= whole.size();) {
        chunkStarts.push_back(at);
        at += 12 + (std::size_t{whole[at]} << 24 | std::size_t{whole[at + 1]} << 16 | std::size_t{whole[at + 2]} << 8 |
                    whole[at + 3]);
    }
    ASSERT_GE(chunkStarts.size(), 3u); // IHDR, IDAT, IEND at least
    const PixelImage expected = decodeImage(whole.data(), whole.size(), "rgb.png");
    for (std::size_t i = 1; i < chunkStarts.size(); ++i) {
        std::vector<unsigned char> padded(whole);
        const auto at = padded.begin() + static_cast<std::ptrdiff_t>(chunkStarts[i]);
        padded.insert(at, empty.begin(), empty.end());
        padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(chunkStarts[i]), empty.begin(), empty.end());
        const PixelImage image = decodeImage(padded.data(), padded.size(), "padded.png");
        EXPECT_EQ(image.width, expected.width) << "before chunk " << i;
        EXPECT_EQ(image.rgb, expected.rgb) << "before chunk " << i;
        // A chunk claiming 1.4 GB in a file of a hundred bytes: refused, not allocated for.
        std::vector<unsigned char> overlong(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(chunkStarts[i]));
        overlong.insert(overlong.end(), {0x55, 0x41, 0x30, 0x49, 'I', 'D', 'A', 'T', 1, 2, 3, 4});
        EXPECT_EQ(failureOf(overlong), "Unable to load image 't.img'.") << "overlong before chunk " << i;
        // The decoder never sees that chunk, so never allocates its length.
        std::string storage;
        const std::string_view safe = safePngChunks({reinterpret_cast<const char*>(overlong.data()), overlong.size()}, storage);
        EXPECT_EQ(safe, std::string_view(reinterpret_cast<const char*>(whole.data()), chunkStarts[i])) << i;
        // Cut inside the second empty chunk (header whole, check value missing) and inside the
        // chunk after it.
        for (const std::size_t cut : {empty.size() + 9, 2 * empty.size() + 6}) {
            const std::vector<unsigned char> prefix(padded.begin(), padded.begin() + static_cast<std::ptrdiff_t>(chunkStarts[i] + cut));
            EXPECT_EQ(failureOf(prefix), "Unable to load image 't.img'.") << "cut at " << cut << " before chunk " << i;
        }
    }
}
