#include "image_file.h"

#include <algorithm>
#include <array>
#include <string>

namespace tsdcal {
namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x77073096u);

// A stored deflate block holds at most this many bytes (LEN is 16 bits).
constexpr std::size_t kStoredBlockMax = 65535;

void putBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    putBe32(out, static_cast<uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, crc32(out.data() + typeAt, data.size() + 4));
}

// zlib header (deflate, 32 KiB window, no dictionary), stored blocks,
// Adler-32 of the uncompressed bytes.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(kStoredBlockMax, raw.size() - at);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        const auto len = static_cast<uint16_t>(length);
        const auto nlen = static_cast<uint16_t>(~len);
        out.insert(out.end(), {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8),
                               static_cast<uint8_t>(nlen), static_cast<uint8_t>(nlen >> 8)});
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    putBe32(out, adler32(raw.data(), raw.size()));
    return out;
}

}  // namespace

uint32_t crc32(const uint8_t* data, std::size_t size, uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t* data, std::size_t size, uint32_t adler) {
    constexpr uint32_t kModulus = 65521;
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % kModulus;
        b = (b + a) % kModulus;
    }
    return b << 16 | a;
}

std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
        raw.push_back(0);  // filter: none
        const auto begin = rgb.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
        raw.insert(raw.end(), begin, begin + static_cast<std::ptrdiff_t>(rowBytes));
    }
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBe32(header, static_cast<uint32_t>(width));
    putBe32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit, truecolour, deflate, no filter, no interlace
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", zlibStored(raw));
    putChunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> encodePpm(int width, int height, const std::vector<uint8_t>& rgb) {
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    out.insert(out.end(), rgb.begin(), rgb.end());
    return out;
}

}  // namespace tsdcal
