// The image decoder behind skin textures and the sky: small files whose pixels are known, and
// broken ones that must end in the one message.

#include "foundation/Exception.h"
#include "render/ImageFile.h"

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
