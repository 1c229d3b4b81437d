// WritePng without a compression library (the Windows build has no libpng or zlib): an 8-bit
// RGB PNG whose image data is a zlib stream of stored (uncompressed) deflate blocks, written
// row by row. Larger files than libpng's, the same pixels for any PNG reader.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "tools/png_writer.h"

namespace {

// CRC-32 (ISO 3309, reflected polynomial 0xEDB88320) as PNG chunks use it.
const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

// Writes bytes to the file while keeping the chunk's CRC and the zlib stream's Adler-32.
class PngStream {
  public:
    explicit PngStream(std::FILE* file) : file_(file) {}

    void Raw(const std::uint8_t* data, std::size_t n) {
        if (ok_ && std::fwrite(data, 1, n, file_) != n) ok_ = false;
    }
    void Be32(std::uint32_t v) {
        const std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16),
                                   std::uint8_t(v >> 8), std::uint8_t(v)};
        Chunk(b, 4);
    }
    // Bytes that belong to a chunk's type or data: counted into its CRC.
    void Chunk(const std::uint8_t* data, std::size_t n) {
        const auto& table = CrcTable();
        for (std::size_t i = 0; i < n; ++i)
            crc_ = table[(crc_ ^ data[i]) & 0xFFu] ^ (crc_ >> 8);
        Raw(data, n);
    }
    // Uncompressed image bytes: counted into the chunk's CRC and the zlib Adler-32.
    void Image(const std::uint8_t* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            adlerA_ = (adlerA_ + data[i]) % 65521u;
            adlerB_ = (adlerB_ + adlerA_) % 65521u;
        }
        Chunk(data, n);
    }
    // Starts a chunk of the given data length and four-letter type.
    void Begin(std::uint32_t length, const char* type) {
        const std::uint8_t len[4] = {std::uint8_t(length >> 24), std::uint8_t(length >> 16),
                                     std::uint8_t(length >> 8), std::uint8_t(length)};
        Raw(len, 4);
        crc_ = 0xFFFFFFFFu;
        Chunk(reinterpret_cast<const std::uint8_t*>(type), 4);
    }
    void End() {
        const std::uint32_t crc = crc_ ^ 0xFFFFFFFFu;
        const std::uint8_t b[4] = {std::uint8_t(crc >> 24), std::uint8_t(crc >> 16),
                                   std::uint8_t(crc >> 8), std::uint8_t(crc)};
        Raw(b, 4);
    }
    std::uint32_t Adler() const { return (adlerB_ << 16) | adlerA_; }
    bool Ok() const { return ok_; }

  private:
    std::FILE* file_;
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::uint32_t adlerA_ = 1;
    std::uint32_t adlerB_ = 0;
    bool ok_ = true;
};

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMaxStored = 65535; // the most bytes one stored deflate block holds

} // namespace

bool WritePng(std::FILE* file, const FrameView& frame, std::string& error) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.pitch < frame.width) {
        error = "no frame to write";
        return false;
    }
    // Each row is a filter byte (0, none) and its RGB bytes.
    const std::uint64_t rowBytes = 1 + 3 * std::uint64_t(frame.width);
    const std::uint64_t raw = rowBytes * std::uint64_t(frame.height);
    const std::uint64_t blocks = (raw + kMaxStored - 1) / kMaxStored;
    // zlib header, the blocks with their 5-byte headers, Adler-32.
    const std::uint64_t idat = 2 + raw + 5 * blocks + 4;
    if (idat > 0x7FFFFFFFu) {
        error = "the frame is too large for one PNG chunk";
        return false;
    }

    PngStream out(file);
    out.Raw(kSignature, sizeof kSignature);
    out.Begin(13, "IHDR");
    out.Be32(std::uint32_t(frame.width));
    out.Be32(std::uint32_t(frame.height));
    const std::uint8_t format[5] = {8, 2, 0, 0, 0}; // 8 bits, RGB, deflate, adaptive, no interlace
    out.Chunk(format, sizeof format);
    out.End();

    out.Begin(std::uint32_t(idat), "IDAT");
    const std::uint8_t zlibHeader[2] = {0x78, 0x01}; // 32 KiB window, no dictionary, check bits
    out.Chunk(zlibHeader, 2);
    std::vector<std::uint8_t> row(rowBytes);
    std::uint64_t left = raw;  // image bytes not yet written
    std::size_t blockLeft = 0; // bytes left in the current stored block
    for (int y = 0; y < frame.height; ++y) {
        const std::uint32_t* src = frame.pixels + std::size_t(y) * std::size_t(frame.pitch);
        row[0] = 0;
        for (int x = 0; x < frame.width; ++x) {
            row[1 + 3 * std::size_t(x)] = std::uint8_t(src[x] >> 16);
            row[2 + 3 * std::size_t(x)] = std::uint8_t(src[x] >> 8);
            row[3 + 3 * std::size_t(x)] = std::uint8_t(src[x]);
        }
        // The row, cut wherever a stored block ends.
        std::size_t done = 0;
        while (done < row.size()) {
            if (blockLeft == 0) {
                blockLeft = std::size_t(left < kMaxStored ? left : kMaxStored);
                const std::uint8_t last = left == blockLeft ? 1 : 0;
                const std::uint16_t len = std::uint16_t(blockLeft), nlen = std::uint16_t(~len);
                const std::uint8_t header[5] = {last, std::uint8_t(len), std::uint8_t(len >> 8),
                                                std::uint8_t(nlen), std::uint8_t(nlen >> 8)};
                out.Chunk(header, 5);
            }
            const std::size_t n = std::min(blockLeft, row.size() - done);
            out.Image(row.data() + done, n);
            done += n;
            blockLeft -= n;
            left -= n;
        }
    }
    const std::uint32_t adler = out.Adler();
    out.Be32(adler);
    out.End();

    out.Begin(0, "IEND");
    out.End();
    if (!out.Ok()) {
        error = "the PNG could not be written";
        return false;
    }
    return true;
}
