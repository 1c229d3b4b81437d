// One PNG writer for every build: the packaged single-header encoder lays out the file and
// picks each row's filter, zlib compresses. Both are pure integer code of one version on both
// platforms, so a frame gives the same bytes on Linux and on Windows.
#include "app/render/png_writer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

namespace {

// zlib's own default trade of size for speed, whatever level the encoder asks for: the files
// stay what they are if the encoder's default ever moves.
constexpr int kZlibLevel = Z_DEFAULT_COMPRESSION;

// The encoder's compressor hook: a zlib stream of data in a malloc'd buffer (the encoder frees
// it with free), or null when zlib fails.
unsigned char* ZlibCompress(const unsigned char* data, int size, int* outSize, int /*level*/) {
    uLongf capacity = compressBound(uLong(size));
    auto* out = static_cast<unsigned char*>(std::malloc(capacity));
    if (out == nullptr) return nullptr;
    if (compress2(out, &capacity, data, uLong(size), kZlibLevel) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outSize = int(capacity);
    return out;
}

} // namespace

#define STBIW_ZLIB_COMPRESS ZlibCompress
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

bool WritePng(std::FILE* file, const FrameView& frame, std::string& error) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.pitch < frame.width) {
        error = "no frame to write";
        return false;
    }
    // 0x00RRGGBB words to R, G, B bytes, rows packed.
    const std::size_t w = std::size_t(frame.width), h = std::size_t(frame.height);
    std::vector<unsigned char> rgb(w * h * 3);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint32_t* src = frame.pixels + y * std::size_t(frame.pitch);
        unsigned char* dst = rgb.data() + y * w * 3;
        for (std::size_t x = 0; x < w; ++x) {
            dst[3 * x + 0] = static_cast<unsigned char>(src[x] >> 16);
            dst[3 * x + 1] = static_cast<unsigned char>(src[x] >> 8);
            dst[3 * x + 2] = static_cast<unsigned char>(src[x]);
        }
    }
    int size = 0;
    unsigned char* png =
        stbi_write_png_to_mem(rgb.data(), int(w * 3), frame.width, frame.height, 3, &size);
    if (png == nullptr) {
        error = "the PNG encoder failed";
        return false;
    }
    const bool written = std::fwrite(png, 1, std::size_t(size), file) == std::size_t(size);
    if (!written) error = std::strerror(errno);
    std::free(png);
    return written;
}
