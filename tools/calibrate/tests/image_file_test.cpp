#include "image_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tsdcal {
namespace {

uint32_t be32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST(ImageFile, ChecksumsMatchTheirPublishedCheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
}

// A picture larger than one stored block: the blocks must chain, carry
// LEN/NLEN, end with the final bit, and give back every filtered row.
TEST(ImageFile, PngSplitsPixelsIntoStoredBlocksThatReassemble) {
    const int width = 200;
    const int height = 120;
    std::vector<uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> png = encodePng(width, height, rgb);

    ASSERT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(be32(png, 16), 200u);
    EXPECT_EQ(be32(png, 20), 120u);
    EXPECT_EQ(be32(png, 29), crc32(png.data() + 12, 17)) << "IHDR CRC";
    const std::size_t idat = 33;
    ASSERT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    const std::size_t length = be32(png, idat);
    std::size_t at = idat + 8 + 2;  // after the zlib header
    std::vector<uint8_t> raw;
    int blocks = 0;
    for (bool last = false; !last; ++blocks) {
        last = (png[at] & 1) != 0;
        const unsigned len = png[at + 1] | png[at + 2] << 8;
        const unsigned nlen = png[at + 3] | png[at + 4] << 8;
        ASSERT_EQ(len ^ 0xFFFFu, nlen);
        raw.insert(raw.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   png.begin() + static_cast<std::ptrdiff_t>(at + 5 + len));
        at += 5 + len;
    }
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(be32(png, at), adler32(raw.data(), raw.size()));
    EXPECT_EQ(at + 4, idat + 8 + length) << "IDAT length covers the stream exactly";
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(height * (width * 3 + 1)));
    for (int row = 0; row < height; ++row) {
        const std::size_t line = static_cast<std::size_t>(row * (width * 3 + 1));
        EXPECT_EQ(raw[line], 0) << "filter byte of row " << row;
        EXPECT_EQ(raw[line + 1], rgb[static_cast<std::size_t>(row * width * 3)]);
    }
    EXPECT_EQ(be32(png, idat + 8 + length), crc32(png.data() + idat + 4, length + 4)) << "IDAT CRC";
}

}  // namespace
}  // namespace tsdcal
