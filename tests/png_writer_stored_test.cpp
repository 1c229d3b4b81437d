// The PNG writer without a compression library: exact bytes for a tiny frame (checked against
// an independent encoder), and a frame spanning several stored blocks decoded by a reader
// written here from the PNG and zlib formats.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/png_writer.h"

namespace {

namespace fs = std::filesystem;

// Writes frame through WritePng into a scratch file and returns the file's bytes.
class PngWriterStored : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = fs::temp_directory_path() /
                ("png_writer_stored_test_" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".png");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    std::vector<std::uint8_t> Write(const FrameView& frame, bool& ok, std::string& error) {
        std::FILE* f = std::fopen(path_.string().c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f == nullptr) return {};
        ok = WritePng(f, frame, error);
        std::fclose(f);
        std::vector<std::uint8_t> bytes(std::size_t(fs::file_size(path_)));
        f = std::fopen(path_.string().c_str(), "rb");
        const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        EXPECT_EQ(got, bytes.size());
        return bytes;
    }
    fs::path path_;
};

std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
           std::uint32_t(b[at + 2]) << 8 | std::uint32_t(b[at + 3]);
}

// CRC-32 bit by bit (no table), to check the writer's table-driven one.
std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

struct Decoded {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> raw; // filter byte + RGB per row
    int blocks = 0;
};

// Walks the chunks (checking each CRC), then the IDAT zlib stream of stored blocks (checking
// LEN/NLEN, the final-block flag and the Adler-32).
Decoded Decode(const std::vector<std::uint8_t>& png) {
    Decoded d;
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(png.size() > 8 && std::equal(signature, signature + 8, png.begin()));
    std::vector<std::uint8_t> idat;
    std::vector<std::string> order;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t len = Be32(png, at);
        const std::string type(png.begin() + std::ptrdiff_t(at + 4),
                               png.begin() + std::ptrdiff_t(at + 8));
        EXPECT_LE(at + 12 + len, png.size());
        EXPECT_EQ(Be32(png, at + 8 + len), Crc32(&png[at + 4], 4 + std::size_t(len))) << type;
        if (type == "IHDR") {
            EXPECT_EQ(len, 13u);
            d.width = Be32(png, at + 8);
            d.height = Be32(png, at + 12);
            EXPECT_EQ(png[at + 16], 8); // bit depth
            EXPECT_EQ(png[at + 17], 2); // RGB
        }
        if (type == "IDAT") idat.insert(idat.end(), &png[at + 8], &png[at + 8] + len);
        order.push_back(type);
        at += 12 + len;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

    EXPECT_GE(idat.size(), 6u);
    if (idat.size() < 6) return d;
    EXPECT_EQ((idat[0] << 8 | idat[1]) % 31, 0); // zlib header check bits
    EXPECT_EQ(idat[0] & 0x0F, 8);                // deflate
    std::size_t p = 2;
    bool last = false;
    while (!last && p + 5 <= idat.size()) {
        EXPECT_EQ(idat[p] & 0x06, 0) << "not a stored block";
        last = idat[p] & 1;
        const unsigned len = idat[p + 1] | idat[p + 2] << 8;
        const unsigned nlen = idat[p + 3] | idat[p + 4] << 8;
        EXPECT_EQ(len ^ 0xFFFFu, nlen);
        p += 5;
        d.raw.insert(d.raw.end(), &idat[p], &idat[p] + len);
        p += len;
        ++d.blocks;
    }
    EXPECT_TRUE(last);
    EXPECT_EQ(p + 4, idat.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : d.raw) {
        a = (a + v) % 65521u;
        b = (b + a) % 65521u;
    }
    EXPECT_EQ(Be32(idat, p), b << 16 | a);
    return d;
}

TEST_F(PngWriterStored, TinyFrameIsExactlyTheIndependentEncodersBytes) {
    // 1 x 2 pixels, pitch 3 (the padding must not show): red, then 0x123456. The expected file
    // was made with Python's zlib (level 0, stored) and struct.
    const std::uint32_t pixels[6] = {0xFF0000, 0xDEADBE, 0xDEADBE, 0x123456, 0xDEADBE, 0xDEADBE};
    const std::vector<std::uint8_t> expected = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49,
        0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02,
        0x00, 0x00, 0x00, 0x16, 0xE3, 0x21, 0x70, 0x00, 0x00, 0x00, 0x13, 0x49, 0x44,
        0x41, 0x54, 0x78, 0x01, 0x01, 0x08, 0x00, 0xF7, 0xFF, 0x00, 0xFF, 0x00, 0x00,
        0x00, 0x12, 0x34, 0x56, 0x07, 0xF5, 0x01, 0x9C, 0xDD, 0xA8, 0x28, 0xEA, 0x00,
        0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    bool ok = false;
    std::string error;
    EXPECT_EQ(Write(FrameView{pixels, 1, 2, 3}, ok, error), expected);
    EXPECT_TRUE(ok) << error;
}

TEST_F(PngWriterStored, AFrameOfSeveralStoredBlocksDecodesToItsPixels) {
    // 300 x 250: 901 bytes a row, 225,250 in all, so four stored blocks whose ends fall inside
    // rows. Every pixel different, so a byte out of place shows.
    constexpr int w = 300, h = 250;
    std::vector<std::uint32_t> pixels(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[std::size_t(y) * w + x] = std::uint32_t(x * 7919 + y * 104729) & 0xFFFFFFu;
    bool ok = false;
    std::string error;
    const Decoded d = Decode(Write(FrameView{pixels.data(), w, h, w}, ok, error));
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(d.width, std::uint32_t(w));
    EXPECT_EQ(d.height, std::uint32_t(h));
    EXPECT_EQ(d.blocks, 4);
    ASSERT_EQ(d.raw.size(), std::size_t(h) * (1 + 3 * w));
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &d.raw[std::size_t(y) * (1 + 3 * w)];
        wrong += row[0] != 0;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = pixels[std::size_t(y) * w + x];
            wrong += row[1 + 3 * x] != (v >> 16 & 0xFF) || row[2 + 3 * x] != (v >> 8 & 0xFF) ||
                     row[3 + 3 * x] != (v & 0xFF);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(PngWriterStored, NoFrameOrAFailedWriteIsAnError) {
    bool ok = true;
    std::string error;
    Write(FrameView{}, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "no frame to write");

    // A stream open only for reading takes no bytes.
    {
        std::FILE* f = std::fopen(path_.string().c_str(), "wb");
        std::fclose(f);
    }
    std::FILE* f = std::fopen(path_.string().c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const std::uint32_t pixel = 0xFF0000;
    error.clear();
    EXPECT_FALSE(WritePng(f, FrameView{&pixel, 1, 1, 1}, error));
    std::fclose(f);
    EXPECT_EQ(error, "the PNG could not be written");
}

} // namespace
