#include "image_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

namespace tsdcal {
namespace {

uint32_t be32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

uint32_t crcOf(const std::vector<uint8_t>& b, std::size_t at, std::size_t length) {
    return static_cast<uint32_t>(::crc32(0L, b.data() + at, static_cast<uInt>(length)));
}

// The chunks must carry their lengths and CRCs, and the IDAT stream must give
// back every filtered row: a viewer rejects anything less. A frame, mostly
// flat colour, must also come out small (it was over a megabyte stored).
TEST(ImageFile, PngChunksCarryCompressedRowsThatInflateBack) {
    const int width = 800;
    const int height = 480;
    std::vector<uint8_t> rgb(static_cast<std::size_t>(width * height * 3), 0x20);
    for (std::size_t i = 0; i < 3000; ++i) rgb[i * 97] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> png = encodePng(width, height, rgb);

    ASSERT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(be32(png, 16), 800u);
    EXPECT_EQ(be32(png, 20), 480u);
    EXPECT_EQ(be32(png, 29), crcOf(png, 12, 17)) << "IHDR CRC";
    const std::size_t idat = 33;
    ASSERT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    const std::size_t length = be32(png, idat);
    EXPECT_EQ(be32(png, idat + 8 + length), crcOf(png, idat + 4, length + 4)) << "IDAT CRC";
    EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");
    EXPECT_LT(png.size(), 40000u);

    std::vector<uint8_t> raw(static_cast<std::size_t>(height * (width * 3 + 1)));
    uLongf rawSize = raw.size();
    ASSERT_EQ(::uncompress(raw.data(), &rawSize, png.data() + idat + 8, length), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (int row = 0; row < height; ++row) {
        const auto line = static_cast<std::size_t>(row * (width * 3 + 1));
        ASSERT_EQ(raw[line], 0) << "filter byte of row " << row;
        ASSERT_EQ(0, std::memcmp(&raw[line + 1], &rgb[static_cast<std::size_t>(row * width * 3)],
                                 static_cast<std::size_t>(width * 3)))
            << "row " << row;
    }
}

}  // namespace
}  // namespace tsdcal
